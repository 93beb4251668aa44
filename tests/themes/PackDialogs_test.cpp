#include "themes/NotAPackAlert.hpp"
#include "themes/PackChooser.hpp"

#include "ThemeServerFixture.hpp"

#include <gtkmm/button.h>
#include <gtkmm/init.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <filesystem>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

namespace {

Gtk::MessageDialog* shownMessage()
{
    for (auto* window : Gtk::Window::list_toplevels())
        if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog && dialog->get_visible())
            return dialog;
    return nullptr;
}

// GTK's own chooser dialog, which FileChooserNative falls back to without a portal.
GtkWidget* shownFileChooser()
{
    GListModel* toplevels = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(toplevels); ++i) {
        auto* window = static_cast<GtkWidget*>(g_list_model_get_item(toplevels, i));
        g_object_unref(window);
        if (GTK_IS_FILE_CHOOSER_DIALOG(window) && gtk_widget_get_visible(window))
            return window;
    }
    return nullptr;
}

class PackDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gtk_init_check())
            GTEST_SKIP() << "no display";
        Gtk::init_gtkmm_internals();
        // Keep the portal out of it so the chooser is GTK's own dialog.
        g_setenv("GTK_USE_PORTAL", "0", TRUE);
    }
};

} // namespace

TEST_F(PackDialogsTest, RefusalAlertIsAWarningWithTheServersReason)
{
    showNotAPackAlert(nullptr, "The manifest has no id.");
    ASSERT_TRUE(runUntil([] { return shownMessage() != nullptr; }, 3s));
    auto* alert = shownMessage();
    EXPECT_EQ(alert->property_text().get_value(), "That is not a Studio theme pack");
    EXPECT_EQ(alert->property_secondary_text().get_value(), "The manifest has no id.");
    EXPECT_EQ(alert->property_message_type().get_value(), Gtk::MessageType::WARNING);
    alert->response(Gtk::ResponseType::OK);
    EXPECT_TRUE(runUntil([] { return shownMessage() == nullptr; }, 2s));
}

TEST_F(PackDialogsTest, CancellingTheQuestionPicksNothing)
{
    std::optional<std::optional<std::string>> picked;
    choosePackInteractively(nullptr, [&](std::optional<std::string> path) { picked = path; });
    ASSERT_TRUE(runUntil([] { return shownMessage() != nullptr; }, 3s));
    auto* question = shownMessage();
    EXPECT_EQ(question->property_secondary_text().get_value(),
              "Choose a Dirar Edezir 2.0 Studio skin: the pack folder or its .zip");
    question->response(Gtk::ResponseType::CANCEL);
    ASSERT_TRUE(runUntil([&] { return picked.has_value(); }, 2s));
    EXPECT_EQ(*picked, std::nullopt);
}

TEST_F(PackDialogsTest, ChoosingAFolderYieldsItsPathWithoutTrailingSlash)
{
    char pattern[] = "/tmp/quillbay-pack-XXXXXX";
    std::string folder = g_mkdtemp(pattern);

    std::optional<std::optional<std::string>> picked;
    choosePackInteractively(nullptr, [&](std::optional<std::string> path) { picked = path; });
    ASSERT_TRUE(runUntil([] { return shownMessage() != nullptr; }, 3s));
    shownMessage()->response(1);  // "Pack Folder…"
    ASSERT_TRUE(runUntil([] { return shownFileChooser() != nullptr; }, 5s));
    GtkWidget* chooser = shownFileChooser();
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(chooser)), "Install Theme Pack");

    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(chooser)), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
    // In folder mode, accepting with nothing selected picks the folder shown.
    GFile* file = g_file_new_for_path((folder + "/").c_str());
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), file, nullptr);
    g_object_unref(file);
    runUntil([] { return false; }, 300ms);
    gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    G_GNUC_END_IGNORE_DEPRECATIONS

    ASSERT_TRUE(runUntil([&] { return picked.has_value(); }, 3s));
    EXPECT_EQ(*picked, folder);
    std::filesystem::remove_all(folder);
}

TEST(PackChooser, TrailingSlashesGoButTheRootStays)
{
    EXPECT_EQ(withoutTrailingSlash("/a/b//"), "/a/b");
    EXPECT_EQ(withoutTrailingSlash("/a/b.zip"), "/a/b.zip");
    EXPECT_EQ(withoutTrailingSlash("/"), "/");
}
