#pragma once

#include <chrono>
#include <functional>

namespace quillbay {

// A one-shot timer on the default main context. Destroying or cancelling it
// guarantees that the action does not run.
class MainLoopTimer {
public:
    MainLoopTimer() = default;
    ~MainLoopTimer();
    MainLoopTimer(const MainLoopTimer&) = delete;
    MainLoopTimer& operator=(const MainLoopTimer&) = delete;

    // Replaces any pending action.
    void start(std::chrono::milliseconds delay, std::function<void()> action);
    void cancel();
    bool pending() const { return sourceId_ != 0; }

    // Runs `action` once after `delay`, independent of any owner.
    static void runAfter(std::chrono::milliseconds delay, std::function<void()> action);

private:
    static int fire(void* data);

    unsigned sourceId_ = 0;
    std::function<void()> action_;
};

} // namespace quillbay
