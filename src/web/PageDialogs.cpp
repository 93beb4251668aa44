#include "web/PageDialogs.hpp"

#include "support/DialogParent.hpp"
#include "support/FileChooser.hpp"
#include "support/Format.hpp"
#include "support/ModalAlert.hpp"
#include "support/WhileAlive.hpp"
#include "web/FrameSandbox.hpp"

#include <glib/gi18n.h>
#include <gtk/gtkunixprint.h>
#include <gtkmm/application.h>
#include <gtkmm/window.h>

#include <functional>
#include <memory>
#include <optional>
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

// "http://127.0.0.1:8765", from the address of the page in the view.
std::optional<std::string> pageOrigin(WebKitWebView* view)
{
    const char* uri = webkit_web_view_get_uri(view);
    WebKitSecurityOrigin* origin = uri ? webkit_security_origin_new_for_uri(uri) : nullptr;
    gchar* name = origin ? webkit_security_origin_to_string(origin) : nullptr;
    std::optional<std::string> found;
    if (name) {
        found = name;
    }
    g_free(name);
    if (origin) {
        webkit_security_origin_unref(origin);
    }
    return found;
}

// `format` with the page's origin for its %s, or `otherwise` without one.
std::string naming(WebKitWebView* view, const char* format, const char* otherwise)
{
    const auto origin = pageOrigin(view);
    if (!origin) {
        return otherwise;
    }
    return quillbay::format(format, origin->c_str());
}

// What a print dialog on screen answers to: the operation, and the dialogs
// that asked (`chosen`: the settings the user printed with).
struct PrintRequest {
    GRef<WebKitPrintOperation> operation;
    std::function<void(int response, GRef<GtkPrintSettings> chosen)> answered;
};

void onPrintResponse(GtkDialog* dialog, int response, gpointer data)
{
    const auto* request = static_cast<PrintRequest*>(data);
    auto* printDialog = GTK_PRINT_UNIX_DIALOG(dialog);
    GRef<GtkPrintSettings> chosen;
    if (response == GTK_RESPONSE_OK) {
        chosen = GRef<GtkPrintSettings>::adopt(gtk_print_unix_dialog_get_settings(printDialog));
        webkit_print_operation_set_print_settings(request->operation.get(), chosen.get());
        webkit_print_operation_set_page_setup(request->operation.get(), gtk_print_unix_dialog_get_page_setup(printDialog));
        webkit_print_operation_print(request->operation.get());  // holds itself until printed
    }
    request->answered(response, chosen);
    gtk_window_destroy(GTK_WINDOW(dialog));
}

} // namespace

PageDialogs::PageDialogs(WebKitWebView* view)
    : view_(view)
{
    keepDialogsOutOfFrames(webkit_web_view_get_user_content_manager(view));
    scriptDialog_ = connectSignal(view, "script-dialog", &PageDialogs::onScriptDialog, this);
    loadChanged_ = connectSignal(view, "load-changed", &PageDialogs::onLoadChanged, this);
    fileChooser_ = connectSignal(view, "run-file-chooser", &PageDialogs::onFileChooser, this);
    print_ = connectSignal(view, "print", &PageDialogs::onPrint, this);
    // Sees the presses on their way into the page and leaves them to it.
    input_ = gtk_event_controller_legacy_new();
    gtk_event_controller_set_propagation_phase(input_, GTK_PHASE_CAPTURE);
    pressed_ = connectSignal(input_, "event", &PageDialogs::onInput, this);
    gtk_widget_add_controller(GTK_WIDGET(view), input_);
}

PageDialogs::~PageDialogs()
{
    // The view lets go of the controller; the handler goes with it.
    gtk_widget_remove_controller(GTK_WIDGET(view_), input_);
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
        static_cast<PageDialogs*>(self)->gate_.pageChanged();
    }
}

gboolean PageDialogs::onInput(GtkEventControllerLegacy*, GdkEvent* event, gpointer self)
{
    const GdkEventType type = gdk_event_get_event_type(event);
    const bool press = type == GDK_BUTTON_PRESS || type == GDK_TOUCH_END
                       || (type == GDK_KEY_PRESS && gdk_key_event_get_keyval(event) != GDK_KEY_Escape);
    if (press) {
        static_cast<PageDialogs*>(self)->gate_.pressed(DialogGate::Clock::now());
    }
    return FALSE;
}

