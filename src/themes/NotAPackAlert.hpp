#pragma once

#include <string>

namespace Gtk {
class Window;
}

namespace quillbay {

// The warning shown when the server refuses a pack: window-modal to `parent`
// (or free-standing without one), closed by its OK button.
void showNotAPackAlert(Gtk::Window* parent, const std::string& reason);

} // namespace quillbay
