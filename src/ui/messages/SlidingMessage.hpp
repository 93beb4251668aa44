#pragma once

#include "support/ScopedConnection.hpp"

#include <gtkmm/revealer.h>

namespace quillbay {

// A message that slides into the window's content and out again after a
// while. Slid out, it leaves the visible widget tree, so assistive
// technologies no longer find it.
class SlidingMessage : public Gtk::Revealer {
public:
    SlidingMessage();

    bool shown() const { return get_reveal_child(); }

protected:
    // Slides in, and out after `shownMs` unless held() then.
    void slideIn(unsigned shownMs);
    void slideOut();
    // While true, the message stays (checked again after another `shownMs`).
    virtual bool held() const { return false; }

private:
    // Ends before the widget goes: unmapping on the way out notifies the
    // revealed state once more.
    ScopedConnection slidOut_;
    ScopedConnection timer_;
};

} // namespace quillbay
