#include "app/commands/MenuModel.hpp"

#include <glib/gi18n.h>

namespace quillbay {

MenuEntry MenuEntry::command(const Command& command, bool enabled)
{
    MenuEntry entry;
    entry.label = menuLabel(command);
    entry.mnemonic = true;
    entry.action = command.action;
    if (!command.keys.empty())
        entry.accelerator = command.keys.front();
    entry.enabled = enabled;
    return entry;
}

MenuEntry MenuEntry::text(std::string label)
{
    MenuEntry entry;
    entry.kind = Kind::Text;
    entry.label = std::move(label);
    entry.enabled = false;
    return entry;
}

MenuEntry MenuEntry::separator()
{
    MenuEntry entry;
    entry.kind = Kind::Separator;
    entry.enabled = false;
    return entry;
}

namespace {

std::vector<MenuEntry> packEntries(const ThemeCatalog& catalog)
{
    std::vector<MenuEntry> entries;
    for (const ThemePack& pack : catalog.packs) {
        MenuEntry entry;
        entry.label = pack.label();
        entry.action = actions::kActivateTheme;
        entry.target = pack.id;
        entry.enabled = !pack.error.has_value();
        entry.checked = pack.id == catalog.active;
        if (entry.checked)
            entry.mark = "\u2713";
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string portLine(long long port)
{
    gchar* line = g_strdup_printf(_("Port %lld"), port);
    std::string result(line);
    g_free(line);
    return result;
}

// The lines a menu shows before its commands.
std::vector<MenuEntry> leadingLines(MenuPlace menu, const MenuInputs& inputs)
{
    if (menu != MenuPlace::Theme)
        return {};
    if (!inputs.catalog)
        return {MenuEntry::text(_("No packs loaded yet"))};
    return packEntries(*inputs.catalog);
}

// The lines a menu shows after its commands.
std::vector<MenuEntry> trailingLines(MenuPlace menu, const MenuInputs& inputs)
{
    if (menu != MenuPlace::Server)
        return {};
    return {MenuEntry::separator(), MenuEntry::text(portLine(inputs.port)), MenuEntry::text(inputs.payloadLine)};
}

} // namespace

std::vector<MenuDescription> describeMenuBar(const MenuInputs& inputs)
{
    const bool ready = inputs.state.isReady();
    std::vector<MenuDescription> menus;
    for (MenuPlace place : kMenuBar) {
        MenuDescription menu{menuTitle(place), leadingLines(place, inputs)};
        for (const Command& command : commandTable()) {
            if (command.menu != place)
                continue;
            if (command.newSection)
                menu.entries.push_back(MenuEntry::separator());
            menu.entries.push_back(MenuEntry::command(command, ready || !command.needsReadyServer));
        }
        for (MenuEntry& line : trailingLines(place, inputs))
            menu.entries.push_back(std::move(line));
        menus.push_back(std::move(menu));
    }
    return menus;
}

std::vector<MenuEntry> describeToolbarThemeMenu(const std::optional<ThemeCatalog>& catalog)
{
    std::vector<MenuEntry> entries;
    if (catalog) {
        entries = packEntries(*catalog);
        entries.push_back(MenuEntry::separator());
    }
    // The toolbar's menu button is disabled as a whole unless the server is ready.
    entries.push_back(MenuEntry::command(commandFor(actions::kInstallTheme)));
    return entries;
}

} // namespace quillbay
