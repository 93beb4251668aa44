#include "app/commands/DesktopCommands.hpp"

#include "app/about/AboutQuillbay.hpp"
#include "support/Config.hpp"
#include "app/about/PayloadLine.hpp"
#include "app/commands/CommandTable.hpp"
#include "app/commands/ShortcutsWindow.hpp"
#include "app/diagnostics/PlatformFacts.hpp"
#include "server/LaunchConfiguration.hpp"
#include "server/ServerProcess.hpp"
#include "support/DebugLog.hpp"
#include "support/DesktopService.hpp"
#include "support/DialogParent.hpp"
#include "support/FileChooser.hpp"
#include "support/GraphicsEnvironment.hpp"
#include "support/WhileAlive.hpp"
#include "ui/window/MainWindow.hpp"
#include "web/DownloadsFolder.hpp"
#include "web/WebViewModel.hpp"

#include <glibmm/datetime.h>
#include <glibmm/miscutils.h>
#include <glib/gi18n.h>
#include <gtkmm/application.h>
#include <gtkmm/dialog.h>

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

std::string diagnosticsFileName()
{
    return "quillbay-diagnostics-" + Glib::DateTime::create_now_local().format("%Y%m%d-%H%M%S") + ".zip";
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
    web_.loadError().signalChanged().connect(sigc::track_obj([this] {
        if (const auto& error = web_.loadError().get())
            lastLoadError_ = *error;
    }, *this));
}

DesktopCommands::~DesktopCommands()
{
}

void DesktopCommands::showAbout()
{
    about_ = std::make_unique<AboutQuillbay>(QUILLBAY_VERSION, payloadLine(resourceDir_), server_.port().get(),
                                             server_.serverLogPath());
    if (Gtk::Window* parent = dialogParent())
        about_->set_transient_for(*parent);
    about_->present();
}

void DesktopCommands::showShortcuts()
{
    if (!shortcuts_)
        shortcuts_ = ShortcutsWindow::create();
    if (!shortcuts_)
        return;
    if (Gtk::Window* parent = dialogParent())
        shortcuts_->set_transient_for(*parent);
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
    MainWindow* window = window_ ? window_() : nullptr;
    report.platform = platformFacts(LaunchConfiguration(resourceDir_, server_.stateDir()).interpreterPath(),
                                    window ? window->get_scale_factor() : 0);
    report.serverState = server_.state()->description();
    report.port = server_.port().get();
    report.lastLoadError = lastLoadError_;
    report.homes = userHomes();
    if (const char* hub = std::getenv("STUDIO_HUB"))
        report.hub = hub;
    report.debugLog = DebugLog::recent();
    return report;
}

void DesktopCommands::chooseDiagnosticsFile()
{
    FileChoice choice;
    choice.mode = FileChoice::Mode::Save;
    choice.title = _("Save Diagnostics");
    choice.acceptLabel = _("_Save");
    choice.folder = downloadsFolder();
    choice.name = diagnosticsFileName();
    chooseFiles(choice, whileAlive<void(std::vector<std::string>)>(*this, [this](std::vector<std::string> paths) {
        if (!paths.empty())
            saveDiagnosticsTo(paths.front());
    }));
}

void DesktopCommands::saveDiagnosticsTo(const std::string& path)
{
    const std::string name = Glib::path_get_basename(path);
    MainWindow* window = window_ ? window_() : nullptr;
    if (const auto failure = diagnostics().save(path))
        tell(Glib::ustring::sprintf(_("Could not save %s: %s"), name, *failure));
    else if (window)
        window->content().toast().show(Glib::ustring::sprintf(_("Saved %s"), name), _("Show in Folder"),
                                       [this, path] { revealOrTell(path); });
}

void DesktopCommands::tell(const DesktopFailure& failure)
{
    if (MainWindow* window = window_ ? window_() : nullptr)
        window->content().tell(failure);
}

void DesktopCommands::openOrTell(const std::string& uri) { tell(DesktopService::open(uri)); }

void DesktopCommands::revealOrTell(const std::string& path)
{
    DesktopService::reveal(path, whileAlive<void(DesktopFailure)>(*this, [this](DesktopFailure failure) { tell(failure); }));
}

} // namespace quillbay
