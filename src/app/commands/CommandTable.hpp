#pragma once

#include "ui/window/Command.hpp"
#include "ui/window/WindowCommands.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

class AppCommands;

// Detailed names of the application's actions (the window's are in
// ui/window/WindowCommands.hpp), and of GTK's own window.close.
namespace actions {
inline constexpr const char* kInstallTheme = "app.install-theme";
inline constexpr const char* kRevealStudioFolder = "app.reveal-studio-folder";
inline constexpr const char* kShowServerLog = "app.show-server-log";
inline constexpr const char* kSaveDiagnostics = "app.save-diagnostics";
inline constexpr const char* kCloseWindow = "window.close";
inline constexpr const char* kQuit = "app.quit";
inline constexpr const char* kTheme = "app.theme";  // a choice: the pack id; its state is the active pack's
inline constexpr const char* kRefreshThemes = "app.refresh-themes";
inline constexpr const char* kRestartServer = "app.restart-server";
inline constexpr const char* kOpenDeskInBrowser = "app.open-desk-in-browser";
inline constexpr const char* kServerOutput = "app.server-output";
inline constexpr const char* kShortcuts = "app.shortcuts";
inline constexpr const char* kAbout = "app.about";
} // namespace actions

// A row of the application's part of the table, with what runs it: `run`, or
// for a choice (a string state naming the chosen item; menu items name theirs
// as the action's target) `choose`, given the item. Rows with neither are
// GTK's own window.close and keys that widgets handle themselves.
struct AppCommand {
    Command command;
    void (AppCommands::*run)() = nullptr;
    void (AppCommands::*choose)(const std::string& item) = nullptr;
};

// The application's rows, in table order.
const std::vector<AppCommand>& appCommands();

// The one command table: the application's rows, then the window's. The menu
// bar, the installed keys and the Shortcuts window are all made from it; a
// menu and a group of the Shortcuts window list their commands in this order.
const std::vector<Command>& commandTable();

// The row of `action`; every action the menus show has one.
const Command& commandFor(std::string_view action);

// Translated, with its mnemonic.
std::string menuTitle(MenuPlace menu);
std::string groupTitle(KeyGroup group);

} // namespace quillbay
