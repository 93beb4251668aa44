#pragma once

#include "app/diagnostics/DiagnosticsSaver.hpp"
#include "support/ActionSet.hpp"
#include "support/ScopedConnection.hpp"
#include "support/TellingDesktop.hpp"
#include "ui/window/MainWindow.hpp"
#include "ui/window/ReadinessGate.hpp"

#include <sigc++/trackable.h>

#include <functional>
#include <memory>
#include <string>

namespace Gtk {
class AboutDialog;
class Application;
class ShortcutsWindow;
}

namespace quillbay {

class ServerProcess;
class ThemePacks;
class WebViewModel;

// The application's side of the command table: the handlers its rows name
// (appCommands), each added as an action of the application and removed
// again with this object. Installs every key of the table, keeps the commands
// that need a ready server enabled only while it is ready, and the theme
// choice's state on the catalog's active pack. What the desktop cannot open
// or show is told in the window's toast.
class AppCommands : public sigc::trackable {
public:
    struct Hooks {
        std::function<void()> quit;              // app.quit; required
        std::function<void()> showServerOutput;  // app.server-output; disabled while empty
        std::string resourceDir;                 // R, for the payload line; empty: the app's own
    };

    // Make it once `app` is registered (in on_startup).
    AppCommands(Gtk::Application& app, ServerProcess& server, WebViewModel& web, ThemePacks& themes, MainWindowSource window,
                Hooks hooks);
    ~AppCommands();
    AppCommands(const AppCommands&) = delete;
    AppCommands& operator=(const AppCommands&) = delete;

    // The handlers.
    void installTheme();
    void revealStudioFolder();
    void showServerLog();
    void saveDiagnostics() { diagnostics_.choose(); }
    void quit();
    void chooseTheme(const std::string& id);
    void refreshThemes();
    void restartServer();
    void openDeskInBrowser();
    void showServerOutput();
    void showShortcuts();
    void showAbout();

    DiagnosticsSaver& diagnostics() { return diagnostics_; }
    Gtk::AboutDialog* aboutDialog();

private:
    void addActions();
    void showActiveTheme();
    // Reloads the page without its caches once a theme change succeeded.
    std::function<void(bool)> reloadOnSuccess();

    ServerProcess& server_;
    WebViewModel& web_;
    ThemePacks& themes_;
    MainWindowSource window_;
    Hooks hooks_;
    TellingDesktop desktop_;
    DiagnosticsSaver diagnostics_;
    std::unique_ptr<Gtk::AboutDialog> about_;
    std::unique_ptr<Gtk::ShortcutsWindow> shortcuts_;
    ActionSet actions_;
    std::unique_ptr<ReadinessGate> readiness_;
    ScopedConnection catalogChanged_;
};

} // namespace quillbay