void PageDialogs::showMessage(WebKitScriptDialog* scriptDialog, bool withCancel)
{
    const DialogGate::Verdict verdict = gate_.ask(DialogGate::Clock::now());
    if (verdict == DialogGate::Verdict::Dismiss) {
        return;  // not held: the engine answers it as dismissed
    }
    Alert alert;
    alert.message = naming(view_, _("%s says"), _("This page says"));
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
    auto answered = whileAlive<void(int)>(*this, [this](int response) { this->answered(response); });
    showModalAlert(alert, [held, withCancel, answered](int response) {
        if (withCancel) {
            // Cancel, Escape, stopping and closing the window all answer false.
            webkit_script_dialog_confirm_set_confirmed(held->dialog, response == Gtk::ResponseType::OK);
        }
        webkit_script_dialog_close(held->dialog);
        answered(response);
    });
}

void PageDialogs::answered(int response)
{
    if (response == kStopResponse) {
        gate_.stop();
    }
    gate_.answered(DialogGate::Clock::now());
}

gboolean PageDialogs::onPrint(WebKitWebView*, WebKitPrintOperation* operation, gpointer self)
{
    // WebKit's own print dialog would run a main loop of its own, for any page at any time.
    static_cast<PageDialogs*>(self)->askToPrint(operation);
    return TRUE;
}

void PageDialogs::askToPrint(WebKitPrintOperation* operation)
{
    const DialogGate::Verdict verdict = gate_.askToPrint(DialogGate::Clock::now());
    if (verdict == DialogGate::Verdict::Dismiss) {
        return;
    }
    const std::string title = naming(view_, _("%s asks to print"), _("This page asks to print"));
    Gtk::Window* parent = dialogParent();
    auto* dialog = GTK_PRINT_UNIX_DIALOG(gtk_print_unix_dialog_new(title.c_str(), parent ? parent->gobj() : nullptr));
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    if (parent && parent->get_application()) {
        // A window of the application gets its shortcuts: Quit works while the dialog is up.
        gtk_window_set_application(GTK_WINDOW(dialog), parent->get_application()->gobj());
    }
    // The engine lays out the pages itself.
    gtk_print_unix_dialog_set_manual_capabilities(
        dialog, static_cast<GtkPrintCapabilities>(GTK_PRINT_CAPABILITY_PAGE_SET | GTK_PRINT_CAPABILITY_COPIES
                                                  | GTK_PRINT_CAPABILITY_COLLATE | GTK_PRINT_CAPABILITY_REVERSE
                                                  | GTK_PRINT_CAPABILITY_SCALE | GTK_PRINT_CAPABILITY_NUMBER_UP
                                                  | GTK_PRINT_CAPABILITY_NUMBER_UP_LAYOUT));
    gtk_print_unix_dialog_set_embed_page_setup(dialog, TRUE);
    // Never without settings: GTK's print-to-file needs some to start from.
    if (!printSettings_) {
        printSettings_ = GRef<GtkPrintSettings>::adopt(gtk_print_settings_new());
    }
    gtk_print_unix_dialog_set_settings(dialog, printSettings_.get());
    if (verdict == DialogGate::Verdict::ShowWithStop) {
        gtk_dialog_add_button(GTK_DIALOG(dialog), _("_Stop Dialogs from This Page"), kStopResponse);
    }
    g_signal_connect_data(dialog, "response", G_CALLBACK(onPrintResponse),
                          new PrintRequest{GRef<WebKitPrintOperation>::retain(operation),
                                           whileAlive<void(int, GRef<GtkPrintSettings>)>(
                                               *this,
                                               [this](int response, GRef<GtkPrintSettings> chosen) {
                                                   if (chosen) {
                                                       printSettings_ = chosen;
                                                   }
                                                   answered(response);
                                               })},
                          [](gpointer data, GClosure*) { delete static_cast<PrintRequest*>(data); },
                          GConnectFlags(0));
    gtk_window_present(GTK_WINDOW(dialog));
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
    g_debug("page dialogs: the page asks for %s", choice.multiple ? "files" : "a file");
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
