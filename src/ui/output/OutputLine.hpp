#pragma once

#include "server/ServerEvent.hpp"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace quillbay {

// A line of the output window: one of the server's, or an event of the shell's own.
struct OutputLine {
    std::string text;
    bool event = false;

    bool operator==(const OutputLine&) const = default;
};

// A longer line is cut here for the window; server.log keeps every byte.
inline constexpr std::size_t kOutputLineChars = 1000;

// The server's line as the window shows it, cut after kOutputLineChars characters.
OutputLine outputLine(const std::string& line);
// "▸ 14:03:09 Ready on port 8766": the event, its local time and what it says.
OutputLine eventLine(const ServerEvent& event);
// What the server printed and the shell told since the latest start, in the
// order they came: the tail (`count` lines of this start in all) with the
// events between the lines they came after; a notice stands for its tail line.
std::vector<OutputLine> earlierOutput(const std::deque<std::string>& tail, std::uint64_t count,
                                      const std::deque<ServerEvent>& events);

} // namespace quillbay
