#pragma once

#include "app/diagnostics/DiagnosticsReport.hpp"
#include "support/DesktopService.hpp"

#include <giomm/simpleaction.h>
#include <sigc++/connection.h>
#include <sigc++/trackable.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Gtk {
class AboutDialog;
class Application;
class ShortcutsWindow;
}

namespace quillbay {

class MainWindow;
class ServerProcess;
class WebViewModel;

// The commands a desktop user expects beyond the studio's own: About,
// Keyboard Shortcuts, Save Diagnostics…, and the keys of every shortcut
// (Close Window, zoom, find). Installs app.about, app.shortcuts and
// app.save-diagnostics.
class DesktopCommands : public sigc::trackable {
public:
    using WindowSource = std::function<MainWindow*()>;

    DesktopCommands(Gtk::Application& app, ServerProcess& server, WebViewModel& web, WindowSource window,
                    std::string resourceDir = {});
    ~DesktopCommands();
    DesktopCommands(const DesktopCommands&) = delete;
    DesktopCommands& operator=(const DesktopCommands&) = delete;

    void showAbout();
    void showShortcuts();
    // Asks where to save the report, then writes it and says so in a toast.
    void chooseDiagnosticsFile();

    // The report as it would be written now.
    DiagnosticsReport diagnostics() const;

    // Desktop calls that tell the user in a toast when nothing could open the item.
    void openOrTell(const std::string& uri);
    void revealOrTell(const std::string& path);

    Gtk::AboutDialog* aboutDialog() { return about_.get(); }
    Gtk::ShortcutsWindow* shortcutsWindow() { return shortcuts_.get(); }

private:
    void addAction(const char* name, std::function<void()> run);
    void installAccelerators();
    void saveDiagnosticsTo(const std::string& path);
    void tell(const DesktopFailure& failure);

    Gtk::Application& app_;
    ServerProcess& server_;
    WebViewModel& web_;
    WindowSource window_;
    std::string resourceDir_;
    std::string graphics_;
    std::string lastLoadError_;
    std::unique_ptr<Gtk::AboutDialog> about_;
    std::unique_ptr<Gtk::ShortcutsWindow> shortcuts_;
    std::vector<std::string> actionNames_;
};

} // namespace quillbay
