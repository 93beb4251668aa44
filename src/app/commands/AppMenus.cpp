#include "app/commands/AppMenus.hpp"

#include "app/commands/ActionSet.hpp"
#include "app/commands/MenuFill.hpp"
#include "app/commands/MenuModel.hpp"
#include "app/about/PayloadLine.hpp"
#include "app/commands/ThemeMenu.hpp"
#include "server/ServerProcess.hpp"
#include "themes/ThemePacks.hpp"
#include "web/WebViewModel.hpp"

#include <gtkmm/application.h>

#include <gio/gio.h>

#include <vector>

namespace quillbay {

namespace {

std::string fileURIOf(const std::string& path)
{
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string result = uri ? uri : "";
    g_free(uri);
    return result;
}

void onShowItemsAnswered(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<std::string> folderURI(static_cast<std::string*>(data));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply) {
        g_variant_unref(reply);
        return;
    }
    g_error_free(error);
    openWithDesktop(*folderURI);
}

} // namespace

void openWithDesktop(const std::string& uri)
{
    if (!uri.empty())
        g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr);
}

void revealInFileManager(const std::string& folder)
{
    std::string uri = fileURIOf(folder);
    if (uri.empty())
        return;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) {
        openWithDesktop(uri);
        return;
    }
    const gchar* uris[] = {uri.c_str(), nullptr};
    g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                           "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, onShowItemsAnswered, new std::string(uri));
    g_object_unref(bus);
}

struct AppMenus::Impl {
    Gtk::Application& app;
    ServerProcess& server;
    WebViewModel& web;
    ThemePacks& themes;
    Hooks hooks;

    Glib::RefPtr<Gio::Menu> menubar = Gio::Menu::create();
    std::vector<Glib::RefPtr<Gio::Menu>> submenus;
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
            this->hooks.openURI = openWithDesktop;
        if (!this->hooks.revealFolder)
            this->hooks.revealFolder = revealInFileManager;
    }

    Gtk::Window* parent() const { return hooks.parent ? hooks.parent() : app.get_active_window(); }

    // Reloads the page without its caches once a theme change succeeded.
    std::function<void(bool)> reloadOnSuccess()
    {
        std::weak_ptr<bool> weak = alive;
        return [this, weak](bool succeeded) {
            if (succeeded && !weak.expired())
                web.hardReload();
        };
    }

    void install() { themes.installInteractively(server.baseURL(), parent(), reloadOnSuccess()); }
    void activatePack(const std::string& id) { themes.activate(id, server.baseURL(), reloadOnSuccess()); }

    void installActions()
    {
        appActions.add(actions::kInstallTheme, [this] { install(); });
        appActions.add(actions::kRevealStudioFolder, [this] { hooks.revealFolder(server.stateDir()); });
        appActions.add(actions::kShowServerLog, [this] { hooks.openURI(fileURIOf(server.serverLogPath())); });
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
    }

    void rebuild()
    {
        MenuInputs inputs{server.state().get(), server.port().get(), themes.catalog().get(),
                          payloadLine(hooks.resourceDir)};
        auto menus = describeMenuBar(inputs);
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
}

Glib::RefPtr<Gio::MenuModel> AppMenus::menubar() const { return impl_->menubar; }
Glib::RefPtr<Gio::MenuModel> AppMenus::toolbarThemeMenu() const { return impl_->themeMenu->model(); }

void AppMenus::rebuild() { impl_->rebuild(); }

} // namespace quillbay
