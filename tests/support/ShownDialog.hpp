#pragma once

#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>

#include <string>

namespace quillbay::testing {

// The message dialog on screen now whose texts hold `containing`, if any.
inline Gtk::MessageDialog* shownMessageDialog(const std::string& containing = "")
{
    for (auto* window : Gtk::Window::list_toplevels()) {
        auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window);
        if (!dialog || !dialog->get_visible())
            continue;
        const std::string texts = dialog->property_text().get_value() + "\n" + dialog->property_secondary_text().get_value();
        if (texts.find(containing) != std::string::npos)
            return dialog;
    }
    return nullptr;
}

} // namespace quillbay::testing
