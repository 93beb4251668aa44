#pragma once

#include "ui/window/ContentView.hpp"
#include "ui/window/ReadinessGate.hpp"
#include "ui/window/WindowSizing.hpp"
#include "ui/find/FindBar.hpp"
#include "ui/preferences/Preferences.hpp"

#include <gtkmm/applicationwindow.h>
#include <gtkmm/box.h>

#include <functional>
#include <memory>

namespace quillbay {

// The one window: "Quillbay", the toolbar as its title bar, ContentView inside,
// the find bar above the page. Remembers its size, maximised state and the page
// zoom in `preferences`. Adds the window's commands (WindowCommands) as its
// actions; their handlers are the public steps below.
class MainWindow : public Gtk::ApplicationWindow {
public:
    MainWindow(ServerProcess& server, WebViewModel& web, ThemePacks& themes,
               Preferences preferences = Preferences());
    ~MainWindow() override;

    ContentView& content() { return *content_; }
    FindBar& findBar() { return *findBar_; }

    void reload() { content_->reload(); }
    void openInBrowser() { content_->openInBrowser(); }
    void findInPage() { findBar_->open(); }
    // Zoom steps; each is applied to the page and stored at once.
    void zoomIn();
    void zoomOut();
    void zoomReset();

    // Stores the size and maximised state (done when the window is hidden).
    void saveWindowState();

private:
    void addCommands(ServerProcess& server);
    void restoreWindowState();
    void fitToMonitor();
    void nameMenuBar();
    void applyZoom(double level);
    void onDownloadSaved(const std::string& path);
    void onDownloadFailed(const std::string& name, const std::string& reason);

    WebViewModel& web_;
    Preferences preferences_;
    WindowSizing sizing_;
    Gtk::Box column_;
    std::unique_ptr<ContentView> content_;  // in column_, and gone before it
    std::unique_ptr<FindBar> findBar_;     // in column_, and gone before it
    std::unique_ptr<ReadinessGate> readiness_;
};

// The window now, if there is one; the application hands this to what outlives windows.
using MainWindowSource = std::function<MainWindow*()>;

} // namespace quillbay
