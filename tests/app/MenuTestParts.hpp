#pragma once

#include "ShellFixture.hpp"

#include "server/ServerProcess.hpp"
#include "themes/ThemePacks.hpp"
#include "web/WebViewModel.hpp"

#include <gtkmm/application.h>

#include <filesystem>
#include <string>

namespace quillbay::testing {

// What the menus work on: a resource folder whose payload line names a dirty
// hub commit, an idle server supervisor, the web view model, the theme client
// and a registered application, as at start-up.
struct MenuTestParts {
    explicit MenuTestParts(const char* applicationId)
        : server(configIn(dir)),
          app(Gtk::Application::create(applicationId, Gio::Application::Flags::NON_UNIQUE))
    {
        app->register_application();
    }

    TempDir dir{"quillbay-menus"};
    ServerProcess server;
    WebViewModel web;
    ThemePacks themes;
    Glib::RefPtr<Gtk::Application> app;

private:
    static ServerProcess::Config configIn(const TempDir& folder)
    {
        ensureGtk();  // before the web view is made
        writeFile(folder / "PAYLOAD.json", R"({"hub_commit":"0123456789abcdef","dirty":true})");
        ServerProcess::Config config;
        config.resourceDir = folder.path();
        config.stateDir = folder / "state";
        return config;
    }
};

} // namespace quillbay::testing
