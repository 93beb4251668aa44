#pragma once

#include "ui/window/Command.hpp"

#include <vector>

namespace quillbay {

class MainWindow;

// Detailed names of the window's actions.
namespace actions {
inline constexpr const char* kReload = "win.reload";
inline constexpr const char* kFind = "win.find";
inline constexpr const char* kZoomIn = "win.zoom-in";
inline constexpr const char* kZoomOut = "win.zoom-out";
inline constexpr const char* kZoomReset = "win.zoom-reset";
inline constexpr const char* kOpenInBrowser = "win.open-in-browser";
} // namespace actions

// A command the main window owns, with what runs it.
struct WindowCommand {
    Command command;
    void (MainWindow::*run)();
};

// The window's commands in table order. The window adds each as an action;
// the toolbar shows a button for each one with an icon.
const std::vector<WindowCommand>& windowCommands();

} // namespace quillbay
