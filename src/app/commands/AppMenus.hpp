#pragma once

#include <giomm/menumodel.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Gtk {
class Application;
class Window;
}

namespace quillbay {

class ServerProcess;
class ThemePacks;
struct MenuDescription;
class WebViewModel;

// The application's commands: installs the app actions with their keys,
// builds the menu bar (File, Theme, Server) and the toolbar's theme menu, and
// rebuilds both whenever the server state, the port or the catalog changes.
//
// Actions: app.install-theme (<Primary><Shift>i), app.reveal-studio-folder,
// app.show-server-log, app.quit (<Primary>q), app.activate-theme (string: pack
// id), app.refresh-themes, app.restart-server, app.open-desk-in-browser.
// Install and open-desk are enabled only while the server is ready.
class AppMenus {
public:
    struct Hooks {
        std::function<void()> quit;                // app.quit; required
        std::string resourceDir;                   // R for the payload line; empty: the app's own
        // Desktop calls; the defaults ignore failures.
        std::function<void(const std::string& uri)> openURI;
        std::function<void(const std::string& folder)> revealFolder;
        // Adds menus or entries to the described bar before it is built; optional.
        std::function<void(std::vector<MenuDescription>& menus)> extendMenuBar;
    };

    // Also sets the menu bar of `app`. Make it once `app` is registered
    // (in on_startup), as GTK accepts a menu bar only then.
    AppMenus(Gtk::Application& app, ServerProcess& server, WebViewModel& web, ThemePacks& themes, Hooks hooks);
    ~AppMenus();
    AppMenus(const AppMenus&) = delete;
    AppMenus& operator=(const AppMenus&) = delete;

    Glib::RefPtr<Gio::MenuModel> menubar() const;
    // For the toolbar's theme menu button (the same object for the whole run).
    Glib::RefPtr<Gio::MenuModel> toolbarThemeMenu() const;

    // Rebuilt automatically on every change; public for tests.
    void rebuild();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillbay
