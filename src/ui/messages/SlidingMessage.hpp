#pragma once

#include <gtkmm/revealer.h>

namespace quillbay {

// A message that slides in and out of the window's content. Slid out, it
// leaves the widget tree's visible part, so assistive technologies no longer
// find it; slideIn() brings it back first.
void hideOnceSlidOut(Gtk::Revealer& message);
void slideIn(Gtk::Revealer& message);

} // namespace quillbay
