#include "themes/NotAPackAlert.hpp"
#include "themes/PackChooser.hpp"

#include "ThemeServerFixture.hpp"

#include <gtkmm/init.h>
#include <gtkmm/messagedialog.h>
#include <gtest/gtest.h>

#include <gtk/gtk.h>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

TEST(PackDialogs, RefusalAlertIsAWarningAndCancellingTheChoicePicksNothing)
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

    showNotAPackAlert("The manifest has no id.");
    ASSERT_TRUE(runUntil([&] { return shownMessage() != nullptr; }, 3s));
    auto* alert = shownMessage();
    EXPECT_EQ(alert->property_text().get_value(), "That is not a Studio theme pack");
    EXPECT_EQ(alert->property_secondary_text().get_value(), "The manifest has no id.");
    EXPECT_EQ(alert->property_message_type().get_value(), Gtk::MessageType::WARNING);
    alert->response(Gtk::ResponseType::OK);
    ASSERT_TRUE(runUntil([&] { return shownMessage() == nullptr; }, 2s));

    std::optional<std::optional<std::string>> picked;
    choosePackInteractively([&](std::optional<std::string> path) { picked = path; });
    ASSERT_TRUE(runUntil([&] { return shownMessage() != nullptr; }, 3s));
    shownMessage()->response(Gtk::ResponseType::CANCEL);
    ASSERT_TRUE(runUntil([&] { return picked.has_value(); }, 2s));
    EXPECT_EQ(*picked, std::nullopt);
}
