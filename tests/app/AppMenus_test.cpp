#include "MenuTestParts.hpp"

#include "app/commands/AppMenus.hpp"

#include <gtkmm/application.h>
#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

// The text lines of the bar's Server menu (its last section).
std::vector<std::string> serverTextLines(const Glib::RefPtr<Gio::MenuModel>& bar)
{
    auto menu = bar->get_item_link(2, Gio::MenuModel::Link::SUBMENU);
    auto section = menu->get_item_link(menu->get_n_items() - 1, Gio::MenuModel::Link::SECTION);
    std::vector<std::string> labels;
    for (int i = 0; i < section->get_n_items(); ++i)
        labels.push_back(Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(
                             section->get_item_attribute(i, Gio::MenuModel::Attribute::LABEL, Glib::VARIANT_TYPE_STRING)).get());
    return labels;
}

} // namespace

TEST(AppMenus, BuildsTheBarAndWiresItsActions)
{
    MenuTestParts parts("org.quillbay.tests.AppMenus");
    auto& [dir, server, web, themes, app] = parts;

    int quits = 0;
    std::vector<std::string> opened, revealed;
    AppMenus::Hooks hooks;
    hooks.quit = [&] { ++quits; };
    hooks.resourceDir = dir.path();
    hooks.openURI = [&](const std::string& uri) { opened.push_back(uri); };
    hooks.revealFolder = [&](const std::string& folder) { revealed.push_back(folder); };
    auto menus = std::make_unique<AppMenus>(*app, server, web, themes, hooks);

    auto bar = menus->menubar();
    ASSERT_EQ(bar->get_n_items(), 3);
    EXPECT_EQ(serverTextLines(bar), (std::vector<std::string>{"Port 8765", "Hub 01234567 (dirty tree)"}));
    // The payload line is read again whenever the menus are rebuilt.
    writeFile(dir / "PAYLOAD.json", "[]");
    menus->rebuild();
    EXPECT_EQ(serverTextLines(bar).back(), "Payload: unknown");

    // Text lines and unusable packs point at actions that are never enabled.
    for (const char* off : {"install-theme", "open-desk-in-browser", "menu-text", "theme-unavailable"})
        EXPECT_FALSE(app->get_action_enabled(off)) << off;
    for (const char* on : {"reveal-studio-folder", "show-server-log", "quit", "activate-theme", "restart-server"})
        EXPECT_TRUE(app->get_action_enabled(on)) << on;
    EXPECT_EQ(app->get_accels_for_action("app.install-theme").size() + app->get_accels_for_action("app.quit").size(), 2u);

    for (const char* action : {"reveal-studio-folder", "show-server-log", "quit"})
        app->activate_action(action);
    EXPECT_EQ(revealed, std::vector<std::string>{server.stateDir()});
    EXPECT_EQ(opened, std::vector<std::string>{"file://" + server.serverLogPath()});
    EXPECT_EQ(quits, 1);

    menus.reset();
    EXPECT_FALSE(app->has_action("install-theme"));
}
