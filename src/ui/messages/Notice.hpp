#pragma once

#include <gtkmm/label.h>
#include <gtkmm/revealer.h>
#include <sigc++/connection.h>

#include <string>

namespace quillbay {

// A short message that slides in at the top of the content and leaves by itself.
class Notice : public Gtk::Revealer {
public:
    static constexpr unsigned kShownMs = 4000;

    Notice();
    ~Notice() override;

    void show(const std::string& text);
    bool shown() const { return get_reveal_child(); }
    Glib::ustring text() const { return label_.get_text(); }

private:
    Gtk::Label label_;
    sigc::connection hideTimer_;
};

} // namespace quillbay
