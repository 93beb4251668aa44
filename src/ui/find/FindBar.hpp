#pragma once

#include "ui/find/FindBarLogic.hpp"
#include "web/PageFinder.hpp"

#include <gtkmm/builder.h>
#include <gtkmm/button.h>
#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/searchbar.h>
#include <gtkmm/searchentry.h>

#include <initializer_list>
#include <memory>

namespace quillbay {

class WebViewModel;

// Where the find bar is laid out.
inline constexpr const char* kFindBarResource = "/org/quillbay/Quillbay/ui/find-bar.ui";

// Names the search bar's own close button, which shows only an icon; every
// other button in `bar` is one of `ownButtons`.
void nameSearchBarCloseButton(Gtk::SearchBar& bar, std::initializer_list<const Gtk::Widget*> ownButtons);

// The find-in-page bar above the web view: an entry, the number of matches
// ("2 of 7" where the current one is known, or "No matches" in the error
// style), previous and next. Closed, it gives the focus back to where it was.
class FindBar : public Gtk::SearchBar {
public:
    // Builds the bar at the start of `parent`.
    static std::unique_ptr<FindBar> create(Gtk::Box& parent, WebViewModel& web);

    // For Gtk::Builder::get_widget_derived.
    FindBar(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder, WebViewModel& web);
    ~FindBar() override;

    // Shows the bar with the entry focused and its text selected.
    void open();
    // Hides the bar, clears the highlight and gives the focus back.
    void close();

    bool isOpen() const { return get_search_mode(); }
    Gtk::SearchEntry& entry() { return entry_; }
    const FindBarLogic::Status& status() const { return status_; }

private:
    void onTextChanged();
    void onResult(const PageFinder::Result& result);
    void onClosed();
    void rememberFocus(GtkWidget* widget);
    // Back to where it was when the bar opened, else to the page.
    void giveFocusBack();
    void showStatus(const FindBarLogic::Status& status);
    bool onKey(unsigned keyval, unsigned keycode, Gdk::ModifierType state);

    Gtk::Widget& page_;
    GtkWidget* focusBefore_ = nullptr;  // weak: cleared when the widget goes
    PageFinder finder_;
    FindBarLogic::Status status_;
    Gtk::SearchEntry& entry_;
    Gtk::Label& statusLabel_;
    Gtk::Button& previous_;
    Gtk::Button& next_;
};

} // namespace quillbay
