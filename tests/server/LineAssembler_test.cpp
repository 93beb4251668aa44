#include "server/LineAssembler.hpp"

#include <gtest/gtest.h>

using quillbay::LineAssembler;
using Lines = std::vector<std::string>;

// Split lines and bad bytes are covered end to end (ServerOutput); this guards
// memory against a writer that never ends its line.
TEST(LineAssembler, CutsEndlessLinesAtCharacterBoundaries)
{
    LineAssembler lines(10);
    // "é" is two bytes; ten bytes in, a cut would fall inside the fifth one.
    std::string text = "a";
    for (int i = 0; i < 8; ++i)
        text += "\xC3\xA9";
    Lines pieces = lines.feed(text);
    for (auto& piece : lines.finish())
        pieces.push_back(piece);
    ASSERT_GT(pieces.size(), 1u);
    std::string whole;
    for (const auto& piece : pieces) {
        EXPECT_LE(piece.size(), 10u);
        whole += piece;
    }
    EXPECT_EQ(whole, text) << "no character was split or replaced";
}
