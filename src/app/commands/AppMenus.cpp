#include "app/commands/AppMenus.hpp"

#include "app/commands/ActionSet.hpp"
#include "app/commands/MenuFill.hpp"
#include "app/commands/MenuModel.hpp"
#include "app/about/PayloadLine.hpp"
#include "app/commands/ThemeMenu.hpp"
#include "server/ServerProcess.hpp"
#include "support/DesktopService.hpp"
#include "themes/ThemePacks.hpp"
#include "web/WebViewModel.hpp"

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
    std::vector<MenuDescription> shown;  // what each submenu shows now
    std::unique_ptr<ThemeMenu> themeMenu;
    ActionSet appActions{app};
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

    void installActions()
    {
        appActions.add(actions::kInstallTheme, [this] { install(); });
        appActions.add(actions::kRevealStudioFolder, [this] { hooks.revealFolder(server.stateDir()); });
        appActions.add(actions::kShowServerLog, [this] { hooks.openURI(DesktopService::fileURI(server.serverLogPath())); });
        appActions.add(actions::kQuit, [this] {
            if (hooks.quit)
                hooks.quit();
        });
        appActions.addWithText(actions::kActivateTheme, [this](const std::string& id) { activatePack(id); });
        appActions.add(actions::kRefreshThemes, [this] { themes.refresh(server.baseURL()); });
        appActions.add(actions::kRestartServer, [this] { server.restart(); });
        appActions.add(actions::kOpenDeskInBrowser, [this] { hooks.openURI(server.baseURL()); });
        appActions.addWithText(actions::kTextLine, {});
        appActions.addWithText(actions::kUnavailableTheme, {});
        addServerMenuShown();
    }

    // GTK asks for this state to become true each time the Server menu opens,
    // which is when the payload line is read again: an edited PAYLOAD.json
    // shows at once, and only the rows that changed are replaced.
    void addServerMenuShown()
    {
        auto action = Gio::SimpleAction::create_bool(ActionSet::mapName(actions::kServerMenuShown), false);
        action->signal_change_state().connect([this, raw = action.get()](const Glib::VariantBase& value) {
            raw->set_state(value);
            if (value.is_of_type(Glib::VARIANT_TYPE_BOOL) && Glib::VariantBase::cast_dynamic<Glib::Variant<bool>>(value).get())
                rebuild();
        });
        appActions.add(action);
    }

    Glib::RefPtr<Gio::MenuItem> menuBarItem(MenuPlace place, const MenuDescription& menu, const Glib::RefPtr<Gio::Menu>& submenu)
    {
        auto item = Gio::MenuItem::create(menu.title, submenu);
        if (place == MenuPlace::Server)
            item->set_attribute_value("submenu-action", Glib::Variant<Glib::ustring>::create(actions::kServerMenuShown));
        return item;
    }

    void rebuild()
    {
        MenuInputs inputs{server.state().get(), server.port().get(), themes.catalog().get(),
                          payloadLine(hooks.resourceDir)};
        auto menus = describeMenuBar(inputs);
        if (submenus.size() != menus.size()) {
            menubar->remove_all();
            submenus.clear();
            shown.assign(menus.size(), {});
            for (std::size_t i = 0; i < menus.size(); ++i) {
                submenus.push_back(Gio::Menu::create());
                menubar->append_item(menuBarItem(kMenuBar[i], menus[i], submenus.back()));
            }
        }
        for (std::size_t i = 0; i < menus.size(); ++i)
            updateMenu(*submenus[i], shown[i].entries, menus[i].entries);
        shown = menus;

        const bool ready = inputs.state.isReady();
        for (const Command& command : commandTable())
            if (auto action = command.needsReadyServer ? appActions.find(command.action) : nullptr)
                action->set_enabled(ready);
    }
};

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

AppMenus::AppMenus(Gtk::Application& app, ServerProcess& server, WebViewModel& web, ThemePacks& themes, Hooks hooks)
    : impl_(std::make_unique<Impl>(app, server, web, themes, std::move(hooks)))
{
    impl_->installActions();
    installAccelerators(app);
    impl_->themeMenu = std::make_unique<ThemeMenu>(app, themes.catalog(),
                                                   [impl = impl_.get()](const std::string& id) { impl->activatePack(id); });
    auto rebuildAll = [impl = impl_.get()] { impl->rebuild(); };
    impl_->connections.push_back(server.state().signalChanged().connect(rebuildAll));
    impl_->connections.push_back(server.port().signalChanged().connect(rebuildAll));
    impl_->connections.push_back(themes.catalog().signalChanged().connect(rebuildAll));
    impl_->rebuild();
    app.set_menubar(impl_->menubar);
}

AppMenus::~AppMenus()
{
    for (auto& connection : impl_->connections)
        connection.disconnect();
    impl_->themeMenu.reset();
}

Glib::RefPtr<Gio::MenuModel> AppMenus::menubar() const { return impl_->menubar; }
Glib::RefPtr<Gio::MenuModel> AppMenus::toolbarThemeMenu() const { return impl_->themeMenu->model(); }

} // namespace quillbay
