#pragma once

// Internal to the web module: the dialogs that pages of one web view ask for
// (script alerts and confirmations, prompts, file inputs).

#include "support/GObjectRef.hpp"
#include "web/DialogGate.hpp"

#include <webkit/webkit.h>

#include <memory>

namespace quillbay::web {

class PageDialogs {
public:
    explicit PageDialogs(WebKitWebView* view);
    PageDialogs(const PageDialogs&) = delete;
    PageDialogs& operator=(const PageDialogs&) = delete;

private:
    static gboolean onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
    static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static gboolean onFileChooser(WebKitWebView* view, WebKitFileChooserRequest* request,
                                  gpointer self);

    void showMessage(WebKitScriptDialog* dialog, bool withCancel);
    void chooseFiles(WebKitFileChooserRequest* request);

    WebKitWebView* view_;
    std::shared_ptr<DialogGate> gate_;  // also held weakly by the dialogs on screen
    SignalConnection scriptDialog_;
    SignalConnection loadChanged_;
    SignalConnection fileChooser_;
};

} // namespace quillbay::web
