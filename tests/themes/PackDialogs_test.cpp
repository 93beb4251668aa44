#include "themes/PackChooser.hpp"

#include "ThemeServerFixture.hpp"
#include "tests/support/ShownDialog.hpp"

#include <gtkmm/init.h>
#include <gtest/gtest.h>

#include <gtk/gtk.h>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

TEST(PackDialogs, CancellingTheChoicePicksNothing)
{
    if (!gtk_init_check())
        GTEST_SKIP() << "no display";
    Gtk::init_gtkmm_internals();
    std::optional<std::optional<std::string>> picked;
    choosePackInteractively([&](std::optional<std::string> path) { picked = path; });
    ASSERT_TRUE(runUntil([&] { return shownMessageDialog() != nullptr; }, 3s));
    shownMessageDialog()->response(Gtk::ResponseType::CANCEL);
    ASSERT_TRUE(runUntil([&] { return picked.has_value(); }, 2s));
    EXPECT_EQ(*picked, std::nullopt);
}
