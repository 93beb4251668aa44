#include "app/DesktopMenus.hpp"

#include <glib/gi18n.h>

#include <algorithm>

namespace quillbay {

namespace {

MenuEntry command(std::string label, const char* action, std::string accelerator = {})
{
    MenuEntry entry;
    entry.label = std::move(label);
    entry.action = action;
    entry.accelerator = std::move(accelerator);
    return entry;
}

MenuEntry separator()
{
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::Separator;
    entry.enabled = false;
    return entry;
}

} // namespace

void addDesktopMenus(std::vector<MenuDescription>& menus)
{
    if (menus.empty())
        return;
    auto& file = menus.front().entries;
    auto quit = std::find_if(file.begin(), file.end(), [](const MenuEntry& entry) { return entry.action == actions::kQuit; });
    file.insert(quit, {command(_("Save Diagnostics\u2026"), actions::kSaveDiagnostics), separator(),
                       command(_("Close Window"), actions::kCloseWindow, "<Primary>w")});

    MenuDescription view{_("View"),
                         {command(_("Find in Page\u2026"), actions::kFind, "<Primary>f"), separator(),
                          command(_("Zoom In"), actions::kZoomIn, "<Primary>plus"),
                          command(_("Zoom Out"), actions::kZoomOut, "<Primary>minus"),
                          command(_("Actual Size"), actions::kZoomReset, "<Primary>0")}};
    menus.insert(menus.begin() + 1, std::move(view));

    menus.push_back({_("Help"),
                     {command(_("Keyboard Shortcuts"), actions::kShortcuts, "<Primary>question"),
                      command(_("About Quillbay"), actions::kAbout)}});
}

} // namespace quillbay
