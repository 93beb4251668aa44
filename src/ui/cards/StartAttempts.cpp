#include "ui/cards/StartAttempts.hpp"

#include "support/Format.hpp"

#include <glib.h>
#include <glib/gi18n.h>

#include <algorithm>

namespace quillbay {

StartAttempts::StartAttempts(Clock clock) : clock_(std::move(clock)) {}

void StartAttempts::observe(const ServerState& state)
{
    switch (state.kind()) {
    case ServerState::Kind::Starting:
        if (!starting_)
            ++attempts_;
        starting_ = true;
        failed_ = false;
        break;
    case ServerState::Kind::Failed:
        // A server that was already running when the card first looked counts as one attempt.
        attempts_ = std::max(attempts_, 1);
        if (!failed_)
            failedAt_ = clock_();
        starting_ = false;
        failed_ = true;
        break;
    case ServerState::Kind::Idle:
    case ServerState::Kind::Ready:
        starting_ = false;
        failed_ = false;
        break;
    }
}

std::string StartAttempts::failureLine() const
{
    if (!failed_)
        return {};
    return format(_("Attempt %d at %s"), attempts_, failedAt_.c_str());
}

std::string StartAttempts::localTimeOfDay()
{
    GDateTime* now = g_date_time_new_now_local();
    gchar* text = g_date_time_format(now, "%H:%M:%S");
    std::string result(text ? text : "");
    g_free(text);
    g_date_time_unref(now);
    return result;
}

} // namespace quillbay
