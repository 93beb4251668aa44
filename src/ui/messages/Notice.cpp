#include "ui/messages/Notice.hpp"

namespace quillbay {

Notice::Notice()
{
    set_halign(Gtk::Align::CENTER);
    set_valign(Gtk::Align::START);
    set_transition_type(Gtk::RevealerTransitionType::SLIDE_DOWN);
    set_can_target(false);
    label_.add_css_class("notice");
    label_.set_wrap(true);
    label_.set_max_width_chars(80);
    set_child(label_);
}

void Notice::show(const std::string& text)
{
    label_.set_text(text);
    slideIn(kShownMs);
}

} // namespace quillbay
