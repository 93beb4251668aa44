#include "support/Clock.hpp"

#include <glibmm/main.h>

namespace quillbay {

namespace {

class SystemClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }

    sigc::connection after(std::chrono::milliseconds delay, std::function<void()> action) override
    {
        const auto milliseconds = delay.count() > 0 ? static_cast<unsigned>(delay.count()) : 0u;
        return Glib::signal_timeout().connect(
            [action = std::move(action)] {
                action();
                return false;
            },
            milliseconds);
    }
};

} // namespace

Clock& Clock::system()
{
    static SystemClock clock;
    return clock;
}

} // namespace quillbay
