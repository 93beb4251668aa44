#pragma once

#include "ui/output/OutputLine.hpp"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace quillbay {

// How the shown text changes to show the log's lines again: drop the oldest
// shown lines, then add the new ones at the end; `replace` clears it first.
struct OutputEdit {
    bool replace = false;
    std::size_t dropFirst = 0;
    std::vector<OutputLine> append;

    bool empty() const { return !replace && dropFirst == 0 && append.empty(); }
};

// The output window's lines: the newest `capacity` of them, what the view
// must change to show them, and where a search finds them.
class OutputLog {
public:
    static constexpr std::size_t kCapacity = 5000;

    struct Match {
        std::size_t line;    // in lines()
        std::size_t offset;  // in bytes
        std::size_t length;  // in bytes
        bool operator==(const Match&) const = default;
    };

    explicit OutputLog(std::size_t capacity = kCapacity);

    // Adds at the end; past the capacity the oldest line goes.
    void add(OutputLine line);
    const std::deque<OutputLine>& lines() const { return lines_; }

    // The change since the last take; the view then shows lines().
    OutputEdit takeEdit();
    // Every line, each ended by a line feed: what Save As writes.
    std::string text() const;
    // Where `query` occurs (ASCII letters in any case), the first `limit` places.
    std::vector<Match> find(const std::string& query, std::size_t limit) const;

private:
    std::size_t capacity_;
    std::deque<OutputLine> lines_;
    std::uint64_t first_ = 0;  // the number of lines_.front() among every line added
    std::uint64_t shownFirst_ = 0;
    std::uint64_t shownEnd_ = 0;
};

} // namespace quillbay
