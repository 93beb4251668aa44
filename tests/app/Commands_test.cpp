// The command table on a real application: menus, keys, Shortcuts window, About; the microphone alert.

#include "tests/support/FakeDesktop.hpp"
#include "tests/support/FakeResources.hpp"
#include "tests/support/GtkTestSupport.hpp"
#include "tests/support/TestProcess.hpp"
#include "tests/support/WebSites.hpp"

#include "app/about/AboutQuillbay.hpp"
#include "app/commands/AppCommands.hpp"
#include "app/commands/AppMenus.hpp"
#include "app/commands/MenuFill.hpp"
#include "app/commands/ShortcutsWindow.hpp"
#include "app/lifecycle/Microphone.hpp"
#include "support/Config.hpp"
#include "themes/ThemePacks.hpp"
#include "ui/output/OutputCommands.hpp"
#include "web/WebViewModel.hpp"

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
// "label action(target)" with " off" when disabled and " mark" when marked.
Strings render(const std::vector<MenuEntry>& entries)
{
    Strings lines;
    for (const auto& e : entries)
        lines.push_back(e.kind == MenuEntry::Kind::Separator ? "-"
                        : (e.kind == MenuEntry::Kind::Text ? "~" + e.label : e.label + " " + e.action.substr(4)) +
                              (e.target ? "(" + *e.target + ")" : "") + (e.enabled ? "" : " off") +
                              (e.mark.empty() ? "" : " " + e.mark));
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
    explicit CommandParts(long long port = ServerProcess::kPreferredPort)
        : server(configIn(dir, port)),
          app(Gtk::Application::create("org.quillbay.tests.Commands", Gio::Application::Flags::NON_UNIQUE))
    {
        app->register_application();
    }

    static ServerProcess::Config configIn(const TempDir& folder, long long port)
    {
        startGtk();  // before the web view is made
        writeFile(folder / "PAYLOAD.json", R"({"hub_commit":"0123456789abcdef","dirty":true})");
        return {.resourceDir = folder.path(), .stateDir = folder / "state", .ports = {.preferred = port}, .timing = {}};
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
        EXPECT_EQ(disabled, state.isReady() ? Strings{} : (Strings{actions::kInstallTheme, actions::kReload, actions::kOpenDeskInBrowser}))
            << state.message();
    }

    const Strings packs{"Ember theme(ember)", "night theme(night)", "Bro_ken theme(bro_ken) off",
                        "night (impostor) theme(impostor)", "\uFF25MBER (ember-copy) theme(ember-copy)"};
    const std::string refresh = "_Refresh Pack List refresh-themes";
    const std::pair<std::optional<ThemeCatalog>, Strings> rows[] = {  // a catalog and the menu bar's Theme menu
        {std::nullopt, {"~No packs loaded yet off", "-", refresh}},
        {ThemeCatalog{"ember", {}}, {"-", refresh}},
        {kCatalog, {packs[0], packs[1] + " \u2713", packs[2], packs[3], packs[4], "-", refresh}},
    };
    for (const auto& [catalog, menu] : rows)
        EXPECT_EQ(render(describeMenuBar({ServerState::idle(), 8765, catalog, "Hub abcdef01"})[2].entries), menu);
    // The toolbar's menu: no placeholder, no refresh, no mark (GTK draws the choice's state).
    EXPECT_EQ(render(describeToolbarThemeMenu(kCatalog)),
              (Strings{packs[0], packs[1], packs[2], packs[3], packs[4], "-", "_Install Theme Pack\u2026 install-theme"}));
}

TEST(Commands, AppCommandsAndMenusWireKeysActionsAboutAndThePayload)
{
    FakeDesktop desktop;
    CommandParts parts;
    auto& app = parts.app;
    int quits = 0;
    auto commands = std::make_unique<AppCommands>(*app, parts.server, parts.web, parts.themes, [] { return nullptr; },
                                                  AppCommands::Hooks{.quit = [&] { ++quits; }, .showServerOutput = {}, .resourceDir = parts.dir.path()});
    auto menus = std::make_unique<AppMenus>(*app, parts.server, parts.themes, parts.dir.path());

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
    // The output window's keys are its own: listed, not installed on the application.
    for (const auto* table : {&commandTable(), &outputWindowCommands()}) {
        for (const Command& command : *table) {
            SCOPED_TRACE(command.label);
            for (auto keys : {command.keys, command.twinKeys})
                for (std::string_view key : keys)
                    EXPECT_TRUE(gtk_accelerator_parse(std::string(key).c_str(), nullptr, nullptr)) << key;
            EXPECT_TRUE(command.keys.empty() || listed.count(plainLabel(command))) << "not in the Shortcuts window";
            if (table == &commandTable() && !command.action.empty() && !command.keys.empty()) {
                EXPECT_EQ(app->get_accels_for_action(std::string(command.action)).size(),
                          command.keys.size() + command.twinKeys.size());
            }
        }
    }

    commands->showAbout();
    Gtk::AboutDialog* about = commands->aboutDialog();
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

    // Text lines, unusable packs and the output window before it is handed over point at actions never enabled.
    for (const char* off : {"install-theme", "open-desk-in-browser", "menu-text", "theme-unavailable", "server-output"})
        EXPECT_FALSE(app->get_action_enabled(off)) << off;
    for (const char* on : {"reveal-studio-folder", "show-server-log", "quit", "theme", "restart-server"})
        EXPECT_TRUE(app->get_action_enabled(on)) << on;
    // The desktop's default application gets the studio folder (there is no file manager here; the log: tests/flows).
    std::filesystem::create_directories(parts.server.stateDir());
    app->activate_action("reveal-studio-folder");
    app->activate_action("quit");
    EXPECT_TRUE(runUntil([&] { return desktop.opened() == Strings{parts.server.stateDir()}; }, 5s))
        << ::testing::PrintToString(desktop.opened());
    EXPECT_EQ(quits, 1);
    commands.reset();
    menus.reset();
    EXPECT_FALSE(app->has_action("install-theme") || app->has_action("menu-text"));
}

