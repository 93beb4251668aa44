#include "support/AccessibleText.hpp"

#include <gtk/gtk.h>

namespace quillbay {

void setAccessibleLabel(Gtk::Widget& widget, const std::string& label)
{
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
}

void setAccessibleHidden(Gtk::Widget& widget, bool hidden)
{
    gtk_accessible_update_state(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, hidden, -1);
}

} // namespace quillbay
