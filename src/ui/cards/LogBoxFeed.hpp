#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace quillbay {

inline constexpr std::size_t kLogBoxLines = 40;
// A longer output line is cut here for the card; server.log keeps every byte.
inline constexpr std::size_t kLogBoxLineChars = 500;

// `line` cut after `limit` characters, with "…" where it was cut.
std::string logBoxLine(const std::string& line, std::size_t limit = kLogBoxLineChars);

// How the log box's text changes to show the newest lines of the tail again:
// drop the oldest shown lines, then add the fresh ones at the end. `replace`
// clears the box first. Lines come cut with logBoxLine.
struct LogBoxEdit {
    bool replace = false;
    std::size_t dropFirst = 0;
    std::vector<std::string> append;

    bool empty() const { return !replace && dropFirst == 0 && append.empty(); }
    bool operator==(const LogBoxEdit&) const = default;
};

// Follows the server's output for the log box, so that each change of the
// tail becomes an edit of what changed rather than a new text.
class LogBoxFeed {
public:
    // `tail`: the newest lines; `lineCount`: how many lines this run has
    // printed in all (the tail's change may have added several at once).
    LogBoxEdit update(const std::deque<std::string>& tail, std::uint64_t lineCount);
    // The next update starts the box afresh (a new run of the server).
    void reset();

private:
    bool fresh_ = true;
    std::uint64_t seen_ = 0;
    std::size_t shown_ = 0;
};

} // namespace quillbay
