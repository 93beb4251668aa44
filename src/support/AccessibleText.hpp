#pragma once

#include <gtkmm/widget.h>

#include <string>

namespace quillbay {

// What assistive technologies read for a widget that shows no text of its
// own (an icon button, a spinner, the web view) or whose text needs context.

void setAccessibleLabel(Gtk::Widget& widget, const std::string& label);
// Keeps `widget`, and everything in it, out of what assistive technologies
// are shown (or shows it again): for parts that add nothing to what is read
// elsewhere, such as a text view's scroll bars or an empty status line.
void setAccessibleHidden(Gtk::Widget& widget, bool hidden = true);

} // namespace quillbay
