// The command table and what is made from it on a real application: the menu
// bar, the toolbar's theme menu, the keys, the Shortcuts window and About.

#include "ShellFixture.hpp"
#include "tests/support/FakeDesktop.hpp"

#include "app/about/AboutQuillbay.hpp"
#include "app/commands/AppMenus.hpp"
#include "app/commands/DesktopCommands.hpp"
#include "app/commands/MenuFill.hpp"
#include "app/commands/MenuModel.hpp"
#include "app/commands/ShortcutsWindow.hpp"
#include "app/commands/ThemeMenu.hpp"
#include "server/ServerProcess.hpp"
#include "ui/window/MainWindow.hpp"
#include "support/Config.hpp"
#include "themes/ThemePacks.hpp"
#include "web/WebViewModel.hpp"

#include <giomm/simpleactiongroup.h>
#include <gtest/gtest.h>
#include <gtkmm/application.h>

#include <map>
#include <set>

using namespace quillbay;
using namespace quillbay::testing;
using Strings = std::vector<std::string>;

namespace {

// Ember has a name, night none, broken an error; impostor is named like the active id.
const ThemeCatalog kCatalog{"night",
                            {{"ember", "Ember", "1.0", true, std::nullopt},
                             {"night", std::nullopt, std::nullopt, false, std::nullopt},
                             {"broken", "Broken", std::nullopt, std::nullopt, "The stylesheet is missing."},
                             {"impostor", "night", std::nullopt, std::nullopt, std::nullopt}}};

// One line per entry: "-" for a separator, "~label" for text, else
// "label action(target)" with " off" when disabled and " [x]mark" when checked.
Strings render(const std::vector<MenuEntry>& entries)
{
    Strings lines;
    for (const auto& e : entries) {
        if (e.kind == MenuEntry::Kind::Separator) {
            lines.push_back("-");
            continue;
        }
        std::string line = e.kind == MenuEntry::Kind::Text ? "~" + e.label : e.label + " " + e.action.substr(4);
        if (e.target)
            line += "(" + *e.target + ")";
        line += std::string(e.enabled ? "" : " off") + (e.checked ? " [x]" : "") + e.mark;
        lines.push_back(line);
    }
    return lines;
}

std::string text(const Glib::RefPtr<Gio::MenuModel>& menu, int index, Gio::MenuModel::Attribute name)
{
    return Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(
               menu->get_item_attribute(index, name, Glib::VARIANT_TYPE_STRING)).get();
}

char mnemonicOf(const std::string& label)
{
    const auto mark = label.find('_');
    return mark == std::string::npos || mark + 1 == label.size() ? 0 : static_cast<char>(std::tolower(label[mark + 1]));
}

// Every GtkShortcutsShortcut under `widget`: its title and its keys.
void collectShortcuts(GtkWidget* widget, std::map<std::string, std::string>& found)
{
    if (GTK_IS_SHORTCUTS_SHORTCUT(widget)) {
        gchar* title = nullptr;
        gchar* keys = nullptr;
        g_object_get(widget, "title", &title, "accelerator", &keys, nullptr);
        found[title ? title : ""] = keys ? keys : "";
        g_free(title);
        g_free(keys);
    }
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child))
        collectShortcuts(child, found);
}

// What the commands work on: a resource folder whose payload line names a
// dirty hub commit, an idle server supervisor, the web view model, the theme
// client and a registered application, as at start-up.
struct CommandParts {
    CommandParts()
        : server(configIn(dir)),
          app(Gtk::Application::create("org.quillbay.tests.Commands", Gio::Application::Flags::NON_UNIQUE))
    {
        app->register_application();
    }

    static ServerProcess::Config configIn(const TempDir& folder)
    {
        startGtk();  // before the web view is made
        writeFile(folder / "PAYLOAD.json", R"({"hub_commit":"0123456789abcdef","dirty":true})");
        ServerProcess::Config config;
        config.resourceDir = folder.path();
        config.stateDir = folder / "state";
        return config;
    }

    TempDir dir{"quillbay-menus"};
    ServerProcess server;
    WebViewModel web;
    ThemePacks themes;
    Glib::RefPtr<Gtk::Application> app;
};

} // namespace

