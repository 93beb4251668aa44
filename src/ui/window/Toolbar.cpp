#include "ui/window/Toolbar.hpp"

#include "support/AccessibleText.hpp"
#include "ui/window/WindowCommands.hpp"

#include <glib/gi18n.h>

namespace quillbay {

namespace {

Gtk::Button& commandButton(const Command& command)
{
    auto* button = Gtk::make_managed<Gtk::Button>();
    button->set_icon_name(command.icon);
    button->set_tooltip_text(plainLabel(command));
    button->set_action_name(std::string(command.action));
    setAccessibleLabel(*button, plainLabel(command));
    return *button;
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
    // The class tells its menu's pack items apart from the menu bar's.
    theme_.add_css_class("theme-menu");
    theme_.set_sensitive(false);

    // The window's commands with an icon, in table order after the theme
    // menu; pack_end fills from the right edge inwards.
    const auto& rows = windowCommands();
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        if (row->command.icon)
            pack_end(commandButton(row->command));
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
