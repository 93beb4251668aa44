#pragma once

namespace Gtk {
class Window;
}

namespace quillbay {

// The window every dialog is modal to: the application's active window;
// none (a free-standing dialog) without an application or a window.
Gtk::Window* dialogParent();

} // namespace quillbay
