#pragma once

#include <giomm/menumodel.h>

#include <functional>
#include <memory>
#include <string>

namespace Gtk {
class Application;
class Window;
}

namespace quillbay {

class ServerProcess;
class ThemePacks;
class WebViewModel;

// The application's commands: adds the app actions of the command table
// (but About, Keyboard Shortcuts and Save Diagnostics, which DesktopCommands
// adds), installs every key of the table, builds the menu bar and the
// toolbar's theme menu, and rebuilds both whenever the server state, the
// port or the catalog changes, and the menu bar each time the Server menu
// opens (its payload line is read then). Commands that need a ready server
// are enabled only while it is ready.
class AppMenus {
public:
    struct Hooks {
        std::function<void()> quit;                // app.quit; required
        std::string resourceDir;                   // R for the payload line; empty: the app's own
        // Desktop calls; the defaults ignore failures.
        std::function<void(const std::string& uri)> openURI;
        std::function<void(const std::string& folder)> revealFolder;
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

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Sets the keys of every action in the command table on `app`.
void installAccelerators(Gtk::Application& app);

} // namespace quillbay
