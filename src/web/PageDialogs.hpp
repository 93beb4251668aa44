#pragma once

// Internal to the web module: the dialogs that pages of one web view ask for
// (script alerts and confirmations, prompts, file inputs).

#include "support/GObjectRef.hpp"

#include <webkit/webkit.h>

#include <functional>

namespace Gtk {
class Window;
}

namespace quillbay::web {

class PageDialogs {
public:
    using ParentWindow = std::function<Gtk::Window*()>;

    PageDialogs(WebKitWebView* view, ParentWindow parent);
    PageDialogs(const PageDialogs&) = delete;
    PageDialogs& operator=(const PageDialogs&) = delete;

private:
    static gboolean onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
    static gboolean onFileChooser(WebKitWebView* view, WebKitFileChooserRequest* request,
                                  gpointer self);

    void showMessage(WebKitScriptDialog* dialog, bool withCancel);
    void chooseFiles(WebKitFileChooserRequest* request);

    ParentWindow parent_;
    SignalConnection scriptDialog_;
    SignalConnection fileChooser_;
};

} // namespace quillbay::web
