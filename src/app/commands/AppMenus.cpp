#include "app/commands/AppMenus.hpp"

#include "app/commands/MenuFill.hpp"
#include "app/commands/MenuModel.hpp"
#include "app/about/PayloadLine.hpp"
#include "app/commands/ThemeMenu.hpp"
#include "server/ServerProcess.hpp"
#include "support/DesktopService.hpp"
#include "themes/ThemePacks.hpp"
#include "web/WebViewModel.hpp"

#include <giomm/simpleaction.h>
#include <gtkmm/application.h>

#include <vector>

namespace quillbay {

struct AppMenus::Impl {
    Gtk::Application& app;
    ServerProcess& server;
    WebViewModel& web;
    ThemePacks& themes;
    Hooks hooks;

    Glib::RefPtr<Gio::Menu> menubar = Gio::Menu::create();
    std::vector<Glib::RefPtr<Gio::Menu>> submenus;
    std::unique_ptr<ThemeMenu> themeMenu;
    Glib::RefPtr<Gio::SimpleAction> installTheme;
    Glib::RefPtr<Gio::SimpleAction> openDesk;
    std::vector<std::string> actionNames;
    std::vector<sigc::connection> connections;
    // Flows that finish after this object is gone do nothing more.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    Impl(Gtk::Application& app, ServerProcess& server, WebViewModel& web, ThemePacks& themes, Hooks hooks)
        : app(app), server(server), web(web), themes(themes), hooks(std::move(hooks))
    {
        if (this->hooks.resourceDir.empty())
            this->hooks.resourceDir = ServerProcess::defaultResourceDir();
        if (!this->hooks.openURI)
            this->hooks.openURI = [](const std::string& uri) { DesktopService::open(uri); };
        if (!this->hooks.revealFolder)
            this->hooks.revealFolder = [](const std::string& folder) { DesktopService::reveal(folder); };
    }


    // Reloads the page without its caches once a theme change succeeded.
    std::function<void(bool)> reloadOnSuccess()
    {
        std::weak_ptr<bool> weak = alive;
        return [this, weak](bool succeeded) {
            if (succeeded && !weak.expired())
                web.hardReload();
        };
    }

    void install() { themes.installInteractively(server.baseURL(), reloadOnSuccess()); }
    void activatePack(const std::string& id) { themes.activate(id, server.baseURL(), reloadOnSuccess()); }

    Glib::RefPtr<Gio::SimpleAction> add(const std::string& name, std::function<void()> run)
    {
        auto action = Gio::SimpleAction::create(name);
        action->signal_activate().connect([run = std::move(run)](const Glib::VariantBase&) { run(); });
        app.add_action(action);
        actionNames.push_back(name);
        return action;
    }

    Glib::RefPtr<Gio::SimpleAction> addWithText(const std::string& name, std::function<void(std::string)> run)
    {
        auto action = Gio::SimpleAction::create(name, Glib::VARIANT_TYPE_STRING);
        action->signal_activate().connect([run = std::move(run)](const Glib::VariantBase& parameter) {
            if (run && parameter.is_of_type(Glib::VARIANT_TYPE_STRING))
                run(Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(parameter).get());
        });
        app.add_action(action);
        actionNames.push_back(name);
        return action;
    }

    void installActions()
    {
        installTheme = add("install-theme", [this] { install(); });
        add("reveal-studio-folder", [this] { hooks.revealFolder(server.stateDir()); });
        add("show-server-log", [this] { hooks.openURI(DesktopService::fileURI(server.serverLogPath())); });
        add("quit", [this] {
            if (hooks.quit)
                hooks.quit();
        });
        addWithText("activate-theme", [this](const std::string& id) { activatePack(id); });
        add("refresh-themes", [this] { themes.refresh(server.baseURL()); });
        add("restart-server", [this] { server.restart(); });
        openDesk = add("open-desk-in-browser", [this] { hooks.openURI(server.baseURL()); });
        addWithText("menu-text", {})->set_enabled(false);
        addWithText("theme-unavailable", {})->set_enabled(false);

        app.set_accel_for_action(actions::kInstallTheme, "<Primary><Shift>i");
        app.set_accel_for_action(actions::kQuit, "<Primary>q");
    }

    void rebuild()
    {
        MenuInputs inputs{server.state().get(), server.port().get(), themes.catalog().get(),
                          payloadLine(hooks.resourceDir)};
        auto menus = describeMenuBar(inputs);
        if (hooks.extendMenuBar)
            hooks.extendMenuBar(menus);
        if (submenus.size() != menus.size()) {
            menubar->remove_all();
            submenus.clear();
            for (const auto& menu : menus) {
                submenus.push_back(Gio::Menu::create());
                menubar->append_submenu(menu.title, submenus.back());
            }
        }
        for (std::size_t i = 0; i < menus.size(); ++i)
            fillMenu(*submenus[i], menus[i].entries);

        const bool ready = inputs.state.isReady();
        installTheme->set_enabled(ready);
        openDesk->set_enabled(ready);
    }
};

AppMenus::AppMenus(Gtk::Application& app, ServerProcess& server, WebViewModel& web, ThemePacks& themes, Hooks hooks)
    : impl_(std::make_unique<Impl>(app, server, web, themes, std::move(hooks)))
{
    impl_->installActions();
    impl_->themeMenu = std::make_unique<ThemeMenu>(app, themes.catalog(),
                                                   [impl = impl_.get()](const std::string& id) { impl->activatePack(id); });
    auto rebuildAll = [this] { rebuild(); };
    impl_->connections.push_back(server.state().signalChanged().connect(rebuildAll));
    impl_->connections.push_back(server.port().signalChanged().connect(rebuildAll));
    impl_->connections.push_back(themes.catalog().signalChanged().connect(rebuildAll));
    rebuild();
    app.set_menubar(impl_->menubar);
}

AppMenus::~AppMenus()
{
    for (auto& connection : impl_->connections)
        connection.disconnect();
    impl_->themeMenu.reset();
    for (const auto& name : impl_->actionNames)
        impl_->app.remove_action(name);
}

Glib::RefPtr<Gio::MenuModel> AppMenus::menubar() const { return impl_->menubar; }
Glib::RefPtr<Gio::MenuModel> AppMenus::toolbarThemeMenu() const { return impl_->themeMenu->model(); }

void AppMenus::rebuild() { impl_->rebuild(); }

} // namespace quillbay
