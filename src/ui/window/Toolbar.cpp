#include "ui/window/Toolbar.hpp"

#include "support/AccessibleText.hpp"

#include <giomm/menu.h>
#include <glib/gi18n.h>

namespace quillbay {

namespace {

void iconButton(Gtk::Button& button, const char* icon, const char* title, const char* action)
{
    button.set_icon_name(icon);
    button.set_tooltip_text(title);
    button.set_action_name(action);
    setAccessibleLabel(button, title);
}

} // namespace

Toolbar::Toolbar() : pageSwitch_(Gtk::Orientation::HORIZONTAL, 0)
{
    set_show_title_buttons(true);

    desk_.set_label(std::string(title(StudioPage::Desk)));
    room_.set_label(std::string(title(StudioPage::Room)));
    room_.set_group(desk_);
    desk_.set_active(true);
    desk_.signal_toggled().connect([this] { onToggled(StudioPage::Desk); });
    room_.signal_toggled().connect([this] { onToggled(StudioPage::Room); });
    pageSwitch_.add_css_class("linked");
    pageSwitch_.add_css_class("page-switch");
    pageSwitch_.append(desk_);
    pageSwitch_.append(room_);
    pageSwitch_.set_tooltip_text(_("Desk: the DAW. Room: the live board and mastering deck."));
    setAccessibleLabel(pageSwitch_, _("Surface"));
    set_title_widget(pageSwitch_);

    theme_.set_icon_name("applications-graphics-symbolic");
    theme_.set_tooltip_text(_("Switch or install a theme pack"));
    // The menu button is a holder around the button that takes the focus and
    // the click: that inner one is the button assistive technologies meet.
    theme_.property_accessible_role() = Gtk::Accessible::Role::GENERIC;
    if (Gtk::Widget* button = theme_.get_first_child()) {
        setAccessibleLabel(*button, _("Theme"));
        gtk_accessible_update_property(GTK_ACCESSIBLE(button->gobj()), GTK_ACCESSIBLE_PROPERTY_HAS_POPUP, TRUE, -1);
    }
    theme_.set_sensitive(false);
    // Until the theme menu model is handed over, offer what is always there.
    auto fallback = Gio::Menu::create();
    fallback->append(_("Install Theme Pack\u2026"), "app.install-theme");
    theme_.set_menu_model(fallback);

    iconButton(reload_, "view-refresh-symbolic", _("Reload"), "win.reload");
    iconButton(openInBrowser_, "web-browser-symbolic", _("Open in Browser"), "win.open-in-browser");

    // pack_end fills from the right edge inwards.
    pack_end(openInBrowser_);
    pack_end(reload_);
    pack_end(theme_);
}

void Toolbar::showPage(StudioPage page)
{
    showing_ = true;
    pageButton(page).set_active(true);
    showing_ = false;
}

StudioPage Toolbar::shownPage() const
{
    return room_.get_active() ? StudioPage::Room : StudioPage::Desk;
}

void Toolbar::setServerReady(bool ready)
{
    theme_.set_sensitive(ready);
}

void Toolbar::setThemeMenuModel(const Glib::RefPtr<Gio::MenuModel>& model)
{
    theme_.set_menu_model(model);
}

void Toolbar::onToggled(StudioPage page)
{
    if (showing_ || !pageButton(page).get_active())
        return;
    pagePicked_.emit(page);
}

} // namespace quillbay