TEST(Commands, OnlyTheServerCommandsFollowTheServerState)
{
    for (const auto& state : {ServerState::idle(), ServerState::starting(), ServerState::failed("It crashed."),
                              ServerState::failed(""), ServerState::ready()}) {
        SCOPED_TRACE(state.message());
        Strings disabled;
        for (const auto& menu : describeMenuBar({state, 8771, kCatalog, "Hub abcdef01"}))
            for (const auto& entry : menu.entries)
                if (entry.kind == MenuEntry::Kind::Command && !entry.enabled && !entry.target)
                    disabled.push_back(entry.action);
        EXPECT_EQ(disabled, state.isReady() ? Strings{} : (Strings{actions::kInstallTheme, actions::kOpenDeskInBrowser}));
    }
}

TEST(Commands, ThemeMenusForEachCatalogShape)
{
    const Strings packs{"Ember activate-theme(ember)", "night activate-theme(night) [x]\u2713",
                        "Broken activate-theme(broken) off", "night activate-theme(impostor)"};
    const auto with = [](Strings lines, const Strings& more) {
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    };
    const std::string refresh = "_Refresh Pack List refresh-themes", install = "_Install Theme Pack\u2026 install-theme";
    struct Row {
        std::optional<ThemeCatalog> catalog;
        Strings bar;      // the menu bar's Theme menu
        Strings toolbar;  // the toolbar's menu: no placeholder, no refresh
    };
    const Row rows[] = {
        {std::nullopt, {"~No packs loaded yet off", "-", refresh}, {install}},
        {ThemeCatalog{"ember", {}}, {"-", refresh}, {"-", install}},
        {kCatalog, with(packs, {"-", refresh}), with(packs, {"-", install})},
    };
    for (const Row& row : rows) {
        const auto menus = describeMenuBar({ServerState::idle(), 8765, row.catalog, "Hub abcdef01"});
        EXPECT_EQ(render(menus[2].entries), row.bar);
        EXPECT_EQ(render(describeToolbarThemeMenu(row.catalog)), row.toolbar);
    }
}

TEST(Commands, MenusHaveDistinctMnemonicsAndDataStaysLiteral)
{
    // Alt and a letter reaches each menu, and each command within it, alone.
    std::set<char> titles;
    for (const auto& menu : describeMenuBar({ServerState::ready(), 8765, kCatalog, "Hub"})) {
        EXPECT_TRUE(titles.insert(mnemonicOf(menu.title)).second) << menu.title;
        std::set<char> letters;
        for (const auto& entry : menu.entries) {
            if (entry.mnemonic) {
                EXPECT_TRUE(letters.insert(mnemonicOf(entry.label)).second) << menu.title << ": " << entry.label;
            }
        }
    }
    EXPECT_FALSE(titles.count(0));

    ASSERT_TRUE(startGtk());
    auto menu = Gio::Menu::create();
    fillMenu(*menu, {MenuEntry::command(commandFor(actions::kQuit)), MenuEntry::text("Hub re_lease")});
    auto section = menu->get_item_link(0, Gio::MenuModel::Link::SECTION);
    EXPECT_EQ(text(section, 0, Gio::MenuModel::Attribute::LABEL), "_Quit");
    EXPECT_EQ(text(section, 1, Gio::MenuModel::Attribute::LABEL), "Hub re__lease");
}

