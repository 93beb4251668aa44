#pragma once

#include "app/lifecycle/AppDelegate.hpp"
#include "app/lifecycle/QuitSignals.hpp"
#include "support/Config.hpp"

#include <gtkmm/application.h>

#include <memory>

namespace quillbay {

class AppCommands;
class AppMenus;
class MainWindow;
class PortLock;
class ServerOutputWindow;
class ServerProcess;
class ThemePacks;
class WebViewModel;

// The application: owns the server supervisor, the web view model and the
// theme client for the whole run, the one window, and the quit path that
// every way of quitting goes through.
class QuillbayApp : public Gtk::Application {
public:
    static constexpr const char* kApplicationId = QUILLBAY_APP_ID;

    static Glib::RefPtr<QuillbayApp> create();
    ~QuillbayApp() override;

    // Hides the window and ends the process once the server has been stopped.
    void quitGracefully();

    ServerProcess& server() { return *server_; }
    WebViewModel& web() { return *web_; }
    ThemePacks& themes() { return *themes_; }

protected:
    QuillbayApp();
    void on_startup() override;
    void on_activate() override;
    void on_shutdown() override;

private:
    void startServer();
    void createLongLivedObjects();
    void installMenus();
    void askForMicrophone();
    void createWindow();
    void joinApplication(Gtk::Window& window);
    // Shows the one Server Output window, made the first time.
    void showServerOutput();
    void showFirstWindow();
    void holdForTheRun();

    std::shared_ptr<ServerProcess> server_;
    std::unique_ptr<WebViewModel> web_;
    std::unique_ptr<ThemePacks> themes_;
    std::unique_ptr<PortLock> portLock_;
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<QuitSignals> signals_;
    std::unique_ptr<AppCommands> commands_;
    std::unique_ptr<AppMenus> menus_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<ServerOutputWindow> output_;
    bool windowPending_ = false;
    bool held_ = false;
};

} // namespace quillbay
