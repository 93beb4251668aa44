#pragma once

// Internal to the web module: the dialogs that pages of one web view ask for
// (script alerts and confirmations, prompts, printing, file inputs). Only the
// page itself gets them, never a frame inside it (see FrameSandbox).

#include "support/GObjectRef.hpp"
#include "web/DialogGate.hpp"

#include <sigc++/trackable.h>
#include <webkit/webkit.h>

namespace quillbay::web {

// A dialog on screen may outlive this object: its answer still reaches the
// page, but no longer this object (whileAlive).
class PageDialogs : public sigc::trackable {
public:
    explicit PageDialogs(WebKitWebView* view);
    ~PageDialogs();
    PageDialogs(const PageDialogs&) = delete;
    PageDialogs& operator=(const PageDialogs&) = delete;

private:
    static gboolean onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
    static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static gboolean onFileChooser(WebKitWebView* view, WebKitFileChooserRequest* request,
                                  gpointer self);
    static gboolean onPrint(WebKitWebView* view, WebKitPrintOperation* operation, gpointer self);
    static gboolean onInput(GtkEventControllerLegacy* controller, GdkEvent* event, gpointer self);

    void showMessage(WebKitScriptDialog* dialog, bool withCancel);
    void chooseFiles(WebKitFileChooserRequest* request);
    void askToPrint(WebKitPrintOperation* operation);
    // A shown dialog was answered with `response`.
    void answered(int response);

    WebKitWebView* view_;
    DialogGate gate_;
    // The print settings last chosen, offered again.
    GRef<GtkPrintSettings> printSettings_;
    GtkEventController* input_ = nullptr;  // owned by the view
    SignalConnection scriptDialog_;
    SignalConnection loadChanged_;
    SignalConnection fileChooser_;
    SignalConnection print_;
    SignalConnection pressed_;
};

} // namespace quillbay::web
