#pragma once

#include "ui/messages/SlidingMessage.hpp"

#include <gtkmm/label.h>

#include <string>

namespace quillbay {

// A short message that slides in at the top of the content and leaves by itself.
class Notice : public SlidingMessage {
public:
    static constexpr unsigned kShownMs = 4000;

    Notice();

    void show(const std::string& text);
    Glib::ustring text() const { return label_.get_text(); }

private:
    Gtk::Label label_;
};

} // namespace quillbay
