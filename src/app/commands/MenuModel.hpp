#pragma once

#include "server/ServerState.hpp"
#include "themes/ThemeCatalog.hpp"

#include <optional>
#include <string>
#include <vector>

namespace quillbay {

// Action names shared by the menu bar, the toolbar's theme menu and AppMenus.
namespace actions {
inline constexpr const char* kInstallTheme = "app.install-theme";
inline constexpr const char* kRevealStudioFolder = "app.reveal-studio-folder";
inline constexpr const char* kShowServerLog = "app.show-server-log";
inline constexpr const char* kQuit = "app.quit";
inline constexpr const char* kActivateTheme = "app.activate-theme";  // string parameter: the pack id
inline constexpr const char* kRefreshThemes = "app.refresh-themes";
inline constexpr const char* kRestartServer = "app.restart-server";
inline constexpr const char* kOpenDeskInBrowser = "app.open-desk-in-browser";
} // namespace actions

// One line of a menu, as plain data.
struct MenuEntry {
    enum class Kind { Command, Text, Separator };

    Kind kind = Kind::Command;
    std::string label;                  // shown verbatim
    std::string action;                 // for commands, e.g. "app.activate-theme"
    std::optional<std::string> target;  // the action's parameter (a pack id)
    std::string accelerator;            // GTK syntax, e.g. "<Primary><Shift>i"
    bool enabled = true;
    bool checked = false;               // the active pack
    std::string mark;                   // text after the label, e.g. "✓"

    static MenuEntry command(std::string label, std::string action, std::string accelerator = {},
                             bool enabled = true);
    static MenuEntry text(std::string label);  // shown, never chosen
    static MenuEntry separator();

    bool operator==(const MenuEntry&) const = default;
};

struct MenuDescription {
    std::string title;
    std::vector<MenuEntry> entries;
    bool operator==(const MenuDescription&) const = default;
};

struct MenuInputs {
    ServerState state;
    long long port = 0;
    std::optional<ThemeCatalog> catalog;
    std::string payloadLine;
};

// The menu bar: File, Theme, Server, in that order.
std::vector<MenuDescription> describeMenuBar(const MenuInputs& inputs);

// The toolbar's theme menu: the packs and a separator (only with a catalog),
// then "Install Theme Pack…". The active pack is `checked`.
std::vector<MenuEntry> describeToolbarThemeMenu(const std::optional<ThemeCatalog>& catalog);

} // namespace quillbay
