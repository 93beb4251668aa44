#pragma once

#include "app/commands/MenuModel.hpp"

#include <giomm/menu.h>

#include <vector>

namespace quillbay {

// Disabled app actions that display-only lines and unusable packs point at,
// so GTK draws them greyed out.
namespace actions {
inline constexpr const char* kTextLine = "app.menu-text";  // string parameter, never enabled
// A choice with the theme choice's state, never enabled: an unusable active pack still shows as chosen.
inline constexpr const char* kUnavailableTheme = "app.theme-unavailable";
// Boolean state: GTK sets it true as the Server menu opens (the menu's "submenu-action").
inline constexpr const char* kServerMenuShown = "app.server-menu-shown";
} // namespace actions

// Empties `menu` and fills it with `entries`, one section per run of
// entries between separators.
void fillMenu(Gio::Menu& menu, const std::vector<MenuEntry>& entries);

// Makes `menu`, filled from `shown`, show `entries`: when both have sections
// of the same lengths only the items that differ are replaced, so a menu that
// is open keeps the rest of its rows; otherwise it is filled afresh.
void updateMenu(Gio::Menu& menu, const std::vector<MenuEntry>& shown, const std::vector<MenuEntry>& entries);

} // namespace quillbay
