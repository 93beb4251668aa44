#include "themes/NotAPackAlert.hpp"

#include <gtkmm/messagedialog.h>
#include <glibmm/main.h>

#include <glib/gi18n.h>

namespace quillbay {

void showNotAPackAlert(Gtk::Window* parent, const std::string& reason)
{
    auto* alert = new Gtk::MessageDialog(_("That is not a Studio theme pack"), false, Gtk::MessageType::WARNING,
                                         Gtk::ButtonsType::OK, true);
    alert->set_secondary_text(reason);
    if (parent)
        alert->set_transient_for(*parent);
    alert->set_hide_on_close(true);
    alert->signal_response().connect([alert](int) {
        alert->hide();
        Glib::signal_idle().connect_once([alert] { delete alert; });
    });
    alert->show();
}

} // namespace quillbay
