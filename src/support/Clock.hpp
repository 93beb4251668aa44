#pragma once

#include <sigc++/connection.h>

#include <chrono>
#include <functional>

namespace quillbay {

// Time as the supervisor sees it: what time it is, and an action run once on
// the main loop after a delay. The program runs on system(); tests hand in a
// clock they move on by hand, so that waits of seconds take none.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;

    virtual TimePoint now() const = 0;
    // Runs `action` once, `delay` from now, unless the connection is ended first.
    virtual sigc::connection after(std::chrono::milliseconds delay, std::function<void()> action) = 0;

    // The steady clock and the main loop's timeouts.
    static Clock& system();
};

} // namespace quillbay
