#include "app/commands/DesktopCommands.hpp"

#include "app/about/AboutQuillbay.hpp"
#include "support/Config.hpp"
#include "app/about/PayloadLine.hpp"
#include "app/commands/CommandTable.hpp"
#include "app/commands/ShortcutsWindow.hpp"
#include "server/ServerProcess.hpp"
#include "support/GraphicsEnvironment.hpp"
#include "ui/window/MainWindow.hpp"
#include "web/DownloadsFolder.hpp"
#include "web/WebViewModel.hpp"

#include <giomm/file.h>
#include <glib/gi18n.h>
#include <gtkmm/application.h>
#include <gtkmm/dialog.h>
#include <gtkmm/filechoosernative.h>

#include <cstdlib>

namespace quillbay {

namespace {

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "(unset)";
}

// What the graphics stack looks like and what the start-up chose for it.
std::string describeGraphics()
{
    const bool software = isSoftwareOnlyGraphics(probeGraphics());
    return std::string(software ? "software GL only" : "hardware GL") + "; GSK_RENDERER=" + environmentValue("GSK_RENDERER") +
           "; WEBKIT_DISABLE_DMABUF_RENDERER=" + environmentValue("WEBKIT_DISABLE_DMABUF_RENDERER");
}

std::string stateText(const ServerState& state)
{
    switch (state.kind()) {
    case ServerState::Kind::Idle:
        return "idle";
    case ServerState::Kind::Starting:
        return "starting";
    case ServerState::Kind::Ready:
        return "ready";
    case ServerState::Kind::Failed:
        return "failed: " + state.message();
    }
    return {};
}

std::string diagnosticsFileName()
{
    GDateTime* now = g_date_time_new_now_local();
    gchar* stamp = g_date_time_format(now, "%Y%m%d-%H%M%S");
    std::string name = std::string("quillbay-diagnostics-") + (stamp ? stamp : "") + ".zip";
    g_free(stamp);
    g_date_time_unref(now);
    return name;
}

} // namespace

DesktopCommands::DesktopCommands(Gtk::Application& app, ServerProcess& server, WebViewModel& web, WindowSource window,
                                 std::string resourceDir)
    : app_(app),
      server_(server),
      web_(web),
      window_(std::move(window)),
      resourceDir_(resourceDir.empty() ? ServerProcess::defaultResourceDir() : std::move(resourceDir)),
      graphics_(describeGraphics()),
      actions_(app)
{
    actions_.add(actions::kAbout, [this] { showAbout(); });
    actions_.add(actions::kShortcuts, [this] { showShortcuts(); });
    actions_.add(actions::kSaveDiagnostics, [this] { chooseDiagnosticsFile(); });
    // A load error is cleared by the next load; the report wants the last one seen.
    loadErrorSeen_ = web_.loadError().signalChanged().connect([this] {
        if (const auto& error = web_.loadError().get())
            lastLoadError_ = *error;
    });
}

DesktopCommands::~DesktopCommands()
{
    loadErrorSeen_.disconnect();
}

void DesktopCommands::showAbout()
{
    about_ = std::make_unique<AboutQuillbay>(QUILLBAY_VERSION, payloadLine(resourceDir_), server_.port().get(),
                                             server_.serverLogPath());
    if (MainWindow* window = window_ ? window_() : nullptr)
        about_->set_transient_for(*window);
    about_->present();
}

void DesktopCommands::showShortcuts()
{
    if (!shortcuts_)
        shortcuts_ = ShortcutsWindow::create();
    if (!shortcuts_)
        return;
    if (MainWindow* window = window_ ? window_() : nullptr)
        shortcuts_->set_transient_for(*window);
    shortcuts_->set_hide_on_close(true);
    shortcuts_->present();
}

DiagnosticsReport DesktopCommands::diagnostics() const
{
    DiagnosticsReport report;
    report.stateDir = server_.stateDir();
    report.resourceDir = resourceDir_;
    report.version = QUILLBAY_VERSION;
    report.graphics = graphics_;
    report.serverState = stateText(server_.state().get());
    report.port = server_.port().get();
    report.lastLoadError = lastLoadError_;
    report.homes = userHomes();
    return report;
}

void DesktopCommands::chooseDiagnosticsFile()
{
    auto dialog = Gtk::FileChooserNative::create(_("Save Diagnostics"), Gtk::FileChooser::Action::SAVE, _("_Save"),
                                                 _("_Cancel"));
    if (MainWindow* window = window_ ? window_() : nullptr)
        dialog->set_transient_for(*window);
    dialog->set_modal(true);
    dialog->set_current_folder(Gio::File::create_for_path(downloadsFolder()));
    dialog->set_current_name(diagnosticsFileName());
    // The handler keeps the dialog alive until it answers, then lets it go.
    auto connection = std::make_shared<sigc::connection>();
    *connection = dialog->signal_response().connect(
        [this, dialog, connection, alive = std::weak_ptr<bool>(alive_)](int response) mutable {
            auto keep = std::move(dialog);
            connection->disconnect();
            if (alive.expired() || response != Gtk::ResponseType::ACCEPT)
                return;
            if (const auto file = keep->get_file())
                saveDiagnosticsTo(file->get_path());
        });
    dialog->show();
}

void DesktopCommands::saveDiagnosticsTo(const std::string& path)
{
    gchar* name = g_path_get_basename(path.c_str());
    gchar* text = nullptr;
    if (const auto failure = diagnostics().save(path))
        text = g_strdup_printf(_("Could not save %s: %s"), name, failure->c_str());
    else
        text = g_strdup_printf(_("Saved %s"), name);
    tell(text);
    g_free(text);
    g_free(name);
}

void DesktopCommands::tell(const std::string& text)
{
    if (MainWindow* window = window_ ? window_() : nullptr)
        window->content().toast().show(text);
}

void DesktopCommands::openOrTell(const std::string& uri)
{
    if (const OpenFailure failure = openReportingFailure(uri))
        tell(openFailureText(uri, *failure));
}

void DesktopCommands::revealOrTell(const std::string& path)
{
    if (MainWindow* window = window_ ? window_() : nullptr) {
        window->revealOrTell(path);
        return;
    }
    revealReportingFailure(path, [](OpenFailure) {});
}

} // namespace quillbay
