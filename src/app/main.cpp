#include "app/lifecycle/QuillbayApp.hpp"
#include "server/ServerProcess.hpp"
#include "support/Config.hpp"
#include "support/DebugLog.hpp"
#include "support/GraphicsEnvironment.hpp"
#include "support/StartupTrace.hpp"

#include <glib/gi18n.h>
#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>


namespace {

void printHelp()
{
    std::fputs(_("Usage: quillbay [--help | --version]\n"
                 "\n"
                 "Starts the studio server on this computer and shows its desk and room in one window.\n"
                 "\n"
                 "  -h, --help     show this help and exit\n"
                 "      --version  show the version and exit\n"
                 "\n"
                 "STUDIO_HUB and STUDIO_TAKES, when set, are passed on to the studio server.\n"
                 "The studio folder, with the server log in logs/server.log, is\n"
                 "$XDG_DATA_HOME/Quillbay (by default ~/.local/share/Quillbay).\n"),
               stdout);
}

// Answers --version and --help, or refuses anything else, before the
// application object exists: no window, no server, no session-bus name and no
// hand-off to a running instance. Returns the exit status, or nothing when the
// window should start.
std::optional<int> answerCommandLine(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            std::printf("Quillbay %s\n", QUILLBAY_VERSION);
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            printHelp();
            return 0;
        }
    }
    if (argc > 1) {
        std::fprintf(stderr, _("quillbay: unknown argument \"%s\"\nTry \"quillbay --help\".\n"), argv[1]);
        return 2;
    }
    return std::nullopt;
}

// GTK alone would end with a bare "cannot open display" (and only after the
// studio server was started): say in one sentence what Quillbay needs.
void explainMissingDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland)) {
        std::fputs(_("quillbay: Quillbay needs a graphical session (X11 or Wayland), and neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set.\n"),
                   stderr);
        return;
    }
    const std::string shown = wayland && *wayland ? std::string(wayland) : std::string(x11);
    std::fprintf(stderr, _("quillbay: Quillbay needs a graphical session (X11 or Wayland), and the display \"%s\" "
                           "could not be opened.\n"),
                 shown.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    quillbay::traceStartup("main");
    quillbay::DebugLog::install();
    std::setlocale(LC_ALL, "");
    const std::string locales = quillbay::ServerProcess::defaultResourceDir() + "/locale";
    bindtextdomain("quillbay", locales.c_str());
    bind_textdomain_codeset("quillbay", "UTF-8");
    textdomain("quillbay");

    if (const auto status = answerCommandLine(argc, argv))
        return *status;

    quillbay::applyRendererDefaults();
    if (!gtk_init_check()) {
        explainMissingDisplay();
        return 1;
    }

    char* arguments[] = {argv[0], nullptr};
    auto app = quillbay::QuillbayApp::create();
    return app->run(1, arguments);
}
