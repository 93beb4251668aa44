#pragma once

#include "ui/find/FindBarLogic.hpp"
#include "web/PageFinder.hpp"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/searchbar.h>
#include <gtkmm/searchentry.h>

namespace quillbay {

class WebViewModel;

// The find-in-page bar over the web view: an entry, the number of matches
// (or "No matches" in the error style), previous and next.
class FindBar : public Gtk::SearchBar {
public:
    explicit FindBar(WebViewModel& web);

    // Shows the bar with the entry focused and its text selected.
    void open();
    // Hides the bar and clears the highlight.
    void close();

    bool isOpen() const { return get_search_mode(); }
    Gtk::SearchEntry& entry() { return entry_; }
    const FindBarLogic::Status& status() const { return status_; }

private:
    void nameCloseButton();
    void onTextChanged();
    void onResult(std::optional<unsigned> matches);
    void showStatus(const FindBarLogic::Status& status);
    bool onKey(unsigned keyval, unsigned keycode, Gdk::ModifierType state);

    PageFinder finder_;
    FindBarLogic::Status status_;
    Gtk::Box row_;
    Gtk::SearchEntry entry_;
    Gtk::Label statusLabel_;
    Gtk::Button previous_;
    Gtk::Button next_;
};

} // namespace quillbay
