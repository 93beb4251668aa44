#pragma once

#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>

namespace quillbay::testing {

// The message dialog on screen now, if any.
inline Gtk::MessageDialog* shownMessageDialog()
{
    for (auto* window : Gtk::Window::list_toplevels())
        if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog && dialog->get_visible())
            return dialog;
    return nullptr;
}

} // namespace quillbay::testing
