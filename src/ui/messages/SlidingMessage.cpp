#include "ui/messages/SlidingMessage.hpp"

namespace quillbay {

void hideOnceSlidOut(Gtk::Revealer& message)
{
    message.property_child_revealed().signal_changed().connect([&message] {
        if (!message.get_child_revealed() && !message.get_reveal_child())
            message.set_visible(false);
    });
    message.set_visible(message.get_reveal_child());
}

void slideIn(Gtk::Revealer& message)
{
    message.set_visible(true);
    message.set_reveal_child(true);
}

} // namespace quillbay
