#include "server/LineAssembler.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>

// Split lines and bad bytes are covered end to end (ServerOutput); this guards
// memory against a writer that never ends its line.
TEST(LineAssembler, CutsEndlessLinesAtCharacterBoundaries)
{
    quillbay::LineAssembler lines(10);
    std::string text = "a";  // then "é" (two bytes): ten bytes in, a cut would fall inside the fifth one
    for (int i = 0; i < 8; ++i)
        text += "\xC3\xA9";
    auto pieces = lines.feed(text), rest = lines.finish();
    pieces.insert(pieces.end(), rest.begin(), rest.end());
    ASSERT_GT(pieces.size(), 1u);
    std::string whole;
    for (const auto& piece : pieces) {
        EXPECT_LE(piece.size(), 10u);
        whole += piece;
    }
    EXPECT_EQ(whole, text) << "no character was split or replaced";
}

// A reader that keeps a tail may skip lines, but the tail must come out the
// same as with every line handed over: after each read and at the end, with
// empty lines, lines split across reads and lines cut for their length.
TEST(LineAssembler, ATailKeptFromSkippedLinesEqualsTheTailOfAllLines)
{
    constexpr std::size_t kKeep = 5;
    unsigned seed = 12345;
    auto next = [&seed](unsigned bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    std::string text;
    for (int i = 0; i < 400; ++i) {
        const unsigned kind = next(6);
        if (kind == 0)
            text += "\n";  // an empty line
        else if (kind == 1)
            text += std::string(40 + next(40), 'x') + "\n";  // cut into pieces
        else
            text += "line " + std::to_string(i) + (kind == 2 ? " \xC3\xA9" : "") + "\n";
    }
    text += "unfinished";

    quillbay::LineAssembler every(16), skipping(16);
    std::deque<std::string> all, kept;
    auto keepTail = [](std::deque<std::string>& tail) {
        return [&tail](std::string&& line) {
            tail.push_back(std::move(line));
            while (tail.size() > kKeep)
                tail.pop_front();
        };
    };
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = 1 + next(300);
        const std::string_view chunk = std::string_view(text).substr(at, size);
        every.feed(chunk, keepTail(all));
        skipping.feedTail(chunk, kKeep, keepTail(kept));
        ASSERT_EQ(kept, all) << "after the read at byte " << at;
        at += chunk.size();
    }
    every.finish(keepTail(all));
    skipping.finish(keepTail(kept));
    EXPECT_EQ(kept, all);
    EXPECT_EQ(kept.back(), "unfinished");
}
