#include "app/diagnostics/DiagnosticsSaver.hpp"

#include "app/diagnostics/PlatformFacts.hpp"
#include "server/LaunchConfiguration.hpp"
#include "server/ServerProcess.hpp"
#include "support/Config.hpp"
#include "support/DebugLog.hpp"
#include "support/FileChooser.hpp"
#include "support/Format.hpp"
#include "support/GraphicsEnvironment.hpp"
#include "support/TellingDesktop.hpp"
#include "support/WhileAlive.hpp"
#include "web/DownloadsFolder.hpp"
#include "web/WebViewModel.hpp"

#include <glib/gi18n.h>
#include <glibmm/datetime.h>
#include <glibmm/miscutils.h>

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

DiagnosticsSaver::DiagnosticsSaver(ServerProcess& server, WebViewModel& web, std::string resourceDir, MainWindowSource window,
                                   TellingDesktop& desktop)
    : server_(server), web_(web), resourceDir_(std::move(resourceDir)), window_(std::move(window)), desktop_(desktop),
      graphics_(describeGraphics())
{
    web_.loadError().signalChanged().connect(sigc::mem_fun(*this, &DiagnosticsSaver::noteLoadError));
}

// A load error is cleared by the next load; the report wants the last one seen.
void DiagnosticsSaver::noteLoadError()
{
    if (const auto& error = web_.loadError().get())
        lastLoadError_ = *error;
}

DiagnosticsReport DiagnosticsSaver::report() const
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

void DiagnosticsSaver::choose()
{
    FileChoice choice;
    choice.mode = FileChoice::Mode::Save;
    choice.title = _("Save Diagnostics");
    choice.acceptLabel = _("_Save");
    choice.folder = downloadsFolder();
    choice.name = diagnosticsFileName();
    chooseFiles(choice, whileAlive<void(std::vector<std::string>)>(*this, [this](std::vector<std::string> paths) {
        if (!paths.empty())
            saveTo(paths.front());
    }));
}

void DiagnosticsSaver::saveTo(const std::string& path)
{
    const std::string name = Glib::path_get_basename(path);
    if (const auto failure = report().save(path)) {
        desktop_.tell(format(_("Could not save %s: %s"), name.c_str(), failure->c_str()));
        return;
    }
    if (MainWindow* window = window_ ? window_() : nullptr)
        window->content().toast().show(format(_("Saved %s"), name.c_str()), _("Show in Folder"),
                                       whileAlive<void()>(*this, [this, path] { desktop_.reveal(path); }));
}

} // namespace quillbay
