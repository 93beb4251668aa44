#pragma once

#include <gtkmm/shortcutswindow.h>

#include <memory>
#include <string>

namespace quillbay {

// The "Keyboard Shortcuts" window: every listed key of the command table,
// by group, in table order.
class ShortcutsWindow {
public:
    // The window, from a builder description made from the command table;
    // hidden when closed. None if the description could not be read.
    static std::unique_ptr<Gtk::ShortcutsWindow> create();
};

} // namespace quillbay
