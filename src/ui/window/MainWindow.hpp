#pragma once

#include "ui/window/ContentView.hpp"
#include "ui/window/WindowSizing.hpp"
#include "ui/find/FindBar.hpp"
#include "ui/preferences/Preferences.hpp"

#include <gtkmm/applicationwindow.h>
#include <gtkmm/box.h>

#include <memory>

namespace quillbay {

// The one window: "Quillbay", the toolbar as its title bar, ContentView inside,
// the find bar above the page. Remembers its size, maximised state and the page
// zoom in `preferences`. Installs "win.find", "win.zoom-in", "win.zoom-out"
// and "win.zoom-reset".
class MainWindow : public Gtk::ApplicationWindow {
public:
    MainWindow(ServerProcess& server, WebViewModel& web, ThemePacks& themes,
               Preferences preferences = Preferences());
    ~MainWindow() override;

    ContentView& content() { return content_; }
    FindBar& findBar() { return findBar_; }

    // Zoom steps; each is applied to the page and stored at once.
    void zoomIn();
    void zoomOut();
    void zoomReset();

    // Stores the size and maximised state (done when the window is hidden).
    void saveWindowState();

private:
    void restoreWindowState();
    void fitToMonitor();
    void nameMenuBar();
    void applyZoom(double level);
    void onDownloadSaved(const std::string& path);

    WebViewModel& web_;
    Preferences preferences_;
    WindowSizing sizing_;
    Gtk::Box column_;
    ContentView content_;
    FindBar findBar_;
};

} // namespace quillbay
