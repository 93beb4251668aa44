#include "app/commands/AppCommands.hpp"

#include "app/about/AboutQuillbay.hpp"
#include "app/about/PayloadLine.hpp"
#include "app/commands/CommandTable.hpp"
#include "app/commands/ShortcutsWindow.hpp"
#include "server/ServerProcess.hpp"
#include "support/Config.hpp"
#include "support/DialogParent.hpp"
#include "support/WhileAlive.hpp"
#include "themes/ThemePacks.hpp"
#include "web/WebViewModel.hpp"

#include <gtkmm/application.h>
#include <gtkmm/shortcutswindow.h>

namespace quillbay {

namespace {

// Every key of the table, also those of the window's actions: GTK looks
// accelerators up on the application.
void installAccelerators(Gtk::Application& app)
{
    for (const Command& command : commandTable()) {
        if (command.action.empty() || command.keys.empty())
            continue;
        std::vector<Glib::ustring> keys;
        for (const auto& list : {command.keys, command.twinKeys})
            for (std::string_view key : list)
                keys.emplace_back(std::string(key));
        app.set_accels_for_action(std::string(command.action), keys);
    }
}

AppCommands::Hooks withDefaults(AppCommands::Hooks hooks)
{
    if (hooks.resourceDir.empty())
        hooks.resourceDir = ServerProcess::defaultResourceDir();
    return hooks;
}

} // namespace

AppCommands::AppCommands(Gtk::Application& app, ServerProcess& server, WebViewModel& web, ThemePacks& themes,
                         MainWindowSource window, Hooks hooks)
    : server_(server),
      web_(web),
      themes_(themes),
      window_(std::move(window)),
      hooks_(withDefaults(std::move(hooks))),
      desktop_([this](const std::string& failure) {
          if (MainWindow* shown = window_ ? window_() : nullptr)
              shown->content().toast().show(failure);
      }),
      diagnostics_(server, web, hooks_.resourceDir, window_, desktop_),
      actions_(app)
{
    addActions();
    installAccelerators(app);
    std::vector<Command> commands;
    for (const AppCommand& row : appCommands())
        commands.push_back(row.command);
    readiness_ = std::make_unique<ReadinessGate>(app, commands, server_.state());
    catalogChanged_ = themes_.catalog().signalChanged().connect([this] { showActiveTheme(); });
    showActiveTheme();
}

AppCommands::~AppCommands() = default;

void AppCommands::addActions()
{
    for (const AppCommand& row : appCommands()) {
        if (row.run)
            actions_.add(row.command.action, [this, run = row.run] { (this->*run)(); });
        else if (row.choose)
            actions_.addChoice(row.command.action, [this, choose = row.choose](const std::string& item) { (this->*choose)(item); });
    }
    // Until the server output window is handed over.
    if (!hooks_.showServerOutput)
        actions_.find(actions::kServerOutput)->set_enabled(false);
}

void AppCommands::showActiveTheme()
{
    const auto& catalog = themes_.catalog().get();
    actions_.find(actions::kTheme)->set_state(Glib::Variant<Glib::ustring>::create(catalog ? catalog->active : ""));
}

std::function<void(bool)> AppCommands::reloadOnSuccess()
{
    return whileAlive<void(bool)>(*this, [this](bool succeeded) {
        if (succeeded)
            web_.hardReload();
    });
}

void AppCommands::installTheme() { themes_.installInteractively(server_.baseURL(), reloadOnSuccess()); }
void AppCommands::chooseTheme(const std::string& id) { themes_.activate(id, server_.baseURL(), reloadOnSuccess()); }
void AppCommands::refreshThemes() { themes_.refresh(server_.baseURL()); }
void AppCommands::revealStudioFolder() { desktop_.reveal(server_.stateDir()); }

// Where the desktop has nothing to open the log with, the output window shows it.
void AppCommands::showServerLog()
{
    const DesktopFailure failure = DesktopService::open(DesktopService::fileURI(server_.serverLogPath()));
    if (failure && hooks_.showServerOutput) {
        g_debug("server log: %s; showing the output window instead", failure->c_str());
        hooks_.showServerOutput();
        return;
    }
    desktop_.tell(failure);
}
void AppCommands::restartServer() { server_.restart(); }
void AppCommands::openDeskInBrowser() { desktop_.open(server_.baseURL()); }

void AppCommands::quit()
{
    if (hooks_.quit)
        hooks_.quit();
}

void AppCommands::showServerOutput()
{
    if (hooks_.showServerOutput)
        hooks_.showServerOutput();
}

void AppCommands::showShortcuts()
{
    if (!shortcuts_)
        shortcuts_ = ShortcutsWindow::create();
    if (!shortcuts_)
        return;
    if (Gtk::Window* parent = dialogParent())
        shortcuts_->set_transient_for(*parent);
    shortcuts_->present();
}

void AppCommands::showAbout()
{
    about_ = std::make_unique<AboutQuillbay>(QUILLBAY_VERSION, payloadLine(hooks_.resourceDir), server_.port().get(),
                                             server_.serverLogPath());
    if (Gtk::Window* parent = dialogParent())
        about_->set_transient_for(*parent);
    about_->present();
}

Gtk::AboutDialog* AppCommands::aboutDialog() { return about_.get(); }

} // namespace quillbay
