#pragma once

#include "app/commands/MenuModel.hpp"

#include <giomm/menu.h>

#include <vector>

namespace quillbay {

// Disabled app actions that display-only lines and unusable packs point at,
// so GTK draws them greyed out.
namespace actions {
inline constexpr const char* kTextLine = "app.menu-text";           // string parameter, never enabled
inline constexpr const char* kUnavailableTheme = "app.theme-unavailable";  // string parameter, never enabled
// Boolean state: GTK sets it true as the Server menu opens (the menu's "submenu-action").
inline constexpr const char* kServerMenuShown = "app.server-menu-shown";
} // namespace actions

// `label` as GTK must be given it to show it verbatim: menu labels are
// read with mnemonics, so every "_" is doubled. Labels that come from data
// (pack names, the port and payload lines) go through this.
std::string literalMenuLabel(const std::string& label);

// Empties `menu` and fills it with `entries`, one section per run of
// entries between separators.
void fillMenu(Gio::Menu& menu, const std::vector<MenuEntry>& entries);

// Makes `menu`, filled from `shown`, show `entries`: when both have sections
// of the same lengths only the items that differ are replaced, so a menu that
// is open keeps the rest of its rows; otherwise it is filled afresh.
void updateMenu(Gio::Menu& menu, const std::vector<MenuEntry>& shown, const std::vector<MenuEntry>& entries);

// The Gio item of one command or text entry (separators have none).
Glib::RefPtr<Gio::MenuItem> menuItem(const MenuEntry& entry);

} // namespace quillbay
