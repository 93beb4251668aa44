// The command table on a real application: menus, keys, Shortcuts window, About; the microphone alert.

#include "tests/support/FakeDesktop.hpp"
#include "tests/support/FakeResources.hpp"
#include "tests/support/GtkTestSupport.hpp"

#include "app/about/AboutQuillbay.hpp"
#include "app/commands/ActionSet.hpp"
#include "app/commands/AppMenus.hpp"
#include "app/commands/DesktopCommands.hpp"
#include "app/commands/MenuFill.hpp"
#include "app/commands/MenuModel.hpp"
#include "app/commands/ShortcutsWindow.hpp"
#include "app/commands/ThemeMenu.hpp"
#include "app/lifecycle/Microphone.hpp"
#include "ui/window/MainWindow.hpp"
#include "support/Config.hpp"
#include "themes/ThemePacks.hpp"
#include "web/WebViewModel.hpp"

#include <giomm/simpleactiongroup.h>
#include <gtest/gtest.h>
#include <gtkmm/application.h>

#include <map>
#include <set>
#include <thread>

using namespace quillbay;
using namespace quillbay::testing;
using Strings = std::vector<std::string>;
using Attribute = Gio::MenuModel::Attribute;

namespace {

// Ember has a name, night none, bro_ken an error and an underscore; impostor is named like the active id,
// and ember-copy like the stock Ember but for case and width: both are told apart by their ids.
const ThemeCatalog kCatalog{"night",
                            {{"ember", "Ember", "1.0", true, std::nullopt},
                             {"night", std::nullopt, std::nullopt, false, std::nullopt},
                             {"bro_ken", "Bro_ken", std::nullopt, std::nullopt, "The stylesheet is missing."},
                             {"impostor", "night", std::nullopt, std::nullopt, std::nullopt},
                             {"ember-copy", "\uFF25MBER", std::nullopt, false, std::nullopt}}};

// One line per entry: "-" for a separator, "~label" for text, else
// "label action(target)" with " off" when disabled and " [x]mark" when checked.
Strings render(const std::vector<MenuEntry>& entries)
{
    Strings lines;
    for (const auto& e : entries)
        lines.push_back(e.kind == MenuEntry::Kind::Separator ? "-"
                        : (e.kind == MenuEntry::Kind::Text ? "~" + e.label : e.label + " " + e.action.substr(4)) +
                              (e.target ? "(" + *e.target + ")" : "") + (e.enabled ? "" : " off") +
                              (e.checked ? " [x]" : "") + e.mark);
    return lines;
}

std::string text(const Glib::RefPtr<Gio::MenuModel>& menu, int index, Attribute name = Attribute::LABEL)
{
    return Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(
               menu->get_item_attribute(index, name, Glib::VARIANT_TYPE_STRING)).get();
}

char mnemonicOf(const std::string& label)
{
    const auto mark = label.find('_');
    return mark == std::string::npos || mark + 1 == label.size() ? 0 : static_cast<char>(std::tolower(label[mark + 1]));
}

void collectShortcuts(GtkWidget* widget, std::set<std::string>& found)
{
    if (GTK_IS_SHORTCUTS_SHORTCUT(widget)) {
        g_autofree gchar* title = nullptr;
        g_object_get(widget, "title", &title, nullptr);
        found.insert(title ? title : "");
    }
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child))
        collectShortcuts(child, found);
}

// What the commands work on at start-up: a payload naming a dirty hub commit and an idle server.
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
        return {.resourceDir = folder.path(), .stateDir = folder / "state", .ports = {}, .timing = {}};
    }

    TempDir dir{"quillbay-menus"};
    ServerProcess server;
    WebViewModel web;
    ThemePacks themes;
    Glib::RefPtr<Gtk::Application> app;
};

} // namespace

