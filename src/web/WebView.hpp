#pragma once

#include <gtkmm/widget.h>

namespace quillbay {

class WebViewModel;

// Shows the model's one web view. Any number of these may be built over the
// run; each takes the same view from wherever it was placed before, so the
// page is never reloaded when the window rebuilds its content.
class WebView : public Gtk::Widget {
public:
    explicit WebView(WebViewModel& model);
    ~WebView() override;
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    // Lets go of the web view if this holder still has it.
    void release();

private:
    Gtk::Widget& view_;
};

} // namespace quillbay
