#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

// Detailed names of the actions the commands run. The app.* ones are added by
// AppMenus and DesktopCommands, win.* by the main window, window.close by GTK.
namespace actions {
inline constexpr const char* kInstallTheme = "app.install-theme";
inline constexpr const char* kRevealStudioFolder = "app.reveal-studio-folder";
inline constexpr const char* kShowServerLog = "app.show-server-log";
inline constexpr const char* kSaveDiagnostics = "app.save-diagnostics";
inline constexpr const char* kCloseWindow = "window.close";
inline constexpr const char* kQuit = "app.quit";
inline constexpr const char* kReload = "win.reload";
inline constexpr const char* kFind = "win.find";
inline constexpr const char* kZoomIn = "win.zoom-in";
inline constexpr const char* kZoomOut = "win.zoom-out";
inline constexpr const char* kZoomReset = "win.zoom-reset";
inline constexpr const char* kActivateTheme = "app.activate-theme";  // string parameter: the pack id
inline constexpr const char* kRefreshThemes = "app.refresh-themes";
inline constexpr const char* kRestartServer = "app.restart-server";
inline constexpr const char* kOpenDeskInBrowser = "app.open-desk-in-browser";
inline constexpr const char* kShortcuts = "app.shortcuts";
inline constexpr const char* kAbout = "app.about";
} // namespace actions

// The menus of the menu bar, in their order.
enum class MenuPlace { NoMenu, File, View, Theme, Server, Help };
inline constexpr MenuPlace kMenuBar[] = {MenuPlace::File, MenuPlace::View, MenuPlace::Theme, MenuPlace::Server,
                                         MenuPlace::Help};

// The groups of the Shortcuts window, in their order.
enum class KeyGroup { Unlisted, Window, Page, FindBar, Zoom, ThemePacks };
inline constexpr KeyGroup kKeyGroups[] = {KeyGroup::Window, KeyGroup::Page, KeyGroup::FindBar, KeyGroup::Zoom,
                                          KeyGroup::ThemePacks};

// One command or key of the application. The menu bar, the toolbar's theme
// menu, the installed accelerators and the Shortcuts window are all made from
// these rows; a menu lists its commands in row order.
struct Command {
    std::string_view action{};               // detailed name; empty for a key a widget handles itself
    const char* label = "";                  // untranslated; "_" marks the menu mnemonic
    std::vector<std::string_view> keys{};    // GTK syntax: installed and listed; the first is shown in menus
    std::vector<std::string_view> twinKeys{};  // installed, not listed: keypad and keyboard-layout twins
    MenuPlace menu = MenuPlace::NoMenu;
    bool newSection = false;                 // a separator comes before it in its menu
    bool needsReadyServer = false;           // enabled only while the server is ready
    KeyGroup group = KeyGroup::Unlisted;        // where the Shortcuts window lists its keys
};

const std::vector<Command>& commandTable();

// The row of `action`; every action the menus show has one.
const Command& commandFor(std::string_view action);

// Translated, with the mnemonic as GTK reads it.
std::string menuLabel(const Command& command);
std::string menuTitle(MenuPlace menu);
// Translated, without the mnemonic mark.
std::string plainLabel(const Command& command);
std::string groupTitle(KeyGroup group);

// `label` without its mnemonic marks ("_" dropped, "__" read as "_").
std::string withoutMnemonic(std::string_view label);

} // namespace quillbay
