#include "app/commands/DesktopMenus.hpp"

#include <glib/gi18n.h>

#include <algorithm>

namespace quillbay {

void addDesktopMenus(std::vector<MenuDescription>& menus)
{
    if (menus.empty())
        return;
    auto& file = menus.front().entries;
    auto quit = std::find_if(file.begin(), file.end(), [](const MenuEntry& entry) { return entry.action == actions::kQuit; });
    file.insert(quit, {MenuEntry::command(_("Save Diagnostics\u2026"), actions::kSaveDiagnostics),
                       MenuEntry::separator(),
                       MenuEntry::command(_("Close Window"), actions::kCloseWindow, "<Primary>w")});

    MenuDescription view{_("View"),
                         {MenuEntry::command(_("Find in Page\u2026"), actions::kFind, "<Primary>f"), MenuEntry::separator(),
                          MenuEntry::command(_("Zoom In"), actions::kZoomIn, "<Primary>plus"),
                          MenuEntry::command(_("Zoom Out"), actions::kZoomOut, "<Primary>minus"),
                          MenuEntry::command(_("Actual Size"), actions::kZoomReset, "<Primary>0")}};
    menus.insert(menus.begin() + 1, std::move(view));

    menus.push_back({_("Help"),
                     {MenuEntry::command(_("Keyboard Shortcuts"), actions::kShortcuts, "<Primary>question"),
                      MenuEntry::command(_("About Quillbay"), actions::kAbout)}});
}

} // namespace quillbay
