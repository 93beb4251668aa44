#include "ui/window/WindowCommands.hpp"

#include "ui/window/MainWindow.hpp"

#include <glib/gi18n.h>

namespace quillbay {

const std::vector<WindowCommand>& windowCommands()
{
    using namespace actions;
    using enum MenuPlace;
    using enum KeyGroup;
    static const std::vector<WindowCommand> rows = {
        {{.action = kReload, .label = N_("_Reload"), .icon = "view-refresh-symbolic", .keys = {"<Primary>r"}, .menu = View,
          .needsReadyServer = true, .group = Page},
         &MainWindow::reload},
        {{.action = kFind, .label = N_("_Find in Page\u2026"), .keys = {"<Primary>f"}, .menu = View, .group = Page},
         &MainWindow::findInPage},
        {{.action = kZoomIn, .label = N_("Zoom _In"), .keys = {"<Primary>plus"}, .twinKeys = {"<Primary>equal", "<Primary>KP_Add"},
          .menu = View, .newSection = true, .group = Zoom},
         &MainWindow::zoomIn},
        {{.action = kZoomOut, .label = N_("Zoom _Out"), .keys = {"<Primary>minus"}, .twinKeys = {"<Primary>KP_Subtract"},
          .menu = View, .group = Zoom},
         &MainWindow::zoomOut},
        {{.action = kZoomReset, .label = N_("_Actual Size"), .keys = {"<Primary>0"}, .twinKeys = {"<Primary>KP_0"}, .menu = View,
          .group = Zoom},
         &MainWindow::zoomReset},
        // In the toolbar only.
        {{.action = kOpenInBrowser, .label = N_("Open in Browser"), .icon = "web-browser-symbolic", .needsReadyServer = true},
         &MainWindow::openInBrowser},
    };
    return rows;
}

} // namespace quillbay
