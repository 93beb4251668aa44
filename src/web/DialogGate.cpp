#include "web/DialogGate.hpp"

namespace quillbay::web {

DialogGate::Verdict DialogGate::ask(Clock::time_point now) const
{
    if (stopped_) {
        return Verdict::Dismiss;
    }
    if (lastAnswer_ && now - *lastAnswer_ < kRun) {
        return Verdict::ShowWithStop;
    }
    return Verdict::Show;
}

DialogGate::Verdict DialogGate::askToPrint(Clock::time_point now)
{
    if (!lastPress_ || now - *lastPress_ > kPress) {
        return Verdict::Dismiss;
    }
    const Verdict verdict = ask(now);
    if (verdict != Verdict::Dismiss) {
        lastPress_.reset();
    }
    return verdict;
}

} // namespace quillbay::web
