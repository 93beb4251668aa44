#include "app/AppMenus.hpp"

#include "server/ServerProcess.hpp"
#include "themes/ThemePacks.hpp"
#include "web/WebViewModel.hpp"

#include <gtkmm/application.h>
#include <gtkmm/init.h>
#include <gtest/gtest.h>

#include <gio/gio.h>
#include <glib.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>

using namespace quillbay;

namespace {

std::string label(GMenuModel* menu, int index)
{
    gchar* text = nullptr;
    if (!g_menu_model_get_item_attribute(menu, index, G_MENU_ATTRIBUTE_LABEL, "s", &text))
        return {};
    std::string result(text);
    g_free(text);
    return result;
}

// The labels of one menu of the bar, sections flattened.
std::vector<std::string> labelsOf(const Glib::RefPtr<Gio::MenuModel>& bar, int menuIndex)
{
    std::vector<std::string> labels;
    GMenuModel* menu = g_menu_model_get_item_link(bar->gobj(), menuIndex, G_MENU_LINK_SUBMENU);
    for (int s = 0; s < g_menu_model_get_n_items(menu); ++s) {
        GMenuModel* section = g_menu_model_get_item_link(menu, s, G_MENU_LINK_SECTION);
        for (int i = 0; i < g_menu_model_get_n_items(section); ++i)
            labels.push_back(label(section, i));
        g_object_unref(section);
    }
    g_object_unref(menu);
    return labels;
}

// GTK spells accelerators its own way; compare what they mean.
bool sameKeys(const std::vector<Glib::ustring>& accels, const char* expected)
{
    if (accels.size() != 1)
        return false;
    guint keyA = 0, keyB = 0;
    GdkModifierType modsA{}, modsB{};
    gtk_accelerator_parse(accels[0].c_str(), &keyA, &modsA);
    gtk_accelerator_parse(expected, &keyB, &modsB);
    return keyA == keyB && modsA == modsB && keyA != 0;
}

class AppMenusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gtk_init_check())
            GTEST_SKIP() << "no display";
        Gtk::init_gtkmm_internals();
        char pattern[] = "/tmp/quillbay-menus-XXXXXX";
        dir = g_mkdtemp(pattern);
        std::ofstream(dir + "/PAYLOAD.json") << R"({"hub_commit":"0123456789abcdef","dirty":true})";

        ServerProcess::Config config;
        config.resourceDir = dir;
        config.stateDir = dir + "/state";
        server = std::make_unique<ServerProcess>(config);
        web = std::make_unique<WebViewModel>();
        app = Gtk::Application::create("org.quillbay.tests.AppMenus", Gio::Application::Flags::NON_UNIQUE);
        // As in the application, the menus are made once it is registered (at start-up).
        app->register_application();

        AppMenus::Hooks hooks;
        hooks.quit = [this] { ++quits; };
        hooks.resourceDir = dir;
        hooks.openURI = [this](const std::string& uri) { opened.push_back(uri); };
        hooks.revealFolder = [this](const std::string& folder) { revealed.push_back(folder); };
        menus = std::make_unique<AppMenus>(*app, *server, *web, themes, hooks);
    }
    void TearDown() override
    {
        menus.reset();
        if (!dir.empty())
            std::filesystem::remove_all(dir);
    }

    std::string dir;
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<WebViewModel> web;
    ThemePacks themes;
    Glib::RefPtr<Gtk::Application> app;
    std::unique_ptr<AppMenus> menus;
    int quits = 0;
    std::vector<std::string> opened;
    std::vector<std::string> revealed;
};

} // namespace

TEST_F(AppMenusTest, BuildsTheBarFromTheServerAndThePayload)
{
    auto bar = menus->menubar();
    ASSERT_EQ(bar->get_n_items(), 3);
    EXPECT_EQ(label(bar->gobj(), 0), "File");
    EXPECT_EQ(label(bar->gobj(), 1), "Theme");
    EXPECT_EQ(label(bar->gobj(), 2), "Server");
    EXPECT_EQ(labelsOf(bar, 1), (std::vector<std::string>{"No packs loaded yet", "Refresh Pack List"}));
    EXPECT_EQ(labelsOf(bar, 2), (std::vector<std::string>{"Restart Server", "Open Desk in Browser", "Port 8765",
                                                          "Hub 01234567 (dirty tree)"}));

    // The payload line is read again whenever the menus are rebuilt.
    std::ofstream(dir + "/PAYLOAD.json", std::ios::trunc) << "[]";
    menus->rebuild();
    EXPECT_EQ(labelsOf(bar, 2).back(), "Payload: unknown");
}

TEST_F(AppMenusTest, ActionsKeysAndEnabledStates)
{
    EXPECT_FALSE(app->get_action_enabled("install-theme"));
    EXPECT_FALSE(app->get_action_enabled("open-desk-in-browser"));
    EXPECT_FALSE(app->get_action_enabled("menu-text"));
    for (const char* always : {"reveal-studio-folder", "show-server-log", "quit", "activate-theme", "refresh-themes",
                               "restart-server"})
        EXPECT_TRUE(app->get_action_enabled(always)) << always;
    EXPECT_TRUE(sameKeys(app->get_accels_for_action("app.install-theme"), "<Primary><Shift>i"));
    EXPECT_TRUE(sameKeys(app->get_accels_for_action("app.quit"), "<Primary>q"));

    app->activate_action("reveal-studio-folder");
    app->activate_action("show-server-log");
    app->activate_action("quit");
    EXPECT_EQ(revealed, std::vector<std::string>{server->stateDir()});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "file://" + server->serverLogPath());
    EXPECT_EQ(quits, 1);
}

TEST_F(AppMenusTest, RemovesItsActionsWhenGone)
{
    menus.reset();
    EXPECT_FALSE(app->has_action("install-theme"));
    EXPECT_FALSE(app->has_action("toolbar-theme-0"));
}
