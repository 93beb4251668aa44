#include "ui/messages/Toast.hpp"

#include "support/AccessibleText.hpp"

#include <glib/gi18n.h>

namespace quillbay {

Toast::Toast() : row_(Gtk::Orientation::HORIZONTAL, 12)
{
    set_halign(Gtk::Align::CENTER);
    set_valign(Gtk::Align::END);
    set_transition_type(Gtk::RevealerTransitionType::SLIDE_UP);
    row_.add_css_class("toast");
    label_.set_wrap(true);
    label_.set_max_width_chars(70);
    label_.set_natural_wrap_mode(Gtk::NaturalWrapMode::NONE);
    label_.set_selectable(false);
    close_.set_icon_name("window-close-symbolic");
    close_.add_css_class("flat");
    close_.set_tooltip_text(_("Dismiss"));
    setAccessibleLabel(close_, _("Dismiss"));
    close_.signal_clicked().connect(sigc::mem_fun(*this, &Toast::dismiss));
    action_.signal_clicked().connect([this] {
        auto run = run_;
        dismiss();
        if (run)
            run();
    });
    row_.append(label_);
    row_.append(action_);
    row_.append(close_);
    set_child(row_);
    pointer_ = Gtk::EventControllerMotion::create();
    row_.add_controller(pointer_);
    set_can_target(false);
}

void Toast::show(const std::string& text)
{
    show(text, {}, {});
}

void Toast::show(const std::string& text, const std::string& actionLabel, std::function<void()> action)
{
    label_.set_text(text);
    run_ = std::move(action);
    action_.set_label(actionLabel);
    action_.set_visible(!actionLabel.empty() && run_);
    set_can_target(true);
    slideIn(kShownMs);
}

// A toast being read with the keyboard or the pointer stays until it is let go.
bool Toast::held() const
{
    // The window's focus, also while another window is active: the reader comes back to it.
    GtkWidget* row = GTK_WIDGET(row_.gobj());
    GtkRoot* root = gtk_widget_get_root(row);
    GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
    const bool focusInside = focus && (focus == row || gtk_widget_is_ancestor(focus, row));
    return focusInside || pointer_->contains_pointer();
}

void Toast::dismiss()
{
    slideOut();
    run_ = nullptr;
    // Hidden, it must not catch clicks meant for the page below.
    set_can_target(false);
}

} // namespace quillbay
