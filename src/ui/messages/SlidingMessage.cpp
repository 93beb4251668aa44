#include "ui/messages/SlidingMessage.hpp"

#include <glibmm/main.h>

namespace quillbay {

SlidingMessage::SlidingMessage()
{
    set_reveal_child(false);
    set_visible(false);
    slidOut_ = property_child_revealed().signal_changed().connect([this] {
        if (!get_child_revealed() && !get_reveal_child())
            set_visible(false);
    });
}

void SlidingMessage::slideIn(unsigned shownMs)
{
    set_visible(true);
    set_reveal_child(true);
    timer_ = Glib::signal_timeout().connect(
        [this] {
            if (held())
                return true;
            slideOut();
            return false;
        },
        shownMs);
}

void SlidingMessage::slideOut()
{
    timer_.disconnect();
    set_reveal_child(false);
}

} // namespace quillbay
