#include "support/ModalAlert.hpp"

#include "support/DialogParent.hpp"

#include <glibmm/main.h>

namespace quillbay {

void showModalAlert(const Alert& alert, std::function<void(int response)> answered)
{
    auto* dialog = new Gtk::MessageDialog(alert.message, false, alert.type, alert.stockButtons, true);
    if (!alert.detail.empty())
        dialog->set_secondary_text(alert.detail);
    for (const auto& button : alert.buttons)
        dialog->add_button(button.label, button.response);
    if (alert.defaultResponse)
        dialog->set_default_response(*alert.defaultResponse);
    if (Gtk::Window* parent = dialogParent()) {
        dialog->set_transient_for(*parent);
        // A window of the application gets its shortcuts: Quit works while the alert is up.
        if (const auto application = parent->get_application())
            dialog->set_application(application);
    }
    dialog->set_hide_on_close(true);
    dialog->signal_response().connect([dialog, answered = std::move(answered)](int response) {
        dialog->hide();
        Glib::signal_idle().connect_once([dialog] { delete dialog; });
        if (answered)
            answered(response);
    });
    dialog->show();
}

} // namespace quillbay
