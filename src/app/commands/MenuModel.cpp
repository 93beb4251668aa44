#include "app/commands/MenuModel.hpp"

#include "support/Format.hpp"

#include <glib/gi18n.h>

#include <map>
#include <utility>

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

// Names compared as a reader would: letter case, compatibility forms and
// surrounding spaces aside.
std::string lookAlikeKey(const std::string& name)
{
    g_autofree gchar* normal = g_utf8_normalize(name.c_str(), -1, G_NORMALIZE_ALL);
    if (!normal)
        return name;  // not UTF-8: compared as it is
    g_autofree gchar* folded = g_utf8_casefold(g_strstrip(normal), -1);
    return folded;
}

std::string nameWithId(const ThemePack& pack)
{
    return format(_("%s (%s)"), pack.label().c_str(), pack.id.c_str());
}

// Each pack's label: its name, or its id when it has none. A named pack whose
// name another pack shows too is labelled "name (id)", so the two can be told
// apart; a stock pack keeps its plain name unless another stock pack shares it.
std::vector<std::string> packLabels(const std::vector<ThemePack>& packs)
{
    std::map<std::string, std::pair<int, int>> shown;  // look-alike key: packs, stock packs
    for (const ThemePack& pack : packs) {
        auto& [all, stock] = shown[lookAlikeKey(pack.label())];
        ++all;
        stock += pack.stock.value_or(false);
    }
    std::vector<std::string> labels;
    for (const ThemePack& pack : packs) {
        const auto [all, stock] = shown[lookAlikeKey(pack.label())];
        const bool plain = !pack.name || all == 1 || (pack.stock.value_or(false) && stock == 1);
        labels.push_back(plain ? pack.label() : nameWithId(pack));
    }
    return labels;
}

// Items of the theme choice, one per pack; `marked`: the active one's label is followed by "✓".
std::vector<MenuEntry> packEntries(const ThemeCatalog& catalog, bool marked)
{
    std::vector<MenuEntry> entries;
    const std::vector<std::string> labels = packLabels(catalog.packs);
    for (std::size_t index = 0; index < catalog.packs.size(); ++index) {
        const ThemePack& pack = catalog.packs[index];
        MenuEntry entry;
        entry.label = labels[index];
        entry.action = actions::kTheme;
        entry.target = pack.id;
        entry.enabled = !pack.error.has_value();
        if (marked && pack.id == catalog.active)
            entry.mark = "\u2713";
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string portLine(long long port)
{
    return format(_("Port %lld"), port);
}

// The lines a menu shows before its commands.
std::vector<MenuEntry> leadingLines(MenuPlace menu, const MenuInputs& inputs)
{
    if (menu != MenuPlace::Theme)
        return {};
    if (!inputs.catalog)
        return {MenuEntry::text(_("No packs loaded yet"))};
    return packEntries(*inputs.catalog, true);
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
    std::vector<MenuDescription> menus;
    for (MenuPlace place : kMenuBar) {
        MenuDescription menu{menuTitle(place), leadingLines(place, inputs)};
        for (const Command& command : commandTable()) {
            if (command.menu != place)
                continue;
            if (command.newSection)
                menu.entries.push_back(MenuEntry::separator());
            menu.entries.push_back(MenuEntry::command(command, commandEnabled(command, inputs.state)));
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
        entries = packEntries(*catalog, false);
        entries.push_back(MenuEntry::separator());
    }
    // The toolbar's menu button is disabled as a whole unless the server is ready.
    entries.push_back(MenuEntry::command(commandFor(actions::kInstallTheme)));
    return entries;
}

} // namespace quillbay
