#pragma once

#include "app/commands/CommandTable.hpp"
#include "server/ServerState.hpp"
#include "themes/ThemeCatalog.hpp"

#include <optional>
#include <string>
#include <vector>

namespace quillbay {

// One line of a menu, as plain data.
struct MenuEntry {
    enum class Kind { Command, Text, Separator };

    Kind kind = Kind::Command;
    std::string label;                  // shown verbatim, unless `mnemonic`
    bool mnemonic = false;              // `label` marks its mnemonic with "_"
    std::string action;                 // for commands, e.g. "app.theme"
    std::optional<std::string> target;  // the action's parameter (a pack id)
    std::string accelerator;            // GTK syntax, shown beside the label
    bool enabled = true;
    std::string mark;                   // text after the label: "✓" for the active pack

    static MenuEntry command(const Command& command, bool enabled = true);
    static MenuEntry text(std::string label);  // shown, never chosen
    static MenuEntry separator();

    bool operator==(const MenuEntry&) const = default;
};

struct MenuDescription {
    std::string title;  // with its mnemonic
    std::vector<MenuEntry> entries;
    bool operator==(const MenuDescription&) const = default;
};

struct MenuInputs {
    ServerState state;
    long long port = 0;
    std::optional<ThemeCatalog> catalog;
    std::string payloadLine;
};

// The menu bar: File, View, Theme, Server, Help, in that order. The Theme
// menu marks the active pack with "✓" after its name.
std::vector<MenuDescription> describeMenuBar(const MenuInputs& inputs);

// The toolbar's theme menu: the packs and a separator (only with a catalog),
// then "Install Theme Pack…". Its pack items carry no mark: GTK draws the
// state of the theme choice beside them, as a check mark (style.css).
std::vector<MenuEntry> describeToolbarThemeMenu(const std::optional<ThemeCatalog>& catalog);

} // namespace quillbay
