// The desktop commands on a real application: the keys it installs, the
// menus that show them, the shortcuts window and the About dialog.

#include "MenuTestParts.hpp"

#include "app/about/AboutQuillbay.hpp"
#include "app/commands/AppMenus.hpp"
#include "support/Config.hpp"
#include "app/commands/DesktopCommands.hpp"
#include "app/commands/DesktopMenus.hpp"
#include "app/commands/ShortcutList.hpp"
#include "app/commands/ShortcutsWindow.hpp"

#include <gtest/gtest.h>
#include <gtkmm/application.h>

#include <map>
#include <regex>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

std::map<std::string, std::vector<std::string>> listedKeys()
{
    std::map<std::string, std::vector<std::string>> keys;
    for (const ShortcutGroup& group : quillbayShortcuts())
        for (const Shortcut& shortcut : group.shortcuts)
            if (!shortcut.action.empty())
                keys[shortcut.action] = shortcut.accelerators;
    return keys;
}

// Keys as GTK reads them: "<Primary>" and "<Control>" are the same key here.
template <typename Text>
std::vector<std::pair<guint, int>> parsed(const std::vector<Text>& accels)
{
    std::vector<std::pair<guint, int>> keys;
    for (const auto& accel : accels) {
        guint key = 0;
        GdkModifierType mods{};
        EXPECT_TRUE(gtk_accelerator_parse(std::string(accel).c_str(), &key, &mods)) << std::string(accel);
        keys.emplace_back(key, mods);
    }
    return keys;
}

} // namespace

TEST(DesktopCommands, EveryKeyIsListedInstalledAndShownInTheMenus)
{
    MenuTestParts parts("org.quillbay.tests.DesktopCommands");
    auto& [dir, server, web, themes, app] = parts;

    AppMenus::Hooks hooks;
    hooks.quit = [] {};
    hooks.resourceDir = dir.path();
    hooks.extendMenuBar = addDesktopMenus;
    AppMenus menus(*app, server, web, themes, hooks);
    DesktopCommands commands(*app, server, web, [] { return nullptr; }, dir.path());

    // Every key the application answers to is in the shortcuts window, and the other way round.
    const auto listed = listedKeys();
    for (const Glib::ustring& action : app->list_action_descriptions()) {
        const auto accels = app->get_accels_for_action(action);
        auto found = listed.find(action);
        ASSERT_NE(found, listed.end()) << action << " has keys but is not listed";
        EXPECT_EQ(parsed(accels), parsed(found->second)) << action;
    }
    for (const auto& [action, accels] : listed) {
        EXPECT_EQ(parsed(app->get_accels_for_action(action)), parsed(accels)) << action;
    }
    // Zoom answers to both plus keys of a keyboard; Ctrl+W closes like the close button.
    EXPECT_EQ(listed.at("win.zoom-in"), (std::vector<std::string>{"<Primary>plus", "<Primary>equal", "<Primary>KP_Add"}));
    EXPECT_EQ(listed.at("window.close"), std::vector<std::string>{"<Primary>w"});

    // The menu bar: View after File, Help last; a key shown in a menu is the one installed.
    MenuInputs inputs{server.state().get(), 8765, std::nullopt, "Hub 01234567"};
    auto described = describeMenuBar(inputs);
    addDesktopMenus(described);
    std::string titles;
    for (const auto& menu : described)
        titles += menu.title + " ";
    EXPECT_EQ(titles, "File View Theme Server Help ");
    EXPECT_EQ(menus.menubar()->get_n_items(), 5);
    std::vector<std::string> fileActions;
    for (const auto& entry : described[0].entries)
        if (!entry.action.empty())
            fileActions.push_back(entry.action);
    EXPECT_EQ(std::vector<std::string>(fileActions.end() - 3, fileActions.end()),
              (std::vector<std::string>{"app.save-diagnostics", "window.close", "app.quit"}));
    for (const auto& menu : described) {
        for (const auto& entry : menu.entries) {
            if (!entry.accelerator.empty() && listed.count(entry.action)) {
                EXPECT_EQ(entry.accelerator, listed.at(entry.action).front()) << entry.label;
            }
        }
    }

    // The shortcuts window is made from the same list.
    commands.showShortcuts();
    ASSERT_NE(commands.shortcutsWindow(), nullptr);
    EXPECT_TRUE(commands.shortcutsWindow()->get_visible());
    EXPECT_NE(ShortcutsWindow::builderText({{"A & <B>", {{"C", {"<Primary>x"}, ""}}}}).find("A &amp; &lt;B&gt;"), std::string::npos);

    // About: the configured version, the payload line, the port, the log and a licence.
    commands.showAbout();
    Gtk::AboutDialog* about = commands.aboutDialog();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(std::string(about->get_version()), QUILLBAY_VERSION);
    const std::string comments = about->get_comments();
    for (const std::string& part : {std::string("Hub 01234567 (dirty tree)"), std::string("port 8765"), server.serverLogPath()})
        EXPECT_NE(comments.find(part), std::string::npos) << part << " not in " << comments;
    EXPECT_FALSE(about->get_license().empty());
    about->set_visible(false);
    commands.shortcutsWindow()->set_visible(false);
}
