#include "server/LineAssembler.hpp"

#include <gtest/gtest.h>

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
