#include "support/ModalAlert.hpp"

#include "support/MainLoop.hpp"
#include "support/DialogParent.hpp"

#include <glibmm/main.h>

namespace quillbay {

namespace {

// A dialog button's mnemonic label names the button a second time for
// assistive technologies, so screen readers would hear every name twice.
void nameButtonsOnce(Gtk::Dialog& dialog, const Alert& alert)
{
    std::vector<int> responses{GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL, GTK_RESPONSE_CLOSE, GTK_RESPONSE_YES, GTK_RESPONSE_NO};
    for (const auto& button : alert.buttons)
        responses.push_back(button.response);
    for (int response : responses)
        if (Gtk::Widget* button = dialog.get_widget_for_response(response))
            gtk_accessible_reset_relation(GTK_ACCESSIBLE(button->gobj()), GTK_ACCESSIBLE_RELATION_LABELLED_BY);
}

} // namespace

void showModalAlert(const Alert& alert, std::function<void(int response)> answered)
{
    auto* dialog = new Gtk::MessageDialog(alert.message, false, alert.type, alert.stockButtons, true);
    dialog->set_title(alert.title.empty() ? alert.message : alert.title);
    if (!alert.detail.empty())
        dialog->set_secondary_text(alert.detail);
    for (const auto& button : alert.buttons)
        dialog->add_button(button.label, button.response);
    nameButtonsOnce(*dialog, alert);
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
        postToMainLoop([dialog] { delete dialog; }, G_PRIORITY_DEFAULT_IDLE);
        if (answered)
            answered(response);
    });
    dialog->show();
}

} // namespace quillbay