TEST(Commands, MenusFollowTheServerStateAndTheCatalogAndHaveDistinctMnemonics)
{
    // Only the server commands follow the server state; Alt and a letter reaches each menu and command.
    for (const auto& state : {ServerState::idle(), ServerState::starting(), ServerState::failed("It crashed."),
                              ServerState::failed(""), ServerState::ready()}) {
        Strings disabled;
        std::set<char> titles;
        for (const auto& menu : describeMenuBar({state, 8771, kCatalog, "Hub abcdef01"})) {
            EXPECT_TRUE(mnemonicOf(menu.title) && titles.insert(mnemonicOf(menu.title)).second) << menu.title;
            std::set<char> letters;
            for (const auto& entry : menu.entries) {
                EXPECT_TRUE(!entry.mnemonic || letters.insert(mnemonicOf(entry.label)).second) << menu.title << ": " << entry.label;
                if (entry.kind == MenuEntry::Kind::Command && !entry.enabled && !entry.target)
                    disabled.push_back(entry.action);
            }
        }
        EXPECT_EQ(disabled, state.isReady() ? Strings{} : (Strings{actions::kInstallTheme, actions::kOpenDeskInBrowser}))
            << state.message();
    }

    const Strings packs{"Ember activate-theme(ember)", "night activate-theme(night) [x]\u2713",
                        "Bro_ken activate-theme(bro_ken) off", "night (impostor) activate-theme(impostor)",
                        "\uFF25MBER (ember-copy) activate-theme(ember-copy)"};
    const std::string refresh = "_Refresh Pack List refresh-themes";
    const std::pair<std::optional<ThemeCatalog>, Strings> rows[] = {  // a catalog and the menu bar's Theme menu
        {std::nullopt, {"~No packs loaded yet off", "-", refresh}},
        {ThemeCatalog{"ember", {}}, {"-", refresh}},
        {kCatalog, {packs[0], packs[1], packs[2], packs[3], packs[4], "-", refresh}},
    };
    for (const auto& [catalog, menu] : rows)
        EXPECT_EQ(render(describeMenuBar({ServerState::idle(), 8765, catalog, "Hub abcdef01"})[2].entries), menu);
    // The toolbar's menu: no placeholder, no refresh (its model: below).
    EXPECT_EQ(render(describeToolbarThemeMenu(kCatalog)),
              (Strings{packs[0], packs[1], packs[2], packs[3], packs[4], "-", "_Install Theme Pack\u2026 install-theme"}));
}

