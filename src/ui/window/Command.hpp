#pragma once

#include "server/ServerState.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

// The menus of the menu bar, in their order.
enum class MenuPlace { NoMenu, File, View, Theme, Server, Help };
inline constexpr MenuPlace kMenuBar[] = {MenuPlace::File, MenuPlace::View, MenuPlace::Theme, MenuPlace::Server,
                                         MenuPlace::Help};

// The groups of the Shortcuts window, in their order.
enum class KeyGroup { Unlisted, Window, Page, FindBar, Zoom, ThemePacks, StudioServer, ServerOutput };
inline constexpr KeyGroup kKeyGroups[] = {KeyGroup::Window,  KeyGroup::Page, KeyGroup::StudioServer, KeyGroup::ThemePacks,
                                          KeyGroup::FindBar, KeyGroup::Zoom, KeyGroup::ServerOutput};

// One command or key of the application as every place shows it: the menu
// bar, the toolbar, the installed accelerators and the Shortcuts window. Its
// owner adds the action and says what runs it: the window's rows are in
// ui/window/WindowCommands, the application's in app/commands/CommandTable.
struct Command {
    std::string_view action{};               // detailed name, its prefix naming the owner; empty for a key a widget handles itself
    const char* label = "";                  // untranslated; "_" marks the menu mnemonic
    const char* icon = nullptr;              // a toolbar button's icon; none: no button
    std::vector<std::string_view> keys{};    // GTK syntax: installed and listed; the first is shown in menus
    std::vector<std::string_view> twinKeys{};  // installed, not listed: keypad and keyboard-layout twins
    MenuPlace menu = MenuPlace::NoMenu;      // menus list their commands in table order
    bool newSection = false;                 // a separator comes before it in its menu
    bool needsReadyServer = false;
    KeyGroup group = KeyGroup::Unlisted;     // where the Shortcuts window lists its keys
};

// Whether `command` can run while the server is in `state`: the one rule for
// the commands that need a ready server.
bool commandEnabled(const Command& command, const ServerState& state);

// Translated, with the mnemonic as GTK reads it.
std::string menuLabel(const Command& command);
// Translated, without the mnemonic mark.
std::string plainLabel(const Command& command);

// `label` without its mnemonic marks ("_" dropped, "__" read as "_").
std::string withoutMnemonic(std::string_view label);

} // namespace quillbay
