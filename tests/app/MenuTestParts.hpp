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
        : dir(preparedFolder()),
          server(configIn(dir)),
          app(Gtk::Application::create(applicationId, Gio::Application::Flags::NON_UNIQUE))
    {
        app->register_application();
    }
    ~MenuTestParts() { std::filesystem::remove_all(dir); }

    std::string dir;
    ServerProcess server;
    WebViewModel web;
    ThemePacks themes;
    Glib::RefPtr<Gtk::Application> app;

private:
    static std::string preparedFolder()
    {
        ensureGtk();  // before the web view is made
        std::string folder = makeTempFolder("quillbay-menus-XXXXXX");
        writeText(folder + "/PAYLOAD.json", R"({"hub_commit":"0123456789abcdef","dirty":true})");
        return folder;
    }
    static ServerProcess::Config configIn(const std::string& folder)
    {
        ServerProcess::Config config;
        config.resourceDir = folder;
        config.stateDir = folder + "/state";
        return config;
    }
};

} // namespace quillbay::testing
