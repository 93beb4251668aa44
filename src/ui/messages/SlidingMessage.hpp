#pragma once

#include <gtkmm/revealer.h>
#include <sigc++/connection.h>

namespace quillbay {

// A message that slides into the window's content and out again after a
// while. Slid out, it leaves the visible widget tree, so assistive
// technologies no longer find it.
class SlidingMessage : public Gtk::Revealer {
public:
    SlidingMessage();
    ~SlidingMessage() override;

    bool shown() const { return get_reveal_child(); }

protected:
    // Slides in, and out after `shownMs` unless held() then.
    void slideIn(unsigned shownMs);
    void slideOut();
    // While true, the message stays (checked again after another `shownMs`).
    virtual bool held() const { return false; }

private:
    sigc::connection slidOut_;
    sigc::connection timer_;
};

} // namespace quillbay
