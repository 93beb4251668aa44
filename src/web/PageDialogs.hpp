#pragma once

// Internal to the web module: the dialogs that pages of one web view ask for
// (script alerts and confirmations, prompts, printing, file inputs). Only the
// page itself gets them, never a frame inside it (see FrameSandbox).

#include "support/GObjectRef.hpp"
#include "web/DialogGate.hpp"

#include <webkit/webkit.h>

#include <memory>

namespace quillbay::web {

class PageDialogs {
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

    WebKitWebView* view_;
    std::shared_ptr<DialogGate> gate_;  // also held weakly by the dialogs on screen
    // The print settings last chosen, offered again; shared with the print dialog on screen.
    std::shared_ptr<GRef<GtkPrintSettings>> printSettings_;
    GtkEventController* input_ = nullptr;  // owned by the view
    SignalConnection scriptDialog_;
    SignalConnection loadChanged_;
    SignalConnection fileChooser_;
    SignalConnection print_;
    SignalConnection pressed_;
};

} // namespace quillbay::web
