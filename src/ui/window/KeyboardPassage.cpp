#include "ui/window/KeyboardPassage.hpp"

#include "support/MainLoop.hpp"
#include "support/WhileAlive.hpp"

#include <gdk/gdkkeysyms.h>

namespace quillbay {

namespace {

bool has(Gdk::ModifierType state, Gdk::ModifierType modifier)
{
    return (state & modifier) == modifier;
}

} // namespace

KeyboardPassage::KeyboardPassage(Gtk::Window& window, Gtk::Widget& header, Gtk::Widget& page, Gtk::Widget& view,
                                 std::function<bool()> pageShown)
    : window_(window), header_(header), page_(page), view_(view), pageShown_(std::move(pageShown))
{
    // In the capture phase the window sees every key before the page does.
    keys_ = Gtk::EventControllerKey::create();
    keys_->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    keys_->signal_key_pressed().connect(sigc::mem_fun(*this, &KeyboardPassage::onKeyPressed), false);
    window_.add_controller(keys_);
    focusWatch_ = window_.property_focus_widget().signal_changed().connect(sigc::mem_fun(*this, &KeyboardPassage::onFocusMoved));
}

KeyboardPassage::~KeyboardPassage()
{
    window_.remove_controller(keys_);
}

bool KeyboardPassage::onKeyPressed(guint keyval, guint, Gdk::ModifierType state)
{
    const bool tab = keyval == GDK_KEY_Tab || keyval == GDK_KEY_ISO_Left_Tab || keyval == GDK_KEY_KP_Tab;
    const bool backward = has(state, Gdk::ModifierType::SHIFT_MASK) || keyval == GDK_KEY_ISO_Left_Tab;

    if (keyval == GDK_KEY_F6 || (tab && has(state, Gdk::ModifierType::CONTROL_MASK))) {
        lastTab_ = {};
        if (focusInPage())
            focusHeader(backward);
        else if (pageShown_ && pageShown_())
            focusPage();
        else
            return false;
        window_.set_focus_visible(true);
        return true;
    }
    if (tab)
        return onTab(backward ? Tab::Backward : Tab::Forward);

    // WebKit passes an unused Shift back as well; only other keys end a Tab's story.
    const auto event = keys_->get_current_event();
    if (!event || !event->is_modifier())
        lastTab_ = {};
    return false;
}

bool KeyboardPassage::onTab(Tab direction)
{
    const guint32 time = keys_->get_current_event_time();
    // When Tab leaves the page, WebKit first hands the focus on and then passes
    // the same key press back to the window, which would move it one step more.
    if (lastTab_.fromView && time == lastTab_.time && !focusOnView()) {
        window_.set_focus_visible(true);
        return true;
    }
    if (focusOnViewHelper()) {
        lastTab_ = {};
        passViewHelper(direction);
        return true;
    }
    lastTab_ = {direction, time, focusOnView()};
    return false;
}

// When Tab leaves the page, or Shift+Tab enters it from the header bar, GTK's
// next stop is the helper inside the view. Pass it by once GTK is done.
void KeyboardPassage::onFocusMoved()
{
    // Tab took the focus out of the page: ring its new place now, not only once
    // WebKit hands the key press back, which may come a long while later.
    if (lastTab_.fromView && !focusOnView())
        window_.set_focus_visible(true);
    if (lastTab_.direction == Tab::None || !focusOnViewHelper())
        return;
    postToMainLoop(whileAlive<void()>(*this,
                                      [this, direction = lastTab_.direction, pass = ++passes_] {
                                          if (pass == passes_)
                                              passViewHelper(direction);
                                      }),
                   G_PRIORITY_DEFAULT_IDLE);
}

void KeyboardPassage::passViewHelper(Tab direction)
{
    window_.set_focus_visible(true);
    if (direction == Tab::Backward)
        focusPage();
    else
        focusHeader(false);
}

void KeyboardPassage::focusHeader(bool last)
{
    header_.child_focus(last ? Gtk::DirectionType::TAB_BACKWARD : Gtk::DirectionType::TAB_FORWARD);
}

void KeyboardPassage::focusPage()
{
    view_.grab_focus();
}

bool KeyboardPassage::focusOnView()
{
    return window_.get_focus() == &view_;
}

bool KeyboardPassage::focusOnViewHelper()
{
    Gtk::Widget* focus = window_.get_focus();
    // Popovers the page opens (a <select>'s list) are surfaces of their own and keep their keys.
    return focus && focus != &view_ && focus->is_ancestor(view_) && focus->get_native() == view_.get_native();
}

bool KeyboardPassage::focusInPage()
{
    Gtk::Widget* focus = window_.get_focus();
    return focus && (focus == &page_ || focus->is_ancestor(page_));
}

} // namespace quillbay
