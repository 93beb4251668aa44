#include "ui/cards/LoadErrorCard.hpp"

#include <glib/gi18n.h>

namespace quillbay {

LoadErrorCard::LoadErrorCard(std::function<void()> retry)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 14),
      onRetry_(std::move(retry)),
      headline_(_("NO SIGNAL FROM THE SERVER")),
      retry_(_("Retry"))
{
    add_css_class("load-error-card");
    set_overflow(Gtk::Overflow::HIDDEN);
    set_halign(Gtk::Align::CENTER);
    set_valign(Gtk::Align::CENTER);

    headline_.add_css_class("card-headline");
    headline_.property_accessible_role() = Gtk::Accessible::Role::HEADING;
    message_.add_css_class("card-footnote");
    message_.set_justify(Gtk::Justification::CENTER);
    message_.set_wrap(true);
    message_.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
    // Natural width: wrap only when the window is too narrow for the line.
    message_.set_max_width_chars(400);

    retry_.set_halign(Gtk::Align::CENTER);
    retry_.add_css_class("suggested-action");
    retry_.signal_clicked().connect([this] {
        if (onRetry_)
            onRetry_();
    });

    append(headline_);
    append(message_);
    append(retry_);
}

void LoadErrorCard::setMessage(const std::string& message)
{
    message_.set_text(message);
}

} // namespace quillbay
