#pragma once

#include "ui/messages/SlidingMessage.hpp"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/eventcontrollermotion.h>
#include <gtkmm/label.h>

#include <functional>
#include <string>

namespace quillbay {

// A short message at the bottom of the content, with at most one button,
// that leaves by itself unless it holds the keyboard focus or the pointer.
// A new message replaces the one shown.
class Toast : public SlidingMessage {
public:
    static constexpr unsigned kShownMs = 6000;

    Toast();

    void show(const std::string& text);
    // With a button labelled `actionLabel` that runs `action` and hides the toast.
    void show(const std::string& text, const std::string& actionLabel, std::function<void()> action);
    void dismiss();

    Glib::ustring text() const { return label_.get_text(); }
    Gtk::Button& actionButton() { return action_; }
    Gtk::Button& closeButton() { return close_; }

private:
    bool held() const override;

    Gtk::Box row_;
    Gtk::Label label_;
    Gtk::Button action_;
    Gtk::Button close_;
    Glib::RefPtr<Gtk::EventControllerMotion> pointer_;
    std::function<void()> run_;
};

} // namespace quillbay
