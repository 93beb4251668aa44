#pragma once

#include "app/diagnostics/DiagnosticsReport.hpp"
#include "ui/window/MainWindow.hpp"

#include <sigc++/trackable.h>

#include <string>

namespace quillbay {

class ServerProcess;
class TellingDesktop;
class WebViewModel;

// Save Diagnostics…: asks where to save the report, writes it, and says so in
// the window's toast, which offers to show it in its folder; a failure is
// told through `desktop` like a failed open.
class DiagnosticsSaver : public sigc::trackable {
public:
    DiagnosticsSaver(ServerProcess& server, WebViewModel& web, std::string resourceDir, MainWindowSource window,
                     TellingDesktop& desktop);

    void choose();
    void saveTo(const std::string& path);

    // The report as it would be written now.
    DiagnosticsReport report() const;

private:
    void noteLoadError();

    ServerProcess& server_;
    WebViewModel& web_;
    std::string resourceDir_;
    MainWindowSource window_;
    TellingDesktop& desktop_;
    std::string graphics_;
    std::string lastLoadError_;
};

} // namespace quillbay
