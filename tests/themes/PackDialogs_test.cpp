#include "themes/PackChooser.hpp"

#include "ThemeServerFixture.hpp"

#include <gtkmm/init.h>
#include <gtkmm/messagedialog.h>
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
    auto shownMessage = []() -> Gtk::MessageDialog* {
        for (auto* window : Gtk::Window::list_toplevels())
            if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog && dialog->get_visible())
                return dialog;
        return nullptr;
    };

    std::optional<std::optional<std::string>> picked;
    choosePackInteractively([&](std::optional<std::string> path) { picked = path; });
    ASSERT_TRUE(runUntil([&] { return shownMessage() != nullptr; }, 3s));
    shownMessage()->response(Gtk::ResponseType::CANCEL);
    ASSERT_TRUE(runUntil([&] { return picked.has_value(); }, 2s));
    EXPECT_EQ(*picked, std::nullopt);
}
