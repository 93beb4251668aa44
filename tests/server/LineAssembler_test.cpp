#include "server/LineAssembler.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <numeric>
#include <string>

// Guards memory against a writer that never ends its line (split lines and bad bytes: ServerOutput).
TEST(LineAssembler, CutsEndlessLinesAtCharacterBoundaries)
{
    quillbay::LineAssembler lines(10);
    std::string text = "a";  // then "é" (two bytes): ten bytes in, a cut would fall inside the fifth one
    for (int i = 0; i < 8; ++i)
        text += "\xC3\xA9";
    auto pieces = lines.feed(text), rest = lines.finish();
    pieces.insert(pieces.end(), rest.begin(), rest.end());
    ASSERT_GT(pieces.size(), 1u);
    EXPECT_LE(std::ranges::max(pieces, {}, &std::string::size).size(), 10u);
    EXPECT_EQ(std::accumulate(pieces.begin(), pieces.end(), std::string()), text) << "no character was split or replaced";
}

// A reader that keeps a tail may skip lines, but the tail must come out as with every line handed over: after
// each read and at the end, with empty lines, lines split across reads and lines cut for their length. The lines it
// skips are counted.
TEST(LineAssembler, ATailKeptFromSkippedLinesEqualsTheTailOfAllLines)
{
    constexpr std::size_t kKeep = 5;
    unsigned seed = 12345;
    auto next = [&seed](unsigned bound) { return ((seed = seed * 1103515245u + 12345u) >> 16) % bound; };
    std::string text;
    for (int i = 0; i < 400; ++i) {
        const unsigned kind = next(6);
        text += kind == 0 ? "" : kind == 1 ? std::string(40 + next(40), 'x') : "line " + std::to_string(i);
        text += kind == 2 ? " \xC3\xA9\n" : "\n";
    }
    text += "unfinished";

    quillbay::LineAssembler every(16), skipping(16);
    std::deque<std::string> all, kept;
    std::size_t counted[2] = {0, 0};  // every line of `all`, and of `kept` with the skipped ones
    auto keepTail = [](std::deque<std::string>& tail, std::size_t& count) {
        return [&tail, &count](std::string&& line) {
            ++count;
            tail.push_back(std::move(line));
            if (tail.size() > kKeep)
                tail.pop_front();
        };
    };
    for (std::size_t at = 0, size = 0; at < text.size(); at += size) {
        const std::string_view chunk = std::string_view(text).substr(at, size = 1 + next(300));
        every.feed(chunk, keepTail(all, counted[0]));
        counted[1] += skipping.feedTail(chunk, kKeep, keepTail(kept, counted[1]));
        ASSERT_EQ(kept, all) << "after the read at byte " << at;
        ASSERT_EQ(counted[1], counted[0]) << "after the read at byte " << at;
    }
    every.finish(keepTail(all, counted[0]));
    skipping.finish(keepTail(kept, counted[1]));
    EXPECT_EQ(kept, all);
    EXPECT_EQ(kept.back(), "unfinished");
}
