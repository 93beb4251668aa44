#include "app/commands/CommandTable.hpp"

#include <glib/gi18n.h>

#include <algorithm>
#include <cstdlib>

namespace quillbay {

namespace {

using enum MenuPlace;
using enum KeyGroup;

std::vector<Command> makeTable()
{
    using namespace actions;
    return {
        {.action = kInstallTheme, .label = N_("_Install Theme Pack\u2026"), .keys = {"<Primary><Shift>i"},
         .menu = File, .needsReadyServer = true, .group = ThemePacks},
        {.action = kRevealStudioFolder, .label = N_("_Reveal Studio Folder"), .menu = File, .newSection = true},
        {.action = kShowServerLog, .label = N_("Show Server _Log"), .menu = File},
        {.action = kSaveDiagnostics, .label = N_("Save _Diagnostics\u2026"), .menu = File, .newSection = true},
        {.action = kCloseWindow, .label = N_("_Close Window"), .keys = {"<Primary>w"}, .menu = File, .newSection = true,
         .group = Window},
        {.action = kQuit, .label = N_("_Quit"), .keys = {"<Primary>q"}, .menu = File, .group = Window},

        {.action = kReload, .label = N_("_Reload"), .keys = {"<Primary>r"}, .menu = View, .group = Page},
        {.action = kFind, .label = N_("_Find in Page\u2026"), .keys = {"<Primary>f"}, .menu = View, .group = Page},
        {.action = kZoomIn, .label = N_("Zoom _In"), .keys = {"<Primary>plus"},
         .twinKeys = {"<Primary>equal", "<Primary>KP_Add"}, .menu = View, .newSection = true, .group = Zoom},
        {.action = kZoomOut, .label = N_("Zoom _Out"), .keys = {"<Primary>minus"}, .twinKeys = {"<Primary>KP_Subtract"},
         .menu = View, .group = Zoom},
        {.action = kZoomReset, .label = N_("_Actual Size"), .keys = {"<Primary>0"}, .twinKeys = {"<Primary>KP_0"},
         .menu = View, .group = Zoom},

        // The pack items come first in this menu.
        {.action = kRefreshThemes, .label = N_("_Refresh Pack List"), .menu = Theme, .newSection = true},

        // The port and payload lines follow in this menu.
        {.action = kRestartServer, .label = N_("_Restart Server"), .menu = Server},
        {.action = kOpenDeskInBrowser, .label = N_("_Open Desk in Browser"), .menu = Server, .needsReadyServer = true},

        {.action = kShortcuts, .label = N_("_Keyboard Shortcuts"), .keys = {"<Primary>question"}, .menu = Help,
         .group = Window},
        {.action = kAbout, .label = N_("_About Quillbay"), .menu = Help},

        // Keys that widgets handle themselves: the passage between the page
        // and the header bar, GTK's menu bar key, and the find bar.
        {.label = N_("Move Between Page and Header Bar"), .keys = {"F6", "<Primary>Tab"}, .group = Window},
        {.label = N_("Open the Menu Bar"), .keys = {"F10"}, .group = Window},
        {.label = N_("Next Match"), .keys = {"Return"}, .group = FindBar},
        {.label = N_("Previous Match"), .keys = {"<Shift>Return"}, .group = FindBar},
        {.label = N_("Close the Find Bar"), .keys = {"Escape"}, .group = FindBar},
    };
}

} // namespace

const std::vector<Command>& commandTable()
{
    static const std::vector<Command> table = makeTable();
    return table;
}

const Command& commandFor(std::string_view action)
{
    const auto& table = commandTable();
    auto found = std::find_if(table.begin(), table.end(), [&](const Command& row) { return row.action == action; });
    if (found == table.end())
        std::abort();  // a menu names an action the table lacks: a programming error
    return *found;
}

std::string menuLabel(const Command& command)
{
    return _(command.label);
}

std::string plainLabel(const Command& command)
{
    return withoutMnemonic(_(command.label));
}

std::string menuTitle(MenuPlace menu)
{
    switch (menu) {
    case File:
        return _("_File");
    case View:
        return _("_View");
    case Theme:
        return _("_Theme");
    case Server:
        return _("_Server");
    case Help:
        return _("_Help");
    case NoMenu:
        break;
    }
    return {};
}

std::string groupTitle(KeyGroup group)
{
    switch (group) {
    case Window:
        return _("Window");
    case Page:
        return _("Page");
    case FindBar:
        return _("Find Bar");
    case Zoom:
        return _("Zoom");
    case ThemePacks:
        return _("Theme Packs");
    case Unlisted:
        break;
    }
    return {};
}

std::string withoutMnemonic(std::string_view label)
{
    std::string plain;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '_' && ++i == label.size())
            break;
        plain += label[i];
    }
    return plain;
}

} // namespace quillbay
