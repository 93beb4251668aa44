#pragma once

#include "app/commands/MenuModel.hpp"
#include "support/ActionSet.hpp"
#include "support/ScopedConnection.hpp"

#include <giomm/menu.h>

#include <string>
#include <vector>

namespace Gtk {
class Application;
}

namespace quillbay {

class ServerProcess;
class ThemePacks;

// The application's menus, made from the command table: the menu bar (set
// on `app`) and the toolbar's theme menu. Both are updated in place whenever
// the server state, the port or the catalog changes, and the menu bar each
// time the Server menu opens (its payload line is read then). Their commands
// are AppCommands' and the window's actions; this adds only the disabled
// actions that display-only lines and unusable packs point at.
class AppMenus {
public:
    // Make it once `app` is registered (in on_startup), as GTK accepts a menu
    // bar only then. `resourceDir`: R for the payload line; empty: the app's own.
    AppMenus(Gtk::Application& app, ServerProcess& server, ThemePacks& themes, std::string resourceDir = {});
    AppMenus(const AppMenus&) = delete;
    AppMenus& operator=(const AppMenus&) = delete;

    Glib::RefPtr<Gio::MenuModel> menubar() const { return menubar_; }
    // For the toolbar's theme menu button (the same object for the whole run).
    Glib::RefPtr<Gio::MenuModel> toolbarThemeMenu() const { return toolbarMenu_; }

private:
    void addDisplayActions();
    Glib::RefPtr<Gio::MenuItem> menuBarItem(MenuPlace place, const MenuDescription& menu, const Glib::RefPtr<Gio::Menu>& submenu);
    void rebuild();

    ServerProcess& server_;
    ThemePacks& themes_;
    std::string resourceDir_;
    ActionSet displayActions_;
    Glib::RefPtr<Gio::Menu> menubar_ = Gio::Menu::create();
    std::vector<Glib::RefPtr<Gio::Menu>> submenus_;
    std::vector<MenuDescription> shown_;  // what each submenu shows now
    Glib::RefPtr<Gio::Menu> toolbarMenu_ = Gio::Menu::create();
    std::vector<MenuEntry> toolbarShown_;
    ScopedConnection stateChanged_, portChanged_, catalogChanged_;
};

} // namespace quillbay
