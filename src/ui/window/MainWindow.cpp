#include "ui/window/MainWindow.hpp"

#include "ui/messages/DownloadToastText.hpp"
#include "ui/window/Style.hpp"
#include "ui/preferences/ZoomLevel.hpp"
#include "web/DownloadEvents.hpp"
#include "web/PageZoom.hpp"
#include "web/WebViewModel.hpp"

#include <glib/gi18n.h>

namespace quillbay {

namespace {

// The content's own minimum; the window adds its title and menu bars.
constexpr int kMinimumWidth = 960;
constexpr int kMinimumHeight = 620;

} // namespace

MainWindow::MainWindow(ServerProcess& server, WebViewModel& web, ThemePacks& themes, Preferences preferences)
    : web_(web), preferences_(std::move(preferences)),
      content_(*this, server, web, themes, preferences_), findBar_(web)
{
    installQuillbayStyle();
    add_css_class("quillbay");
    set_title(_("Quillbay"));
    set_icon_name("org.quillbay.Quillbay");
    set_show_menubar(true);
    restoreWindowState();
    set_titlebar(content_.toolbar());
    set_child(content_);
    content_.add_overlay(findBar_);

    add_action("find", [this] { findBar_.open(); });
    add_action("zoom-in", sigc::mem_fun(*this, &MainWindow::zoomIn));
    add_action("zoom-out", sigc::mem_fun(*this, &MainWindow::zoomOut));
    add_action("zoom-reset", sigc::mem_fun(*this, &MainWindow::zoomReset));
    setPageZoom(web_, preferences_.zoom());
    signal_hide().connect(sigc::mem_fun(*this, &MainWindow::saveWindowState));

    downloads_.push_back(web_.downloadEvents().finished.connect(sigc::mem_fun(*this, &MainWindow::onDownloadSaved)));
    downloads_.push_back(web_.downloadEvents().failed.connect([this](const std::string& name, const std::string& reason) {
        content_.toast().show(downloadFailedText(name, reason));
    }));
}

MainWindow::~MainWindow()
{
    for (auto& connection : downloads_)
        connection.disconnect();
}

void MainWindow::onDownloadSaved(const std::string& path)
{
    content_.toast().show(downloadSavedText(path), _("Show in Folder"), [this, path] { content_.revealOrTell(path); });
}

void MainWindow::zoomIn() { applyZoom(ZoomLevel::larger(pageZoom(web_))); }
void MainWindow::zoomOut() { applyZoom(ZoomLevel::smaller(pageZoom(web_))); }
void MainWindow::zoomReset() { applyZoom(ZoomLevel::kDefault); }

void MainWindow::applyZoom(double level)
{
    setPageZoom(web_, level);
    preferences_.storeZoom(level);
}

void MainWindow::restoreWindowState()
{
    const WindowState state = preferences_.window().restorable(kMinimumWidth, kMinimumHeight);
    set_default_size(state.width, state.height);
    if (state.maximized)
        maximize();
}

void MainWindow::saveWindowState()
{
    WindowState state;
    get_default_size(state.width, state.height);
    state.maximized = is_maximized();
    preferences_.storeWindow(state.restorable(kMinimumWidth, kMinimumHeight));
}

} // namespace quillbay
