#include "app/lifecycle/QuillbayApp.hpp"

#include "support/MainLoop.hpp"
#include "app/commands/AppCommands.hpp"
#include "app/commands/AppMenus.hpp"
#include "app/lifecycle/Microphone.hpp"
#include "app/lifecycle/PortLock.hpp"
#include "server/ServerProcess.hpp"
#include "support/StartupTrace.hpp"
#include "themes/ThemePacks.hpp"
#include "ui/output/ServerOutputWindow.hpp"
#include "ui/window/MainWindow.hpp"
#include "web/WebViewModel.hpp"

#include <gdkmm/display.h>
#include <glibmm/main.h>
#include <glibmm/miscutils.h>
#include <giomm/simpleaction.h>
#include <gtkmm/icontheme.h>

namespace quillbay {

Glib::RefPtr<QuillbayApp> QuillbayApp::create()
{
    return Glib::make_refptr_for_instance<QuillbayApp>(new QuillbayApp());
}

// Default flags: the first launch in a session owns the name, a second one
// only asks it to activate (present its window) and then ends. Without a
// session bus GApplication runs as a non-unique instance.
QuillbayApp::QuillbayApp() : Gtk::Application(kApplicationId, Gio::Application::Flags::NONE)
{
    Glib::set_application_name("Quillbay");
}

QuillbayApp::~QuillbayApp() = default;

void QuillbayApp::on_startup()
{
    traceStartup("startup");
    // Before anything is started: a signal during start-up takes the quit
    // path too, once the main loop runs.
    signals_ = std::make_unique<QuitSignals>([this](int) { quitGracefully(); });
    // The server needs no display: it boots while GTK starts up.
    startServer();
    traceStartup("server-spawned");
    Gtk::Application::on_startup();
    traceStartup("gtk-started");
    if (auto display = Gdk::Display::get_default())
        Gtk::IconTheme::get_for_display(display)->add_search_path(ServerProcess::defaultResourceDir() + "/icons");
    Gtk::Window::set_default_icon_name(kApplicationId);

    createLongLivedObjects();
    installMenus();
    askForMicrophone();
}

void QuillbayApp::startServer()
{
    server_ = std::make_shared<ServerProcess>(ServerProcess::appConfig());
    delegate_ = std::make_unique<AppDelegate>();
    // Only the primary instance gets here. Starting the server now lets it
    // boot while GTK starts, the web processes start and GTK builds, realises
    // and maps the window; the window takes up whatever state the server has
    // reached by then, and its own appearance action finds it started.
    delegate_->windowAppeared(server_);
}

void QuillbayApp::createLongLivedObjects()
{
    // Creating the model starts WebKit's network and web processes.
    web_ = std::make_unique<WebViewModel>();
    portLock_ = std::make_unique<PortLock>(*server_, *web_);
    themes_ = std::make_unique<ThemePacks>();
}

void QuillbayApp::installMenus()
{
    AppCommands::Hooks hooks;
    hooks.quit = [this] { quitGracefully(); };
    hooks.showServerOutput = [this] { showServerOutput(); };
    commands_ = std::make_unique<AppCommands>(*this, *server_, *web_, *themes_, [this] { return window_.get(); },
                                              std::move(hooks));
    menus_ = std::make_unique<AppMenus>(*this, *server_, *themes_);
}

void QuillbayApp::askForMicrophone()
{
    Microphone::ask();
}

void QuillbayApp::on_activate()
{
    // A launch during the quit calls it off: the window comes back and the
    // server starts again once its stop is done.
    holdForTheRun();
    delegate_->resumeFromQuit();
    if (window_) {
        joinApplication(*window_);
        window_->present();
        return;
    }
    if (windowPending_)
        return;
    // The web process launched in startup hears from this process only once
    // the main loop runs. Building the window a turn later lets that process
    // start up while GTK builds, realises and maps the window.
    windowPending_ = true;
    postToMainLoop([this] { showFirstWindow(); }, G_PRIORITY_DEFAULT_IDLE);
}

void QuillbayApp::showFirstWindow()
{
    windowPending_ = false;
    if (!delegate_->quitting()) {
        createWindow();
        traceStartup("window-built");
        window_->present();
    }
}

void QuillbayApp::createWindow()
{
    window_ = std::make_unique<MainWindow>(*server_, *web_, *themes_);
    joinApplication(*window_);
    window_->content().toolbar().setThemeMenuModel(menus_->toolbarThemeMenu());

    window_->signal_map().connect([this] {
        traceStartup("window-mapped");
        delegate_->windowAppeared(server_);
    });
    window_->add_tick_callback([](const Glib::RefPtr<Gdk::FrameClock>&) {
        traceStartup("first-frame");
        return false;
    });
    window_->signal_close_request().connect(
        [this] {
            quitGracefully();
            return true;
        },
        false);
}

// gtkmm takes every window it wraps out of its application as it hides, and
// a quit hides the window: one that comes back from a called-off quit joins
// again, or it would have none of the application's actions, keys and menus.
// The C call: gtkmm's add_window would also add one more hide handler.
void QuillbayApp::joinApplication(Gtk::Window& shown)
{
    auto* window = shown.gobj();
    if (gtk_window_get_application(window) != gobj())
        gtk_application_add_window(gobj(), window);
}

void QuillbayApp::showServerOutput()
{
    if (!output_)
        output_ = ServerOutputWindow::create(*server_);
    joinApplication(*output_);
    output_->present();
}

void QuillbayApp::quitGracefully()
{
    if (!delegate_ || delegate_->quitting())
        return;
    if (window_)
        window_->set_visible(false);
    if (output_)
        output_->set_visible(false);
    holdForTheRun();
    delegate_->requestQuit([this] { quit(); });
}

// The run ends by quit() only: a hidden window no longer keeps the
// application, and a quit may be called off while the window is hidden.
void QuillbayApp::holdForTheRun()
{
    if (!held_)
        hold();
    held_ = true;
}

void QuillbayApp::on_shutdown()
{
    signals_.reset();
    menus_.reset();
    commands_.reset();
    for (Gtk::Window* shown : {static_cast<Gtk::Window*>(window_.get()), static_cast<Gtk::Window*>(output_.get())})
        if (shown && gtk_window_get_application(shown->gobj()) == gobj())
            gtk_application_remove_window(gobj(), shown->gobj());
    output_.reset();
    window_.reset();
    Gtk::Application::on_shutdown();
}

} // namespace quillbay
