#pragma once

#include "support/Clock.hpp"
#include "support/ScopedConnection.hpp"

#include <chrono>
#include <functional>
#include <string>

namespace quillbay {

// Times a start of the server for the warming card. A start that takes longer
// than kShownAfter explains itself: the card shows the time so far (ticked each
// second through `changed`) and the newest output. A screen reader is told the
// same, but politely: at most one sentence per kAnnounceGap, and only for a new
// output line or, with nothing new, once per kQuietRepeat.
class SlowStart {
public:
    static constexpr std::chrono::seconds kShownAfter{5};
    static constexpr std::chrono::seconds kAnnounceGap{5};
    static constexpr std::chrono::seconds kQuietRepeat{30};

    SlowStart(Clock& clock, std::function<void()> changed);
    SlowStart(const SlowStart&) = delete;
    SlowStart& operator=(const SlowStart&) = delete;

    // Feeds whether the server is starting now; a new start times afresh.
    void observe(bool starting);

    bool shown() const;
    std::chrono::seconds elapsed() const;
    // "Starting for 12 seconds", for the card.
    std::string elapsedText() const;
    // The sentence to tell a screen reader now, given the newest output line,
    // or empty when it would come too soon after the last one.
    std::string announcement(const std::string& newestLine);

private:
    void tick();

    Clock& clock_;
    std::function<void()> changed_;
    bool starting_ = false;
    Clock::TimePoint startedAt_{};
    bool announced_ = false;
    Clock::TimePoint announcedAt_{};
    std::string announcedLine_;
    ScopedConnection timer_;
};

} // namespace quillbay
