#pragma once

#include <gtkmm/shortcutswindow.h>

#include <memory>

namespace quillbay {

// The "Keyboard Shortcuts" window: every listed key of the command table,
// by group, in table order.
class ShortcutsWindow {
public:
    static std::unique_ptr<Gtk::ShortcutsWindow> create();
};

} // namespace quillbay
