#include "themes/NotAPackAlert.hpp"

#include "support/ModalAlert.hpp"

#include <glib/gi18n.h>

namespace quillbay {

void showNotAPackAlert(const std::string& reason)
{
    Alert alert;
    alert.type = Gtk::MessageType::WARNING;
    alert.message = _("That is not a Studio theme pack");
    alert.detail = reason;
    alert.stockButtons = Gtk::ButtonsType::OK;
    showModalAlert(alert);
}

} // namespace quillbay
