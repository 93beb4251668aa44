#pragma once

#include "support/Clock.hpp"
#include "support/ScopedConnection.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace quillbay {

class HttpCall;
struct HttpResponse;

// Asks the server on a port for its identity, again and again, until it
// names this application and the answer came from the right process
// (`isOurs`), or the time limit has passed. Runs on the main loop without
// blocking it; cancelling (or destroying) it guarantees no callback runs.
// The debug log gets the first attempt, every kLogEvery-th and the outcome.
class ReadinessProbe {
public:
    struct Timing {
        std::chrono::milliseconds limit{40000};
        std::chrono::milliseconds requestTimeout{1000};
        std::chrono::milliseconds pause{150};
    };
    static constexpr int kLogEvery = 20;

    ReadinessProbe(Timing timing, Clock& clock);
    ~ReadinessProbe();
    ReadinessProbe(const ReadinessProbe&) = delete;
    ReadinessProbe& operator=(const ReadinessProbe&) = delete;

    // Cancels any running probe, then polls `port` (first attempt at once).
    // An answer that counts as ready is taken only when `isOurs()` holds.
    void start(long long port, std::function<bool()> isOurs, std::function<void()> onReady,
               std::function<void()> onGiveUp);
    void cancel();
    bool running() const { return running_; }

    // Status 200 and our studio's identity.
    static bool countsAsReady(const HttpResponse& response);

private:
    void attempt();
    void onAnswer(const HttpResponse& response);
    void finish(const std::function<void()>& outcome);
    long long elapsedMilliseconds() const;

    Timing timing_;
    Clock& clock_;
    std::string url_;
    std::function<bool()> isOurs_;
    std::function<void()> onReady_;
    std::function<void()> onGiveUp_;
    Clock::TimePoint began_;
    std::shared_ptr<HttpCall> call_;
    ScopedConnection pause_;
    bool running_ = false;
    int attempts_ = 0;
    std::string lastMiss_;  // why the latest attempt did not count
};

} // namespace quillbay
