#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <functional>
#include <string>

namespace quillbay {

// The panel over the page when the last load failed: the engine's words and "Retry".
class LoadErrorCard : public Gtk::Box {
public:
    explicit LoadErrorCard(std::function<void()> retry);

    void setMessage(const std::string& message);
    Glib::ustring message() const { return message_.get_text(); }

    // "Retry": the window's default button while the card is shown.
    Gtk::Button& retryButton() { return retry_; }

private:
    std::function<void()> onRetry_;
    Gtk::Label headline_;
    Gtk::Label message_;
    Gtk::Button retry_;
};

} // namespace quillbay
