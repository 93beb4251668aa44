#include "ui/window/StalledLoad.hpp"

namespace quillbay {

StalledLoad::StalledLoad(Clock& clock, std::function<void(std::chrono::seconds quiet)> stalled)
    : clock_(clock), stalled_(std::move(stalled))
{
}

void StalledLoad::observe(bool loading, double progress)
{
    const bool moved = !loading_ || progress != progress_;
    loading_ = loading;
    progress_ = progress;
    if (!loading) {
        timer_.disconnect();
        return;
    }
    if (!moved)
        return;
    timer_ = clock_.after(kNoticeAfter, [this] {
        if (stalled_)
            stalled_(kNoticeAfter);
    });
}

} // namespace quillbay
