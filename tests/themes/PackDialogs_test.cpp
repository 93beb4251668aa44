#include "themes/NotAPackAlert.hpp"
#include "themes/PackChooser.hpp"

#include "tests/support/GtkTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

TEST(PackDialogs, TheRefusalAlertGivesTheReasonAndCancellingTheChoicePicksNothing)
{
    ASSERT_TRUE(startGtk());
    showNotAPackAlert(nullptr, "The manifest has no id.");
    ASSERT_TRUE(runUntil([] { return shownMessageDialog() != nullptr; }, 3s));
    EXPECT_EQ(shownMessageDialog()->property_secondary_text().get_value(), "The manifest has no id.");
    shownMessageDialog()->response(Gtk::ResponseType::OK);
    ASSERT_TRUE(runUntil([] { return shownMessageDialog() == nullptr; }, 2s));

    std::optional<std::optional<std::string>> picked;
    choosePackInteractively(nullptr, [&](std::optional<std::string> path) { picked = path; });
    ASSERT_TRUE(runUntil([] { return shownMessageDialog() != nullptr; }, 3s));
    shownMessageDialog()->response(Gtk::ResponseType::CANCEL);
    ASSERT_TRUE(runUntil([&] { return picked.has_value(); }, 2s));
    EXPECT_EQ(*picked, std::nullopt);
}
