#include "ui/window/MainWindow.hpp"

#include "support/AccessibleText.hpp"
#include "server/ServerProcess.hpp"
#include "support/ActionSet.hpp"
#include "support/FileChooser.hpp"
#include "ui/messages/DownloadToastText.hpp"
#include "ui/window/Style.hpp"
#include "ui/window/WindowCommands.hpp"
#include "ui/preferences/ZoomLevel.hpp"
#include "web/DownloadEvents.hpp"
#include "web/PageZoom.hpp"
#include "web/WebViewModel.hpp"

#include <gdkmm/display.h>
#include <gdkmm/monitor.h>
#include <gdkmm/surface.h>
#include <glib/gi18n.h>

#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

namespace quillbay {

namespace {

// The usable area of the monitor the window opens on (X11 knows the panels,
// elsewhere the whole monitor counts); zero where no monitor is known.
Extent workAreaFor(Gtk::Window& window)
{
    auto display = window.get_display();
    auto surface = window.get_surface();
    Glib::RefPtr<Gdk::Monitor> monitor = surface ? display->get_monitor_at_surface(surface) : nullptr;
    if (!monitor) {
        auto monitors = display->get_monitors();
        if (!monitors || monitors->get_n_items() == 0)
            return {};
        monitor = std::dynamic_pointer_cast<Gdk::Monitor>(monitors->get_object(0));
        if (!monitor)
            return {};
    }
    GdkRectangle area{};
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_MONITOR(monitor->gobj())) {
        gdk_x11_monitor_get_workarea(monitor->gobj(), &area);
        return {area.width, area.height};
    }
#endif
    gdk_monitor_get_geometry(monitor->gobj(), &area);
    return {area.width, area.height};
}

int minimumLength(Gtk::Widget& widget, Gtk::Orientation orientation)
{
    int minimum = 0, natural = 0, baseline = 0;
    widget.measure(orientation, -1, minimum, natural, baseline, baseline);
    return minimum;
}

} // namespace

MainWindow::MainWindow(ServerProcess& server, WebViewModel& web, ThemePacks& themes, Preferences preferences)
    : web_(web), preferences_(std::move(preferences)),
      column_(Gtk::Orientation::VERTICAL),
      content_(ContentView::create(column_, *this, server, web, themes, preferences_)),
      findBar_(FindBar::create(column_, web))
{
    installQuillbayStyle();
    add_css_class("quillbay");
    set_title(_("Quillbay"));
    set_icon_name("org.quillbay.Quillbay");
    set_show_menubar(true);
    restoreWindowState();
    set_titlebar(content_->toolbar());
    // The find bar above the content, pushing the page down rather than covering its top.
    set_child(column_);

    addCommands(server);
    setPageZoom(web_, preferences_.zoom());
    signal_hide().connect(sigc::mem_fun(*this, &MainWindow::saveWindowState));
    // The monitor and the menu bar are known once the window is realised, before it is first laid out.
    signal_realize().connect(sigc::mem_fun(*this, &MainWindow::fitToMonitor));
    signal_realize().connect(sigc::mem_fun(*this, &MainWindow::nameMenuBar));

    web_.downloadEvents().finished.connect(sigc::mem_fun(*this, &MainWindow::onDownloadSaved));
    web_.downloadEvents().failed.connect(sigc::mem_fun(*this, &MainWindow::onDownloadFailed));
    setChooserTell([this](const std::string& sentence) { content_->toast().show(sentence); });
}

MainWindow::~MainWindow() { setChooserTell({}); }

void MainWindow::addCommands(ServerProcess& server)
{
    std::vector<Command> commands;
    for (const WindowCommand& row : windowCommands()) {
        add_action(ActionSet::mapName(row.command.action), [this, run = row.run] { (this->*run)(); });
        commands.push_back(row.command);
    }
    readiness_ = std::make_unique<ReadinessGate>(*this, commands, server.state());
}

void MainWindow::onDownloadSaved(const std::string& path)
{
    content_->toast().show(downloadSavedText(path), _("Show in Folder"), [this, path] { content_->desktop().reveal(path); });
}

void MainWindow::onDownloadFailed(const std::string& name, const std::string& reason)
{
    content_->toast().show(downloadFailedText(name, reason));
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
    sizing_ = WindowSizing::fit(preferences_.window(), {}, {});
    set_default_size(sizing_.opening.width, sizing_.opening.height);
    if (sizing_.opening.maximized)
        maximize();
}

void MainWindow::fitToMonitor()
{
    const Extent chrome{minimumLength(*this, Gtk::Orientation::HORIZONTAL) - minimumLength(*content_, Gtk::Orientation::HORIZONTAL),
                        minimumLength(*this, Gtk::Orientation::VERTICAL) - minimumLength(*content_, Gtk::Orientation::VERTICAL)};
    sizing_ = WindowSizing::fit(preferences_.window(), workAreaFor(*this), chrome);
    content_->set_size_request(sizing_.contentMinimum.width, sizing_.contentMinimum.height);
    set_default_size(sizing_.opening.width, sizing_.opening.height);
}

// The window makes its menu bar itself and leaves it unnamed, which GTK reads
// out as the bar's type name.
void MainWindow::nameMenuBar()
{
    for (Gtk::Widget* child = get_first_child(); child; child = child->get_next_sibling())
        if (GTK_IS_POPOVER_MENU_BAR(child->gobj()))
            setAccessibleLabel(*child, _("Main menu"));
}

void MainWindow::saveWindowState()
{
    WindowState state;
    get_default_size(state.width, state.height);
    state.maximized = is_maximized();
    preferences_.storeWindow(sizing_.toStore(state));
}

} // namespace quillbay
