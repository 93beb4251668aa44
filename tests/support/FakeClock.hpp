#pragma once

// A clock that stands still until the test moves it on: waits of seconds take none.

#include "support/Clock.hpp"

#include <sigc++/functors/slot.h>

#include <algorithm>
#include <list>

namespace quillbay::testing {

class FakeClock final : public Clock {
public:
    TimePoint now() const override { return now_; }

    sigc::connection after(std::chrono::milliseconds delay, std::function<void()> action) override
    {
        auto& timer = timers_.emplace_back(Timer{now_ + delay, sigc::slot<void()>(std::move(action))});
        return sigc::connection(timer.action);
    }

    // Actions still to run.
    std::size_t waiting() const
    {
        return static_cast<std::size_t>(std::ranges::count_if(timers_, [](const Timer& t) { return !t.action.empty(); }));
    }

    // Moves on by `span`, running each action that falls due on the way, in time order.
    void advance(std::chrono::milliseconds span)
    {
        const TimePoint end = now_ + span;
        for (;;) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it)
                if (!it->action.empty() && it->due <= end && (next == timers_.end() || it->due < next->due))
                    next = it;
            if (next == timers_.end())
                break;
            now_ = next->due;
            sigc::slot<void()> run = next->action;  // the stored one ends its connection
            next->action.disconnect();
            run();
        }
        now_ = end;
    }

private:
    struct Timer {
        TimePoint due;
        sigc::slot<void()> action;
    };
    TimePoint now_ = TimePoint{} + std::chrono::hours(1);
    std::list<Timer> timers_;  // never erased: connections point at them
};

} // namespace quillbay::testing