TEST(Commands, AppMenusAndAboutWireKeysActionsAndThePayload)
{
    CommandParts parts;
    auto& app = parts.app;
    int quits = 0;
    Strings opened, revealed;
    auto menus = std::make_unique<AppMenus>(*app, parts.server, parts.web, parts.themes, AppMenus::Hooks{
        .quit = [&] { ++quits; }, .resourceDir = parts.dir.path(),
        .openURI = [&](const std::string& uri) { opened.push_back(uri); },
        .revealFolder = [&](const std::string& folder) { revealed.push_back(folder); }});
    DesktopCommands commands(*app, parts.server, parts.web, [] { return nullptr; }, parts.dir.path());

    // Every key parses, is installed once and is listed; a key given to two actions runs only one.
    std::set<std::string> listed;
    auto window = ShortcutsWindow::create();
    ASSERT_TRUE(window);
    collectShortcuts(GTK_WIDGET(window->gobj()), listed);
    std::map<std::pair<guint, int>, std::string> owners;
    for (const Glib::ustring& action : app->list_action_descriptions()) {
        for (const auto& accel : app->get_accels_for_action(action)) {
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
        EXPECT_TRUE(command.keys.empty() || listed.count(plainLabel(command))) << "not in the Shortcuts window";
        if (!command.action.empty() && !command.keys.empty()) {
            EXPECT_EQ(app->get_accels_for_action(std::string(command.action)).size(),
                      command.keys.size() + command.twinKeys.size());
        }
    }

    commands.showAbout();
    Gtk::AboutDialog* about = commands.aboutDialog();
    ASSERT_TRUE(about);
    for (const std::string& part : Strings{"Hub 01234567 (dirty tree)", "port 8765", parts.server.serverLogPath()})
        EXPECT_NE(about->get_comments().find(part), std::string::npos) << part << " not in " << about->get_comments();
    about->set_visible(false);

    // The Server menu's last section: the port and payload lines. GTK sets the menu's submenu action
    // as it opens: the payload is read again then, and only its row is replaced.
    auto bar = menus->menubar();
    ASSERT_EQ(bar->get_n_items(), 5);
    auto server = bar->get_item_link(3, Gio::MenuModel::Link::SUBMENU);
    auto section = server->get_item_link(server->get_n_items() - 1, Gio::MenuModel::Link::SECTION);
    EXPECT_EQ((Strings{text(section, 0), text(section, 1)}), (Strings{"Port 8765", "Hub 01234567 (dirty tree)"}));
    Strings changes;
    section->signal_items_changed().connect(
        [&](int at, int removed, int added) { changes.push_back(Glib::ustring::compose("%1-%2+%3", at, removed, added)); });
    writeFile(parts.dir / "PAYLOAD.json", "[]");
    app->change_action_state(ActionSet::mapName(actions::kServerMenuShown), Glib::Variant<bool>::create(true));
    EXPECT_EQ(text(section, 1), "Payload: unknown");
    EXPECT_EQ(changes, (Strings{"1-1+0", "1-0+1"}));

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
    const auto packs = [&] { return model->get_item_link(0, Gio::MenuModel::Link::SECTION); };
    const auto checked = [&](std::size_t i) {
        return Glib::VariantBase::cast_dynamic<Glib::Variant<bool>>(group->get_action_state_variant(ThemeMenu::packActionName(i))).get();
    };
    ASSERT_EQ(model->get_n_items(), 1);  // no placeholder before a catalog
    EXPECT_EQ(text(packs(), 0, Attribute::ACTION), actions::kInstallTheme);

    published.set(kCatalog);
    ASSERT_EQ(model->get_n_items(), 2);
    ASSERT_EQ(packs()->get_n_items(), 5);  // data stays literal: "Bro__ken" shows as Bro_ken
    const char* labels[] = {"Ember", "night", "Bro__ken", "night (impostor)", "\uFF25MBER (ember-copy)"};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto name = ThemeMenu::packActionName(i);
        EXPECT_EQ(text(packs(), int(i)) + " " + text(packs(), int(i), Attribute::ACTION), labels[i] + (" app." + name));
        EXPECT_EQ(checked(i), i == 1) << labels[i];
        EXPECT_EQ(group->get_action_enabled(name), i != 2) << labels[i];
    }
    group->activate_action(ThemeMenu::packActionName(0));
    EXPECT_EQ(activated, Strings{"ember"});
    EXPECT_FALSE(checked(0));  // the check follows the catalog, not the click

    // An empty list keeps the separator (an empty section) and drops the old actions.
    published.set(ThemeCatalog{"x", {}});
    EXPECT_FALSE(group->has_action(ThemeMenu::packActionName(0)));
    ASSERT_EQ(model->get_n_items(), 2);
    EXPECT_EQ(packs()->get_n_items(), 0);
    published.set(kCatalog);
    menu.reset();
    EXPECT_EQ(group->list_actions().size(), 0u);
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

TEST(Microphone, RefusalShowsTheAlertWhoseFirstButtonOpensTheSettings)
{
    ASSERT_TRUE(startGtk());
    int settingsOpened = 0;
    // A refusal delivered from another thread, as a platform would.
    Microphone::Platform refusing;
    refusing.request = [](Microphone::Answer answer) { std::thread([answer] { answer(false); }).detach(); };
    refusing.openSettings = [&] { ++settingsOpened; };
    for (int response : {1000, 1001}) {
        Microphone::ask(refusing);
        ASSERT_TRUE(runUntil([] { return shownMessageDialog() != nullptr; }, 5s));
        shownMessageDialog()->response(response);
        EXPECT_TRUE(runUntil([] { return shownMessageDialog() == nullptr; }, 2s));
        runFor(100ms);
        EXPECT_EQ(settingsOpened, 1) << "after response " << response;
    }

    // On Linux the platform answers granted: no alert.
    Microphone::ask(Microphone::Platform{});
    runFor(200ms);
    EXPECT_EQ(shownMessageDialog(), nullptr);
}
