#include "web/PageDialogs.hpp"

#include "support/FileChooser.hpp"

#include <glib/gi18n.h>
#include <glibmm/main.h>
#include <gtkmm/messagedialog.h>

#include <memory>
#include <string>
#include <vector>

namespace quillbay::web {
namespace {

// Holds a script dialog until it is answered; WebKit answers a dialog whose
// last reference goes away as if it had been dismissed.
struct ScriptDialogRef {
    explicit ScriptDialogRef(WebKitScriptDialog* d) : dialog(webkit_script_dialog_ref(d)) {}
    ~ScriptDialogRef() { webkit_script_dialog_unref(dialog); }
    ScriptDialogRef(const ScriptDialogRef&) = delete;
    ScriptDialogRef& operator=(const ScriptDialogRef&) = delete;
    WebKitScriptDialog* dialog;
};

// Drops a finished dialog once its signal emission is over.
template <typename T>
void releaseLater(std::shared_ptr<T> object)
{
    Glib::signal_idle().connect_once([object = std::move(object)]() mutable { object.reset(); });
}

} // namespace

PageDialogs::PageDialogs(WebKitWebView* view, ParentWindow parent) : parent_(std::move(parent))
{
    scriptDialog_ = connectSignal(view, "script-dialog", &PageDialogs::onScriptDialog, this);
    fileChooser_ = connectSignal(view, "run-file-chooser", &PageDialogs::onFileChooser, this);
}

gboolean PageDialogs::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self)
{
    auto* dialogs = static_cast<PageDialogs*>(self);
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        dialogs->showMessage(dialog, false);
        break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        dialogs->showMessage(dialog, true);
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        // Text prompts get no dialog: unanswered, the page sees a cancelled prompt.
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        // Leaving a page is never held up by a question.
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        break;
    }
    return TRUE;
}

void PageDialogs::showMessage(WebKitScriptDialog* scriptDialog, bool withCancel)
{
    const std::string message = webkit_script_dialog_get_message(scriptDialog);
    Gtk::Window* parent = parent_();
    std::shared_ptr<Gtk::MessageDialog> window =
        parent ? std::make_shared<Gtk::MessageDialog>(*parent, message, false,
                                                      Gtk::MessageType::OTHER,
                                                      Gtk::ButtonsType::NONE, true)
               : std::make_shared<Gtk::MessageDialog>(message, false, Gtk::MessageType::OTHER,
                                                      Gtk::ButtonsType::NONE, true);
    window->add_button(_("_OK"), Gtk::ResponseType::OK);
    if (withCancel) {
        window->add_button(_("_Cancel"), Gtk::ResponseType::CANCEL);
    }
    window->set_default_response(Gtk::ResponseType::OK);
    window->set_hide_on_close(true);

    auto held = std::make_shared<ScriptDialogRef>(scriptDialog);
    auto connection = std::make_shared<sigc::connection>();
    *connection = window->signal_response().connect(
        [window, held, connection, withCancel](int response) mutable {
            if (withCancel) {
                // Cancel, Escape and closing the window all answer false.
                webkit_script_dialog_confirm_set_confirmed(held->dialog,
                                                           response == Gtk::ResponseType::OK);
            }
            webkit_script_dialog_close(held->dialog);
            window->hide();
            auto keep = std::move(window);
            connection->disconnect();
            releaseLater(std::move(keep));
        });
    window->show();
}

gboolean PageDialogs::onFileChooser(WebKitWebView*, WebKitFileChooserRequest* request,
                                    gpointer self)
{
    static_cast<PageDialogs*>(self)->chooseFiles(request);
    return TRUE;
}

void PageDialogs::chooseFiles(WebKitFileChooserRequest* request)
{
    FileChoice choice;
    choice.title = _("Choose Files");
    choice.acceptLabel = _("_Open");
    choice.multiple = webkit_file_chooser_request_get_select_multiple(request);
    auto held = GRef<WebKitFileChooserRequest>::retain(request);
    quillbay::chooseFiles(choice, [held](std::vector<std::string> paths) {
        if (paths.empty()) {
            webkit_file_chooser_request_cancel(held.get());
            return;
        }
        std::vector<const gchar*> list;
        for (const auto& path : paths) {
            list.push_back(path.c_str());
        }
        list.push_back(nullptr);
        webkit_file_chooser_request_select_files(held.get(), list.data());
    });
}

} // namespace quillbay::web
