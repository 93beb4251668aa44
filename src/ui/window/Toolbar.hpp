#pragma once

#include "ui/preferences/StudioPage.hpp"

#include <giomm/menumodel.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/togglebutton.h>

namespace quillbay {

// The window's header bar: the Desk | Room switch in the middle, then the
// theme menu (its model comes from the application) and a button for each
// of the window's commands with an icon (Reload, Open in Browser).
class Toolbar : public Gtk::HeaderBar {
public:
    Toolbar();

    // Emitted when the user picks a page (not by showPage).
    sigc::signal<void(StudioPage)>& signalPagePicked() { return pagePicked_; }
    void showPage(StudioPage page);
    StudioPage shownPage() const;

    void setServerReady(bool ready);
    void setThemeMenuModel(const Glib::RefPtr<Gio::MenuModel>& model);

    Gtk::ToggleButton& pageButton(StudioPage page) { return page == StudioPage::Room ? room_ : desk_; }
    Gtk::MenuButton& themeButton() { return theme_; }

private:
    void onToggled(StudioPage page);

    sigc::signal<void(StudioPage)> pagePicked_;
    bool showing_ = false;
    Gtk::Box pageSwitch_;
    Gtk::ToggleButton desk_;
    Gtk::ToggleButton room_;
    Gtk::MenuButton theme_;
};

} // namespace quillbay
