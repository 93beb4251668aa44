#include "themes/PackChooser.hpp"

#include "tests/support/GtkTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

TEST(PackDialogs, CancellingTheChoicePicksNothing)
{
    ASSERT_TRUE(startGtk());
    std::optional<std::optional<std::string>> picked;
    choosePackInteractively([&](std::optional<std::string> path) { picked = path; });
    ASSERT_TRUE(runUntil([] { return shownMessageDialog() != nullptr; }, 3s));
    shownMessageDialog()->response(Gtk::ResponseType::CANCEL);
    ASSERT_TRUE(runUntil([&] { return picked.has_value(); }, 2s));
    EXPECT_EQ(*picked, std::nullopt);
}