// The menu bar's Theme menu and the toolbar's theme menu share one choice, whose state is the
// catalog's active pack whatever was clicked.
TEST(Commands, ThemeMenusShareOneChoiceThatFollowsTheCatalog)
{
    TestProcess catalogs{{"/usr/bin/python3", QUILLBAY_FIXTURES_DIR "/theme_server.py"}};
    const long port = std::atol(catalogs.readUntil("", 10s).front().c_str());
    CommandParts parts(port);  // the studio's address reaches the stand-in, which refuses an activation
    auto& app = parts.app;
    parts.themes.setAlert({});
    AppCommands commands(*app, parts.server, parts.web, parts.themes, [] { return nullptr; }, {});
    AppMenus menus(*app, parts.server, parts.themes, parts.dir.path());
    const auto model = menus.toolbarThemeMenu();
    const auto item = [&](int i) {
        const auto packs = model->get_item_link(0, Gio::MenuModel::Link::SECTION);
        return text(packs, i) + " " + text(packs, i, Attribute::ACTION) + "(" + text(packs, i, Attribute::TARGET) + ")";
    };
    const auto chosen = [&](const char* action) {
        return Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(app->get_action_state_variant(action)).get();
    };
    const auto refresh = [&](const std::string& name) {
        bool done = false;
        parts.themes.refresh(localAddress(port, "/" + name + "/"), [&] { done = true; });
        return runUntil([&] { return done; }, 10s);
    };
    ASSERT_EQ(model->get_n_items(), 1);  // no placeholder before a catalog
    EXPECT_EQ(text(model->get_item_link(0, Gio::MenuModel::Link::SECTION), 0, Attribute::ACTION), actions::kInstallTheme);

    ASSERT_TRUE(refresh("a"));  // Ember, active, and night without a name
    ASSERT_EQ(model->get_n_items(), 2);
    EXPECT_EQ((Strings{item(0), item(1)}), (Strings{"Ember app.theme(ember)", "night app.theme(night)"}));
    EXPECT_EQ((Strings{chosen("theme"), chosen("theme-unavailable")}), (Strings{"ember", "ember"}));
    app->activate_action("theme", Glib::Variant<Glib::ustring>::create("night"));
    ASSERT_TRUE(runUntil([&] { return parts.themes.lastMessage().get().has_value(); }, 10s));
    runFor(300ms);  // the refresh after it
    EXPECT_EQ(chosen("theme"), "ember");
    ASSERT_TRUE(refresh("catalog-b"));
    EXPECT_EQ((Strings{item(0), chosen("theme")}), (Strings{"Night app.theme(night)", "night"}));

    // Data stays literal: "Bro_ken" is given as Bro__ken; the unusable pack points at the disabled twin.
    auto filled = Gio::Menu::create();
    fillMenu(*filled, describeToolbarThemeMenu(kCatalog));
    const auto packs = filled->get_item_link(0, Gio::MenuModel::Link::SECTION);
    EXPECT_EQ(text(packs, 2) + " " + text(packs, 2, Attribute::ACTION), "Bro__ken app.theme-unavailable");
    fillMenu(*filled, describeToolbarThemeMenu(ThemeCatalog{"x", {}}));  // an empty list keeps the separator
    EXPECT_EQ(filled->get_n_items(), 2);
}

TEST(Commands, SavedDiagnosticsOfferTheirFolderAndAFailureIsNamed)
{
    FakeDesktop desktop;
    CommandParts parts;
    TempDir& dir = parts.dir;
    MainWindow window(parts.server, parts.web, parts.themes, Preferences(dir / "preferences.ini"));
    AppCommands commands(*parts.app, parts.server, parts.web, parts.themes, [&] { return &window; },
                         {.quit = {}, .showServerOutput = {}, .resourceDir = dir.path()});
    Toast& toast = window.content().toast();
    window.present();
    ASSERT_TRUE(runUntil([&] { return window.get_mapped(); }, 5s));

    commands.diagnostics().saveTo(dir / "report.zip");
    EXPECT_EQ(toast.text(), "Saved report.zip");
    ASSERT_TRUE(runUntil([&] { return toast.actionButton().get_mapped(); }, 5s));
    toast.actionButton().activate();
    ASSERT_TRUE(runUntil([&] { return !desktop.opened().empty(); }, 5s)) << toast.text();
    EXPECT_EQ(desktop.opened(), std::vector<std::string>{dir.path()});  // no file manager: its folder

    commands.diagnostics().saveTo(dir / "missing/report.zip");
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