TEST(Commands, EveryKeyParsesIsInstalledOnceAndIsListed)
{
    CommandParts parts;
    AppMenus::Hooks hooks;
    hooks.resourceDir = parts.dir.path();
    AppMenus menus(*parts.app, parts.server, parts.web, parts.themes, hooks);
    DesktopCommands commands(*parts.app, parts.server, parts.web, [] { return nullptr; }, parts.dir.path());

    std::map<std::string, std::string> listed;
    auto window = ShortcutsWindow::create();
    ASSERT_TRUE(window);
    collectShortcuts(GTK_WIDGET(window->gobj()), listed);
    EXPECT_EQ(window->get_title(), "Keyboard Shortcuts");

    // A key given to two actions runs only one of them.
    std::map<std::pair<guint, int>, std::string> owners;
    for (const Glib::ustring& action : parts.app->list_action_descriptions()) {
        for (const auto& accel : parts.app->get_accels_for_action(action)) {
            guint key = 0;
            GdkModifierType mods{};
            gtk_accelerator_parse(accel.c_str(), &key, &mods);
            const auto [owner, fresh] = owners.emplace(std::pair{key, static_cast<int>(mods)}, action);
            EXPECT_TRUE(fresh) << accel << " on " << action << " and " << owner->second;
        }
    }
    for (const Command& command : commandTable()) {
        SCOPED_TRACE(command.label);
        for (auto keys : {command.keys, command.twinKeys})
            for (std::string_view key : keys)
                EXPECT_TRUE(gtk_accelerator_parse(std::string(key).c_str(), nullptr, nullptr)) << key;
        if (!command.keys.empty()) {
            EXPECT_TRUE(listed.count(plainLabel(command))) << "not in the Shortcuts window";
        }
        if (!command.action.empty() && !command.keys.empty()) {
            EXPECT_EQ(parts.app->get_accels_for_action(std::string(command.action)).size(),
                      command.keys.size() + command.twinKeys.size());
        }
    }
}

TEST(Commands, AppMenusWireTheirActionsAndRereadThePayload)
{
    CommandParts parts;
    int quits = 0;
    Strings opened, revealed;
    AppMenus::Hooks hooks;
    hooks.quit = [&] { ++quits; };
    hooks.resourceDir = parts.dir.path();
    hooks.openURI = [&](const std::string& uri) { opened.push_back(uri); };
    hooks.revealFolder = [&](const std::string& folder) { revealed.push_back(folder); };
    auto menus = std::make_unique<AppMenus>(*parts.app, parts.server, parts.web, parts.themes, hooks);
    auto& app = parts.app;

    auto bar = menus->menubar();
    ASSERT_EQ(bar->get_n_items(), 5);
    EXPECT_EQ(text(bar, 0, Gio::MenuModel::Attribute::LABEL), "_File");
    // The Server menu's last section: the port and payload lines, read again on every rebuild.
    const auto serverLines = [&] {
        auto server = bar->get_item_link(3, Gio::MenuModel::Link::SUBMENU);
        auto section = server->get_item_link(server->get_n_items() - 1, Gio::MenuModel::Link::SECTION);
        return Strings{text(section, 0, Gio::MenuModel::Attribute::LABEL), text(section, 1, Gio::MenuModel::Attribute::LABEL)};
    };
    EXPECT_EQ(serverLines(), (Strings{"Port 8765", "Hub 01234567 (dirty tree)"}));
    writeFile(parts.dir / "PAYLOAD.json", "[]");
    menus->rebuild();
    EXPECT_EQ(serverLines().back(), "Payload: unknown");

    // Text lines and unusable packs point at actions that are never enabled.
    for (const char* off : {"install-theme", "open-desk-in-browser", "menu-text", "theme-unavailable"})
        EXPECT_FALSE(app->get_action_enabled(off)) << off;
    for (const char* on : {"reveal-studio-folder", "show-server-log", "quit", "activate-theme", "restart-server"})
        EXPECT_TRUE(app->get_action_enabled(on)) << on;

    for (const char* action : {"reveal-studio-folder", "show-server-log", "quit"})
        app->activate_action(action);
    EXPECT_EQ(revealed, Strings{parts.server.stateDir()});
    EXPECT_EQ(opened, Strings{"file://" + parts.server.serverLogPath()});
    EXPECT_EQ(quits, 1);

    menus.reset();
    EXPECT_FALSE(app->has_action("install-theme"));
}

