#include "ui/output/OutputLog.hpp"

#include <glib.h>

#include <algorithm>

namespace quillbay {

OutputLog::OutputLog(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void OutputLog::add(OutputLine line)
{
    lines_.push_back(std::move(line));
    if (lines_.size() > capacity_) {
        lines_.pop_front();
        ++first_;
    }
}

OutputEdit OutputLog::takeEdit()
{
    const std::uint64_t end = first_ + lines_.size();
    OutputEdit edit;
    if (first_ == shownFirst_ && end == shownEnd_)
        return edit;
    // Nothing shown is left: start afresh.
    edit.replace = shownEnd_ <= first_;
    edit.dropFirst = edit.replace ? 0 : static_cast<std::size_t>(first_ - shownFirst_);
    for (std::uint64_t number = edit.replace ? first_ : shownEnd_; number < end; ++number)
        edit.append.push_back(lines_[static_cast<std::size_t>(number - first_)]);
    shownFirst_ = first_;
    shownEnd_ = end;
    return edit;
}

std::string OutputLog::text() const
{
    std::string text;
    for (const OutputLine& line : lines_)
        text.append(line.text).push_back('\n');
    return text;
}

std::vector<OutputLog::Match> OutputLog::find(const std::string& query, std::size_t limit) const
{
    std::vector<Match> matches;
    if (query.empty())
        return matches;
    const auto same = [](char a, char b) { return g_ascii_tolower(a) == g_ascii_tolower(b); };
    for (std::size_t line = 0; line < lines_.size() && matches.size() < limit; ++line) {
        const std::string& text = lines_[line].text;
        for (auto at = text.begin(); matches.size() < limit;) {
            at = std::search(at, text.end(), query.begin(), query.end(), same);
            if (at == text.end())
                break;
            matches.push_back({line, static_cast<std::size_t>(at - text.begin()), query.size()});
            at += static_cast<std::ptrdiff_t>(query.size());
        }
    }
    return matches;
}

} // namespace quillbay
