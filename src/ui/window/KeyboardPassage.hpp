#pragma once

#include "support/ScopedConnection.hpp"

#include <gdkmm/enums.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/window.h>
#include <sigc++/trackable.h>

#include <functional>

namespace quillbay {

// Keeps keyboard focus from being trapped in the web page.
//
// Tab past the page's last element moves to the header bar's first control,
// Shift+Tab before its first element to the header bar's last one: WebKit
// hands the focus back to GTK there, and this passes by the helper widget
// WebKit keeps inside the view (which would otherwise keep Tab for itself).
// F6 and Ctrl+Tab jump between the page and the header bar from anywhere;
// Ctrl+Shift+Tab lands on the header bar's last control.
class KeyboardPassage : public sigc::trackable {
public:
    // `page` holds `view` (the web view); `pageShown` says whether the page
    // may take the focus now.
    KeyboardPassage(Gtk::Window& window, Gtk::Widget& header, Gtk::Widget& page, Gtk::Widget& view,
                    std::function<bool()> pageShown);
    ~KeyboardPassage();
    KeyboardPassage(const KeyboardPassage&) = delete;
    KeyboardPassage& operator=(const KeyboardPassage&) = delete;

private:
    enum class Tab { None, Forward, Backward };
    // The last key pressed, when it was a plain Tab or Shift+Tab.
    struct LastTab {
        Tab direction = Tab::None;
        guint32 time = 0;
        bool fromView = false;
    };

    bool onKeyPressed(guint keyval, guint keycode, Gdk::ModifierType state);
    bool onTab(Tab direction);
    void onFocusMoved();
    // Forward on to the header bar's first control, backward into the page.
    void passViewHelper(Tab direction);
    void focusHeader(bool last);
    void focusPage();

    bool focusOnView();
    // A widget WebKit keeps inside the view, not the page itself, has the focus.
    bool focusOnViewHelper();
    bool focusInPage();

    Gtk::Window& window_;
    Gtk::Widget& header_;
    Gtk::Widget& page_;
    Gtk::Widget& view_;
    std::function<bool()> pageShown_;
    Glib::RefPtr<Gtk::EventControllerKey> keys_;
    ScopedConnection focusWatch_;
    unsigned passes_ = 0;  // of the helper: only the latest one asked for is done
    LastTab lastTab_;
};

} // namespace quillbay
