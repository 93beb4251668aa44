#include "app/commands/MenuModel.hpp"

#include <glib/gi18n.h>

namespace quillbay {

MenuEntry MenuEntry::command(std::string label, std::string action, std::string accelerator, bool enabled)
{
    MenuEntry entry;
    entry.label = std::move(label);
    entry.action = std::move(action);
    entry.accelerator = std::move(accelerator);
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

MenuEntry installEntry(bool enabled)
{
    return MenuEntry::command(_("Install Theme Pack\u2026"), actions::kInstallTheme, "<Primary><Shift>i", enabled);
}

std::vector<MenuEntry> packEntries(const ThemeCatalog& catalog)
{
    std::vector<MenuEntry> entries;
    for (const ThemePack& pack : catalog.packs) {
        MenuEntry entry = MenuEntry::command(pack.label(), actions::kActivateTheme, {}, !pack.error.has_value());
        entry.target = pack.id;
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

} // namespace

std::vector<MenuDescription> describeMenuBar(const MenuInputs& inputs)
{
    const bool ready = inputs.state.isReady();

    MenuDescription file{_("File"), {}};
    file.entries = {installEntry(ready), MenuEntry::separator(),
                    MenuEntry::command(_("Reveal Studio Folder"), actions::kRevealStudioFolder),
                    MenuEntry::command(_("Show Server Log"), actions::kShowServerLog), MenuEntry::separator(),
                    MenuEntry::command(_("Quit"), actions::kQuit, "<Primary>q")};

    MenuDescription theme{_("Theme"), {}};
    if (inputs.catalog)
        theme.entries = packEntries(*inputs.catalog);
    else
        theme.entries.push_back(MenuEntry::text(_("No packs loaded yet")));
    theme.entries.push_back(MenuEntry::separator());
    theme.entries.push_back(MenuEntry::command(_("Refresh Pack List"), actions::kRefreshThemes));

    MenuDescription server{_("Server"), {}};
    server.entries = {MenuEntry::command(_("Restart Server"), actions::kRestartServer),
                      MenuEntry::command(_("Open Desk in Browser"), actions::kOpenDeskInBrowser, {}, ready),
                      MenuEntry::separator(),
                      MenuEntry::text(portLine(inputs.port)), MenuEntry::text(inputs.payloadLine)};

    return {std::move(file), std::move(theme), std::move(server)};
}

std::vector<MenuEntry> describeToolbarThemeMenu(const std::optional<ThemeCatalog>& catalog)
{
    std::vector<MenuEntry> entries;
    if (catalog) {
        entries = packEntries(*catalog);
        entries.push_back(MenuEntry::separator());
    }
    // The toolbar's menu button is disabled as a whole unless the server is ready.
    entries.push_back(installEntry(true));
    return entries;
}

} // namespace quillbay
