#pragma once

#include <sigc++/connection.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace quillbay {

class HttpCall;
struct HttpResponse;

// Asks a server for its identity, again and again, until it names this
// application and the answer came from the right process (`isOurs`), or the
// time limit has passed. Runs on the main loop without
// blocking it; cancelling (or destroying) it guarantees no callback runs.
class ReadinessProbe {
public:
    struct Timing {
        std::chrono::milliseconds limit{40000};
        std::chrono::milliseconds requestTimeout{1000};
        std::chrono::milliseconds pause{150};
    };

    explicit ReadinessProbe(Timing timing);
    ~ReadinessProbe();
    ReadinessProbe(const ReadinessProbe&) = delete;
    ReadinessProbe& operator=(const ReadinessProbe&) = delete;

    // Cancels any running probe, then polls `url` (first attempt at once).
    // An answer that counts as ready is taken only when `isOurs()` holds.
    void start(std::string url, std::function<bool()> isOurs, std::function<void()> onReady,
               std::function<void()> onGiveUp);
    void cancel();
    bool running() const { return running_; }

    // Status 200 and a JSON object whose "app" is "Quillbay".
    static bool countsAsReady(const HttpResponse& response);

private:
    void attempt();
    void onAnswer(const HttpResponse& response);
    void finish(const std::function<void()>& outcome);

    Timing timing_;
    std::string url_;
    std::function<bool()> isOurs_;
    std::function<void()> onReady_;
    std::function<void()> onGiveUp_;
    std::chrono::steady_clock::time_point began_;
    std::shared_ptr<HttpCall> call_;
    sigc::connection pause_;
    bool running_ = false;
};

} // namespace quillbay
