#include "ui/cards/SlowStart.hpp"

#include "support/Format.hpp"

#include <glib/gi18n.h>

namespace quillbay {

using namespace std::chrono_literals;

SlowStart::SlowStart(Clock& clock, std::function<void()> changed) : clock_(clock), changed_(std::move(changed)) {}

void SlowStart::observe(bool starting)
{
    if (starting == starting_)
        return;
    starting_ = starting;
    timer_.disconnect();
    announced_ = false;
    announcedLine_.clear();
    if (!starting_)
        return;
    startedAt_ = clock_.now();
    timer_ = clock_.after(1s, [this] { tick(); });
}

void SlowStart::tick()
{
    timer_ = clock_.after(1s, [this] { tick(); });
    if (shown() && changed_)
        changed_();
}

bool SlowStart::shown() const
{
    return starting_ && elapsed() >= kShownAfter;
}

std::chrono::seconds SlowStart::elapsed() const
{
    if (!starting_)
        return 0s;
    return std::chrono::duration_cast<std::chrono::seconds>(clock_.now() - startedAt_);
}

std::string SlowStart::elapsedText() const
{
    const auto seconds = static_cast<unsigned long>(elapsed().count());
    return format(ngettext("Starting for %lu second", "Starting for %lu seconds", seconds), seconds);
}

std::string SlowStart::announcement(const std::string& newestLine)
{
    if (!shown())
        return {};
    const auto since = clock_.now() - announcedAt_;
    const bool newLine = newestLine != announcedLine_;
    if (announced_ && (since < kAnnounceGap || (!newLine && since < kQuietRepeat)))
        return {};
    announced_ = true;
    announcedAt_ = clock_.now();
    announcedLine_ = newestLine;
    const auto seconds = static_cast<unsigned long>(elapsed().count());
    const std::string time = format(ngettext("The studio server has been starting for %lu second.",
                                             "The studio server has been starting for %lu seconds.", seconds),
                                    seconds);
    if (newestLine.empty())
        return time;
    return format(_("%s Newest output: %s"), time.c_str(), newestLine.c_str());
}

} // namespace quillbay
