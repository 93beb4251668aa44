#include "server/LineAssembler.hpp"

#include <gtest/gtest.h>

using quillbay::LineAssembler;
using Lines = std::vector<std::string>;

TEST(LineAssembler, JoinsLinesSplitAcrossReadsAndDropsEmptyOnes)
{
    LineAssembler lines;
    EXPECT_EQ(lines.feed("abc"), Lines{});
    EXPECT_EQ(lines.feed("def\nsecond\n"), (Lines{"abcdef", "second"}));
    EXPECT_EQ(lines.feed("\n\n\n"), Lines{});
    EXPECT_EQ(lines.feed("one\ntwo\nthr"), (Lines{"one", "two"}));
    EXPECT_EQ(lines.finish(), Lines{"thr"});
    EXPECT_EQ(lines.finish(), Lines{});
}

TEST(LineAssembler, KeepsACharacterCutByAReadAndMarksInvalidBytes)
{
    LineAssembler lines;
    EXPECT_EQ(lines.feed("caf\xC3"), Lines{});
    EXPECT_EQ(lines.feed("\xA9\n"), Lines{"caf\xC3\xA9"});
    EXPECT_EQ(lines.feed("bad \xFF byte\n"), Lines{"bad \xEF\xBF\xBD byte"});
    EXPECT_EQ(lines.feed(std::string("nul \0 in it\n", 12)), Lines{"nul \xEF\xBF\xBD in it"});
    // A lone start byte at the very end of output is still shown.
    lines.feed("end \xE2\x82");
    EXPECT_EQ(lines.finish(), Lines{"end \xEF\xBF\xBD\xEF\xBF\xBD"});
}

TEST(LineAssembler, CutsAnEndlessLineAtCharacterBoundaries)
{
    LineAssembler lines(10);
    // "é" is two bytes; ten bytes in, a cut would fall inside the fifth one.
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += "\xC3\xA9";
    auto pieces = lines.feed("a" + text);
    ASSERT_FALSE(pieces.empty());
    for (const auto& piece : pieces) {
        EXPECT_LE(piece.size(), 10u);
        EXPECT_EQ(piece.find("\xEF\xBF\xBD"), std::string::npos) << "a character was split";
    }
    std::string whole;
    for (const auto& piece : pieces)
        whole += piece;
    for (const auto& piece : lines.finish())
        whole += piece;
    EXPECT_EQ(whole, "a" + text);
}
