#include "app/MenuModel.hpp"

#include <glib/gi18n.h>

namespace quillbay {

namespace {

MenuEntry command(std::string label, const char* action, bool enabled = true, std::string accelerator = {})
{
    MenuEntry entry;
    entry.label = std::move(label);
    entry.action = action;
    entry.enabled = enabled;
    entry.accelerator = std::move(accelerator);
    return entry;
}

MenuEntry text(std::string label)
{
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::Text;
    entry.label = std::move(label);
    entry.enabled = false;
    return entry;
}

MenuEntry separator()
{
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::Separator;
    entry.enabled = false;
    return entry;
}

MenuEntry installEntry(bool enabled)
{
    return command(_("Install Theme Pack\u2026"), actions::kInstallTheme, enabled, "<Primary><Shift>i");
}

std::vector<MenuEntry> packEntries(const ThemeCatalog& catalog)
{
    std::vector<MenuEntry> entries;
    for (const ThemePack& pack : catalog.packs) {
        MenuEntry entry = command(pack.label(), actions::kActivateTheme, !pack.error.has_value());
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
    file.entries = {installEntry(ready), separator(),
                    command(_("Reveal Studio Folder"), actions::kRevealStudioFolder),
                    command(_("Show Server Log"), actions::kShowServerLog), separator(),
                    command(_("Quit"), actions::kQuit, true, "<Primary>q")};

    MenuDescription theme{_("Theme"), {}};
    if (inputs.catalog)
        theme.entries = packEntries(*inputs.catalog);
    else
        theme.entries.push_back(text(_("No packs loaded yet")));
    theme.entries.push_back(separator());
    theme.entries.push_back(command(_("Refresh Pack List"), actions::kRefreshThemes));

    MenuDescription server{_("Server"), {}};
    server.entries = {command(_("Restart Server"), actions::kRestartServer),
                      command(_("Open Desk in Browser"), actions::kOpenDeskInBrowser, ready), separator(),
                      text(portLine(inputs.port)), text(inputs.payloadLine)};

    return {std::move(file), std::move(theme), std::move(server)};
}

std::vector<MenuEntry> describeToolbarThemeMenu(const std::optional<ThemeCatalog>& catalog)
{
    std::vector<MenuEntry> entries;
    if (catalog) {
        entries = packEntries(*catalog);
        entries.push_back(separator());
    }
    // The toolbar's menu button is disabled as a whole unless the server is ready.
    entries.push_back(installEntry(true));
    return entries;
}

} // namespace quillbay
