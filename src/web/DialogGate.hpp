#pragma once

// Internal to the web module: which script dialogs of the page in the view are
// shown. A page that asks again soon after its last dialog was answered gets a
// way to be stopped; once stopped, its dialogs are answered as dismissed
// without showing, until another page is shown.

#include <chrono>
#include <optional>

namespace quillbay::web {

class DialogGate {
public:
    using Clock = std::chrono::steady_clock;
    // How soon after an answer a new dialog counts as one of a run.
    static constexpr std::chrono::seconds kRun{3};

    enum class Verdict {
        Show,
        ShowWithStop,  // and offer to stop the page's dialogs
        Dismiss,       // answer as dismissed, show nothing
    };

    Verdict ask(Clock::time_point now) const;
    void answered(Clock::time_point now) { lastAnswer_ = now; }
    void stop() { stopped_ = true; }
    // Another page (or the same one again) is shown: it starts afresh.
    void pageChanged() { *this = DialogGate(); }

private:
    std::optional<Clock::time_point> lastAnswer_;
    bool stopped_ = false;
};

} // namespace quillbay::web
