#pragma once

// Internal to the web module: which dialogs the page in the view gets shown.
// A page that asks again soon after its last dialog was answered gets a way
// to be stopped; once stopped, its dialogs are answered as dismissed without
// showing, until another page is shown. Printing also needs a press of a key
// or button in the page, and each press allows one print dialog.

#include <chrono>
#include <optional>

namespace quillbay::web {

class DialogGate {
public:
    using Clock = std::chrono::steady_clock;
    // How soon after an answer a new dialog counts as one of a run.
    static constexpr std::chrono::seconds kRun{3};
    // How long after a press in the page it may still ask to print.
    static constexpr std::chrono::seconds kPress{5};

    enum class Verdict {
        Show,
        ShowWithStop,  // and offer to stop the page's dialogs
        Dismiss,       // answer as dismissed, show nothing
    };

    Verdict ask(Clock::time_point now) const;
    // As `ask`, but without a fresh press Dismiss; a shown print dialog uses the press up.
    Verdict askToPrint(Clock::time_point now);
    void pressed(Clock::time_point now) { lastPress_ = now; }
    void answered(Clock::time_point now) { lastAnswer_ = now; }
    void stop() { stopped_ = true; }
    // Another page (or the same one again) is shown: it starts afresh.
    void pageChanged() { *this = DialogGate(); }

private:
    std::optional<Clock::time_point> lastAnswer_;
    std::optional<Clock::time_point> lastPress_;
    bool stopped_ = false;
};

} // namespace quillbay::web
