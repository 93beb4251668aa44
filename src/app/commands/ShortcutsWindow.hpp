#pragma once

#include "app/commands/ShortcutList.hpp"

#include <gtkmm/shortcutswindow.h>

#include <memory>
#include <string>
#include <vector>

namespace quillbay {

// The "Keyboard Shortcuts" window, made from the application's shortcut list.
class ShortcutsWindow {
public:
    // GtkBuilder text of a shortcuts window listing `groups` (the first key of each).
    static std::string builderText(const std::vector<ShortcutGroup>& groups);

    // A new window listing `groups`; empty when GTK refused the description.
    static std::unique_ptr<Gtk::ShortcutsWindow> create(const std::vector<ShortcutGroup>& groups);
};

} // namespace quillbay
