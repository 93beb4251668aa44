#include "app/commands/CommandTable.hpp"

#include "app/commands/AppCommands.hpp"

#include <glib/gi18n.h>

#include <algorithm>
#include <cstdlib>

namespace quillbay {

namespace {

std::vector<AppCommand> makeAppRows()
{
    using namespace actions;
    using enum MenuPlace;
    using enum KeyGroup;
    using A = AppCommands;
    return {
        {.command = {.action = kInstallTheme, .label = N_("_Install Theme Pack\u2026"), .keys = {"<Primary><Shift>i"},
                     .menu = File, .needsReadyServer = true, .group = ThemePacks},
         .run = &A::installTheme},
        {.command = {.action = kRevealStudioFolder, .label = N_("_Reveal Studio Folder"), .menu = File, .newSection = true},
         .run = &A::revealStudioFolder},
        {.command = {.action = kShowServerLog, .label = N_("Show Server _Log"), .menu = File}, .run = &A::showServerLog},
        {.command = {.action = kSaveDiagnostics, .label = N_("Save _Diagnostics\u2026"), .menu = File, .newSection = true},
         .run = &A::saveDiagnostics},
        // GTK's own action of every window.
        {.command = {.action = kCloseWindow, .label = N_("_Close Window"), .keys = {"<Primary>w"}, .menu = File,
                     .newSection = true, .group = Window}},
        {.command = {.action = kQuit, .label = N_("_Quit"), .keys = {"<Primary>q"}, .menu = File, .group = Window},
         .run = &A::quit},

        // Its items are the packs, first in the Theme menu and in the toolbar's theme menu.
        {.command = {.action = kTheme}, .choose = &A::chooseTheme},
        {.command = {.action = kRefreshThemes, .label = N_("_Refresh Pack List"), .menu = Theme, .newSection = true},
         .run = &A::refreshThemes},

        // The port and payload lines follow in this menu.
        {.command = {.action = kRestartServer, .label = N_("_Restart Server"), .keys = {"<Primary><Shift>r"}, .menu = Server,
                     .group = StudioServer},
         .run = &A::restartServer},
        {.command = {.action = kOpenDeskInBrowser, .label = N_("_Open Desk in Browser"), .menu = Server, .needsReadyServer = true},
         .run = &A::openDeskInBrowser},
        {.command = {.action = kServerOutput, .label = N_("_Server Output"), .keys = {"<Primary><Shift>o"}, .menu = Server,
                     .group = StudioServer},
         .run = &A::showServerOutput},

        {.command = {.action = kShortcuts, .label = N_("_Keyboard Shortcuts"), .keys = {"<Primary>question"}, .menu = Help,
                     .group = Window},
         .run = &A::showShortcuts},
        {.command = {.action = kAbout, .label = N_("_About Quillbay"), .menu = Help}, .run = &A::showAbout},

        // Keys that widgets handle themselves: the passage between the page
        // and the header bar, GTK's menu bar key, and the find bar.
        {.command = {.label = N_("Move Between Page and Header Bar"), .keys = {"F6", "<Primary>Tab"}, .group = Window}},
        {.command = {.label = N_("Open the Menu Bar"), .keys = {"F10"}, .group = Window}},
        {.command = {.label = N_("Next Match"), .keys = {"Return"}, .group = FindBar}},
        {.command = {.label = N_("Previous Match"), .keys = {"<Shift>Return"}, .group = FindBar}},
        {.command = {.label = N_("Close the Find Bar"), .keys = {"Escape"}, .group = FindBar}},
    };
}

std::vector<Command> makeTable()
{
    std::vector<Command> table;
    for (const AppCommand& row : appCommands())
        table.push_back(row.command);
    for (const WindowCommand& row : windowCommands())
        table.push_back(row.command);
    return table;
}

} // namespace

const std::vector<AppCommand>& appCommands()
{
    static const std::vector<AppCommand> rows = makeAppRows();
    return rows;
}

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

std::string menuTitle(MenuPlace menu)
{
    using enum MenuPlace;
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
    using enum KeyGroup;
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
    case StudioServer:
        return _("Server");
    case ServerOutput:
        return _("Server Output");
    case Unlisted:
        break;
    }
    return {};
}

} // namespace quillbay
