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
        return sigc::connection(timers_.emplace_back(now_ + delay, sigc::slot<void()>(std::move(action))).second);
    }
    // Actions still to run.
    long waiting() const { return std::ranges::count_if(timers_, [](auto& t) { return !t.second.empty(); }); }

    // Moves on by `span`, running each action that falls due on the way, in time order.
    void advance(std::chrono::milliseconds span)
    {
        const TimePoint end = now_ + span;
        const auto due = [&](const Timer& t) { return !t.second.empty() && t.first <= end; };
        for (;;) {
            auto next = std::ranges::find_if(timers_, due);
            for (auto it = next; it != timers_.end(); ++it)
                if (due(*it) && it->first < next->first)
                    next = it;
            if (next == timers_.end())
                break;
            now_ = next->first;
            sigc::slot<void()> run = next->second;  // the stored one ends its connection
            next->second.disconnect();
            run();
        }
        now_ = end;
    }

private:
    using Timer = std::pair<TimePoint, sigc::slot<void()>>;
    TimePoint now_ = TimePoint{} + std::chrono::hours(1);
    std::list<Timer> timers_;  // never erased: connections point at them
};

} // namespace quillbay::testing
