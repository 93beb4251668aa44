#pragma once

#include "app/commands/MenuModel.hpp"

#include <vector>

namespace quillbay {

namespace actions {
inline constexpr const char* kSaveDiagnostics = "app.save-diagnostics";
inline constexpr const char* kShortcuts = "app.shortcuts";
inline constexpr const char* kAbout = "app.about";
inline constexpr const char* kCloseWindow = "window.close";  // GTK's own, on every window
inline constexpr const char* kFind = "win.find";
inline constexpr const char* kZoomIn = "win.zoom-in";
inline constexpr const char* kZoomOut = "win.zoom-out";
inline constexpr const char* kZoomReset = "win.zoom-reset";
} // namespace actions

// Adds the desktop's usual commands to the described menu bar: "Save
// Diagnostics…" and "Close Window" in File (before Quit), a View menu after
// File, and a Help menu at the end.
void addDesktopMenus(std::vector<MenuDescription>& menus);

} // namespace quillbay
