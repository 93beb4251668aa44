#pragma once

#include "support/Clock.hpp"
#include "support/ScopedConnection.hpp"

#include <chrono>
#include <functional>

namespace quillbay {

// Notices a page load waiting on a studio server that has stopped answering:
// once a load has gone kNoticeAfter without any progress, `stalled` runs, once
// for that stall. The load's own timeout (and its error card) stays as it is.
class StalledLoad {
public:
    static constexpr std::chrono::seconds kNoticeAfter{10};

    StalledLoad(Clock& clock, std::function<void(std::chrono::seconds quiet)> stalled);
    StalledLoad(const StalledLoad&) = delete;
    StalledLoad& operator=(const StalledLoad&) = delete;

    // Feeds the load state whenever it may have changed (repeats are fine).
    void observe(bool loading, double progress);

private:
    Clock& clock_;
    std::function<void(std::chrono::seconds)> stalled_;
    bool loading_ = false;
    double progress_ = 0.0;
    ScopedConnection timer_;
};

} // namespace quillbay
