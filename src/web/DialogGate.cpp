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

} // namespace quillbay::web
