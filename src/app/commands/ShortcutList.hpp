#pragma once

#include <string>
#include <vector>

namespace quillbay {

// Every keyboard shortcut of the application, as plain data: the keys that
// the application installs and the groups the shortcuts window lists.
struct Shortcut {
    std::string title;                       // localised
    std::vector<std::string> accelerators;   // GTK syntax; the first is the one listed
    std::string action;                      // detailed action; empty for keys of the find bar

    bool operator==(const Shortcut&) const = default;
};

struct ShortcutGroup {
    std::string title;  // localised
    std::vector<Shortcut> shortcuts;
};

std::vector<ShortcutGroup> quillbayShortcuts();

} // namespace quillbay
