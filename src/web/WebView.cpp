#include "web/WebView.hpp"

#include "web/WebViewModel.hpp"

#include <gtkmm/binlayout.h>
#include <gtkmm/box.h>
#include <gtkmm/overlay.h>
#include <gtkmm/window.h>

namespace quillbay {
namespace {

// Takes the widget out of whatever holds it now.
void detach(Gtk::Widget& child)
{
    Gtk::Widget* parent = child.get_parent();
    if (!parent) {
        return;
    }
    if (auto* holder = dynamic_cast<WebView*>(parent)) {
        holder->release();
    } else if (auto* box = dynamic_cast<Gtk::Box*>(parent)) {
        box->remove(child);
    } else if (auto* overlay = dynamic_cast<Gtk::Overlay*>(parent)) {
        if (overlay->get_child() == &child) {
            overlay->unset_child();
        } else {
            overlay->remove_overlay(child);
        }
    } else if (auto* window = dynamic_cast<Gtk::Window*>(parent)) {
        window->unset_child();
    } else {
        child.unparent();
    }
}

} // namespace

WebView::WebView(WebViewModel& model) : view_(model.widget())
{
    view_.reference();  // safe to touch even if the model went first
    set_name("quillbay-web-view");
    set_layout_manager(Gtk::BinLayout::create());
    set_hexpand(true);
    set_vexpand(true);
    detach(view_);
    view_.insert_at_end(*this);
}

WebView::~WebView()
{
    release();
    view_.unreference();
}

void WebView::release()
{
    if (view_.get_parent() == this) {
        view_.unparent();
    }
}

} // namespace quillbay
