#include "ui/output/OutputLine.hpp"

#include "server/LineAssembler.hpp"
#include "support/Format.hpp"
#include "ui/cards/LogBoxFeed.hpp"

#include <glib.h>
#include <glib/gi18n.h>

#include <algorithm>

namespace quillbay {

namespace {

std::string clockText(std::chrono::system_clock::time_point time)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    GDateTime* local = g_date_time_new_from_unix_local(seconds);
    if (!local)
        return "--:--:--";
    char* text = g_date_time_format(local, "%H:%M:%S");
    std::string clock = text ? text : "--:--:--";
    g_free(text);
    g_date_time_unref(local);
    return clock;
}

std::string eventText(const ServerEvent& event)
{
    using Kind = ServerEvent::Kind;
    switch (event.kind) {
    case Kind::Starting:
        return _("Starting the server");
    case Kind::PortChosen:
        return format(_("Chose port %lld"), event.number);
    case Kind::Launched:
        return format(_("Launched as process %lld"), event.number);
    case Kind::Ready:
        return format(_("Ready on port %lld"), event.number);
    case Kind::Exited:
        return format(_("Exited with status %lld"), event.number);
    case Kind::Signalled:
        return format(_("Ended by signal %lld (%s)"), event.number, event.detail.c_str());
    case Kind::Stopping:
        return _("Stopping the server");
    case Kind::Stopped:
        return _("Stopped");
    case Kind::Restarting:
        return _("Restarting the server");
    case Kind::Failed:
    case Kind::Notice:
        return event.detail;
    }
    return event.detail;
}

} // namespace

OutputLine outputLine(const std::string& line)
{
    return {logBoxLine(line, kOutputLineChars), false};
}

OutputLine eventLine(const ServerEvent& event)
{
    const std::string text = "\u25B8 " + clockText(event.time) + " " + LineAssembler::displayText(eventText(event));
    return {logBoxLine(text, kOutputLineChars), true};
}

std::vector<OutputLine> earlierOutput(const std::deque<std::string>& tail, std::uint64_t count,
                                      const std::deque<ServerEvent>& events)
{
    std::vector<OutputLine> lines;
    const std::uint64_t firstNumber = count - std::min<std::uint64_t>(count, tail.size()) + 1;
    auto event = events.begin();
    for (std::size_t i = 0; i <= tail.size(); ++i) {
        // Events that came after the lines before this one; a notice is this line itself.
        bool told = false;
        for (; event != events.end() && event->afterLine < firstNumber + i; ++event) {
            lines.push_back(eventLine(*event));
            told = told || (event->kind == ServerEvent::Kind::Notice && event->afterLine + 1 == firstNumber + i);
        }
        if (i < tail.size() && !told)
            lines.push_back(outputLine(tail[i]));
    }
    return lines;
}

} // namespace quillbay
