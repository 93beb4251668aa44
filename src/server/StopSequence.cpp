#include "server/StopSequence.hpp"

#include "support/WhileAlive.hpp"

#include <glib.h>

#include <csignal>
#include <utility>

namespace quillbay {

StopSequence::StopSequence(std::shared_ptr<ServerChild> child, Timing timing, Clock& clock, Done onDone)
    : child_(std::move(child)), timing_(timing), clock_(clock), onDone_(std::move(onDone))
{
    g_debug("stop: end of input and SIGTERM to pid %d; SIGKILL in %lld ms if it still runs", child_->pid(),
            static_cast<long long>(timing_.grace.count()));
    child_->closeInput();
    child_->sendSignal(SIGTERM);
    timer_ = clock_.after(timing_.grace, [this] { graceOver(); });
    child_->whenReaped(whileAlive<void()>(*this, [this] { reaped(); }));
}

void StopSequence::join(std::function<void()> then)
{
    if (then)
        continuations_.push_back(std::move(then));
}

void StopSequence::graceOver()
{
    graceOver_ = true;
    if (child_->hasEnded()) {
        finish();
        return;
    }
    g_info("stop: pid %d still runs after the grace: SIGKILL", child_->pid());
    child_->sendSignal(SIGKILL);
    if (done_)
        return;  // reaped at once
    timer_ = clock_.after(timing_.reapLimit, [this] {
        g_warning("stop: pid %d not reaped %lld ms after SIGKILL; the stop is done without it", child_->pid(),
                  static_cast<long long>(timing_.reapLimit.count()));
        finish();
    });
}

void StopSequence::reaped()
{
    g_debug("stop: pid %d reaped%s", child_->pid(), graceOver_ ? "" : "; the stop waits out the grace");
    if (graceOver_)
        finish();
}

void StopSequence::finish()
{
    if (done_)
        return;
    done_ = true;
    timer_.disconnect();
    // The owner may destroy this sequence in onDone: nothing of it is touched after.
    Done done = onDone_;
    done(std::exchange(continuations_, {}));
}

} // namespace quillbay