TEST(Commands, ToolbarThemeMenuFollowsTheCatalogAndDropsStaleActions)
{
    ASSERT_TRUE(startGtk());
    auto group = Gio::SimpleActionGroup::create();
    Published<std::optional<ThemeCatalog>> published;
    Strings activated;
    auto menu = std::make_unique<ThemeMenu>(*group, published, [&](const std::string& id) { activated.push_back(id); });
    auto model = menu->model();
    const auto section = [&](int index) { return model->get_item_link(index, Gio::MenuModel::Link::SECTION); };
    ASSERT_EQ(model->get_n_items(), 1);
    EXPECT_EQ(text(section(0), 0, Gio::MenuModel::Attribute::ACTION), actions::kInstallTheme);

    const ThemeCatalog catalog{"night", {{"ember", "Ember", std::nullopt, true, std::nullopt},
                                         {"night", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                                         {"bro_ken", "Bro_ken", std::nullopt, std::nullopt, "No manifest."}}};
    published.set(catalog);
    ASSERT_EQ(model->get_n_items(), 2);
    ASSERT_EQ(section(0)->get_n_items(), 3);
    const char* labels[] = {"Ember", "night", "Bro__ken"};
    for (int i = 0; i < 3; ++i) {
        const auto name = ThemeMenu::packActionName(static_cast<std::size_t>(i));
        EXPECT_EQ(text(section(0), i, Gio::MenuModel::Attribute::LABEL), labels[i]);
        EXPECT_EQ(text(section(0), i, Gio::MenuModel::Attribute::ACTION), "app." + name);
        bool checked = false;
        group->get_action_state(name, checked);
        EXPECT_EQ(checked, i == 1) << labels[i];
        EXPECT_EQ(group->get_action_enabled(name), i != 2) << labels[i];
    }

    group->activate_action(ThemeMenu::packActionName(0));
    EXPECT_EQ(activated, Strings{"ember"});
    // The check follows the catalog, not the click.
    bool checked = true;
    group->get_action_state(ThemeMenu::packActionName(0), checked);
    EXPECT_FALSE(checked);

    // An empty list keeps the separator (an empty section) and drops the old actions.
    published.set(ThemeCatalog{"x", {}});
    EXPECT_FALSE(group->has_action(ThemeMenu::packActionName(0)));
    ASSERT_EQ(model->get_n_items(), 2);
    EXPECT_EQ(section(0)->get_n_items(), 0);

    published.set(catalog);
    menu.reset();
    EXPECT_EQ(group->list_actions().size(), 0u);
}

TEST(Commands, AboutShowsVersionPayloadPortLogAndLicence)
{
    CommandParts parts;
    DesktopCommands commands(*parts.app, parts.server, parts.web, [] { return nullptr; }, parts.dir.path());
    commands.showAbout();
    Gtk::AboutDialog* about = commands.aboutDialog();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(std::string(about->get_version()), QUILLBAY_VERSION);
    const std::string comments = about->get_comments();
    for (const std::string& part : {std::string("Hub 01234567 (dirty tree)"), std::string("port 8765"),
                                    parts.server.serverLogPath()})
        EXPECT_NE(comments.find(part), std::string::npos) << part << " not in " << comments;
    EXPECT_EQ(about->get_license_type(), Gtk::License::MIT_X11);
    about->set_visible(false);
}

TEST(Commands, SavedDiagnosticsOfferTheirFolderAndAFailureIsNamed)
{
    FakeDesktop desktop;
    CommandParts parts;
    TempDir& dir = parts.dir;
    MainWindow window(parts.server, parts.web, parts.themes, Preferences(dir / "preferences.ini"));
    DesktopCommands commands(*parts.app, parts.server, parts.web, [&] { return &window; }, dir.path());
    Toast& toast = window.content().toast();

    window.present();
    ASSERT_TRUE(runUntil([&] { return window.get_mapped(); }, 5s));

    commands.saveDiagnosticsTo(dir / "report.zip");
    EXPECT_EQ(toast.text(), "Saved report.zip");
    ASSERT_TRUE(runUntil([&] { return toast.actionButton().get_mapped(); }, 5s));
    toast.actionButton().activate();
    ASSERT_TRUE(runUntil([&] { return !desktop.opened().empty(); }, 5s)) << toast.text();
    EXPECT_EQ(desktop.opened(), std::vector<std::string>{dir.path()});  // no file manager: its folder

    commands.saveDiagnosticsTo(dir / "missing/report.zip");
    EXPECT_EQ(toast.text().rfind("Could not save report.zip: ", 0), 0u) << toast.text();
    EXPECT_FALSE(toast.actionButton().get_visible());
}
