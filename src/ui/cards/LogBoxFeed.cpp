#include "ui/cards/LogBoxFeed.hpp"

#include <glib.h>

#include <algorithm>

namespace quillbay {

std::string logBoxLine(const std::string& line, std::size_t limit)
{
    const char* start = line.c_str();
    const char* end = start + line.size();
    const char* cut = start;
    for (std::size_t chars = 0; chars < limit; ++chars) {
        if (cut >= end)
            return line;
        cut = g_utf8_next_char(cut);
    }
    if (cut >= end)
        return line;
    return std::string(start, cut) + "\u2026";
}

LogBoxEdit LogBoxFeed::update(const std::deque<std::string>& tail, std::uint64_t lineCount)
{
    LogBoxEdit edit;
    const bool restarted = lineCount < seen_;
    const std::uint64_t added = restarted ? lineCount : lineCount - seen_;
    std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(added, tail.size()));
    if (fresh_ || restarted || take >= kLogBoxLines || shown_ + take > tail.size()) {
        edit.replace = true;
        shown_ = 0;
        take = std::min(tail.size(), kLogBoxLines);
    }
    const std::size_t kept = std::min(shown_, kLogBoxLines - take);
    edit.dropFirst = shown_ - kept;
    for (std::size_t i = tail.size() - take; i < tail.size(); ++i)
        edit.append.push_back(logBoxLine(tail[i]));
    shown_ = kept + take;
    seen_ = lineCount;
    fresh_ = false;
    return edit;
}

void LogBoxFeed::reset()
{
    fresh_ = true;
    seen_ = 0;
    shown_ = 0;
}

} // namespace quillbay
