#include "web/PageDialogs.hpp"

#include "support/FileChooser.hpp"
#include "support/ModalAlert.hpp"

#include <glib/gi18n.h>

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

constexpr int kStopResponse = 1;

// Who asks: "http://127.0.0.1:8765 says", from the address of the page in the view.
std::string pageSays(WebKitWebView* view)
{
    const char* uri = webkit_web_view_get_uri(view);
    WebKitSecurityOrigin* origin = uri ? webkit_security_origin_new_for_uri(uri) : nullptr;
    gchar* name = origin ? webkit_security_origin_to_string(origin) : nullptr;
    std::string says = _("This page says");
    if (name) {
        gchar* text = g_strdup_printf(_("%s says"), name);
        says = text;
        g_free(text);
    }
    g_free(name);
    if (origin) {
        webkit_security_origin_unref(origin);
    }
    return says;
}

} // namespace

PageDialogs::PageDialogs(WebKitWebView* view) : view_(view), gate_(std::make_shared<DialogGate>())
{
    scriptDialog_ = connectSignal(view, "script-dialog", &PageDialogs::onScriptDialog, this);
    loadChanged_ = connectSignal(view, "load-changed", &PageDialogs::onLoadChanged, this);
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

void PageDialogs::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self)
{
    if (event == WEBKIT_LOAD_COMMITTED) {
        static_cast<PageDialogs*>(self)->gate_->pageChanged();
    }
}

void PageDialogs::showMessage(WebKitScriptDialog* scriptDialog, bool withCancel)
{
    const DialogGate::Verdict verdict = gate_->ask(DialogGate::Clock::now());
    if (verdict == DialogGate::Verdict::Dismiss) {
        return;  // not held: the engine answers it as dismissed
    }
    Alert alert;
    alert.message = pageSays(view_);
    alert.detail = webkit_script_dialog_get_message(scriptDialog);
    if (verdict == DialogGate::Verdict::ShowWithStop) {
        alert.buttons.push_back({_("_Stop Dialogs from This Page"), kStopResponse});
    }
    if (withCancel) {
        alert.buttons.push_back({_("_Cancel"), Gtk::ResponseType::CANCEL});
    }
    alert.buttons.push_back({_("_OK"), Gtk::ResponseType::OK});
    alert.defaultResponse = Gtk::ResponseType::OK;

    // Window-modal with a callback: the main loop, and with it quitting, goes on.
    auto held = std::make_shared<ScriptDialogRef>(scriptDialog);
    showModalAlert(alert, [held, withCancel, weak = std::weak_ptr<DialogGate>(gate_)](int response) {
        if (withCancel) {
            // Cancel, Escape, stopping and closing the window all answer false.
            webkit_script_dialog_confirm_set_confirmed(held->dialog, response == Gtk::ResponseType::OK);
        }
        webkit_script_dialog_close(held->dialog);
        if (const auto gate = weak.lock()) {
            if (response == kStopResponse) {
                gate->stop();
            }
            gate->answered(DialogGate::Clock::now());
        }
    });
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
