#pragma once

#include <gtkmm/messagedialog.h>

#include <functional>
#include <optional>
#include <vector>

namespace quillbay {

struct AlertButton {
    Glib::ustring label;
    int response;
};

struct Alert {
    Gtk::MessageType type = Gtk::MessageType::OTHER;
    Glib::ustring title;  // the window's title; the message when empty
    Glib::ustring message;
    Glib::ustring detail;
    Gtk::ButtonsType stockButtons = Gtk::ButtonsType::NONE;
    std::vector<AlertButton> buttons;  // added after the stock buttons, in order
    std::optional<int> defaultResponse;
};

// Shows a message dialog, window-modal to the dialog parent, without a nested
// main loop. Once it is answered (closing it answers with a negative response
// id) it hides, calls `answered` and deletes itself when the main loop is next idle.
void showModalAlert(const Alert& alert, std::function<void(int response)> answered = {});

} // namespace quillbay
