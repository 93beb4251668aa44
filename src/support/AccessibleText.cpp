#include "support/AccessibleText.hpp"

#include <gtk/gtk.h>

namespace quillbay {

void setAccessibleLabel(Gtk::Widget& widget, const std::string& label)
{
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
}

void setAccessibleDescription(Gtk::Widget& widget, const std::string& description)
{
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                   description.c_str(), -1);
}

void setAccessibleHidden(Gtk::Widget& widget, bool hidden)
{
    gtk_accessible_update_state(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, hidden, -1);
}

void setDescribedBy(Gtk::Widget& widget, Gtk::Widget& description)
{
    gtk_accessible_update_relation(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_RELATION_DESCRIBED_BY,
                                   description.gobj(), nullptr, -1);
}

} // namespace quillbay
