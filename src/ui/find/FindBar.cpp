#include "ui/find/FindBar.hpp"

#include "support/AccessibleText.hpp"
#include "support/BuiltWidget.hpp"
#include "web/WebViewModel.hpp"

#include <glib/gi18n.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/root.h>

#include <algorithm>

namespace quillbay {

std::unique_ptr<FindBar> FindBar::create(Gtk::Box& parent, WebViewModel& web)
{
    return buildWidget<FindBar>(kFindBarResource, "find_bar", [&](Gtk::Widget& bar) { parent.prepend(bar); }, web);
}

FindBar::FindBar(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder, WebViewModel& web)
    : Gtk::SearchBar(object),
      page_(web.widget()),
      finder_(web),
      entry_(*builder->get_widget<Gtk::SearchEntry>("entry")),
      statusLabel_(*builder->get_widget<Gtk::Label>("status")),
      previous_(*builder->get_widget<Gtk::Button>("previous")),
      next_(*builder->get_widget<Gtk::Button>("next"))
{
    nameSearchBarCloseButton(*this, {&previous_, &next_});
    connect_entry(entry_);

    entry_.signal_search_changed().connect(sigc::mem_fun(*this, &FindBar::onTextChanged));
    entry_.signal_next_match().connect([this] { finder_.next(); });
    entry_.signal_previous_match().connect([this] { finder_.previous(); });
    entry_.signal_stop_search().connect(sigc::mem_fun(*this, &FindBar::close));
    previous_.signal_clicked().connect([this] { finder_.previous(); });
    next_.signal_clicked().connect([this] { finder_.next(); });
    // Before the entry: Shift+Enter would otherwise only "activate" it.
    auto keys = Gtk::EventControllerKey::create();
    keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    keys->signal_key_pressed().connect(sigc::mem_fun(*this, &FindBar::onKey), false);
    entry_.add_controller(keys);

    finder_.signalResult().connect(sigc::mem_fun(*this, &FindBar::onResult));
    // Escape, the close button and close() all end here.
    property_search_mode_enabled().signal_changed().connect([this] {
        if (!get_search_mode())
            onClosed();
    });
}

FindBar::~FindBar()
{
    rememberFocus(nullptr);
}

void FindBar::rememberFocus(GtkWidget* widget)
{
    if (focusBefore_)
        g_object_remove_weak_pointer(G_OBJECT(focusBefore_), reinterpret_cast<gpointer*>(&focusBefore_));
    focusBefore_ = widget;
    if (focusBefore_)
        g_object_add_weak_pointer(G_OBJECT(focusBefore_), reinterpret_cast<gpointer*>(&focusBefore_));
}

void nameSearchBarCloseButton(Gtk::SearchBar& bar, std::initializer_list<const Gtk::Widget*> ownButtons)
{
    std::vector<Gtk::Widget*> widgets{&bar};
    for (std::size_t i = 0; i < widgets.size(); ++i)
        for (Gtk::Widget* child = widgets[i]->get_first_child(); child; child = child->get_next_sibling())
            widgets.push_back(child);
    for (Gtk::Widget* widget : widgets)
        if (GTK_IS_BUTTON(widget->gobj()) && std::find(ownButtons.begin(), ownButtons.end(), widget) == ownButtons.end())
            setAccessibleLabel(*widget, _("Close Find Bar"));
}

void FindBar::open()
{
    const bool wasOpen = isOpen();
    auto* root = get_root();
    GtkWidget* focus = root ? gtk_root_get_focus(root->gobj()) : nullptr;
    if (!focus || !gtk_widget_is_ancestor(focus, GTK_WIDGET(gobj())))
        rememberFocus(focus);
    set_visible(true);
    set_search_mode(true);
    entry_.grab_focus();
    entry_.select_region(0, -1);
    if (!wasOpen && !entry_.get_text().empty())
        onTextChanged();
}

void FindBar::close()
{
    set_search_mode(false);
}

void FindBar::onClosed()
{
    finder_.finish();
    showStatus({});
    // Before the bar goes: the entry holding the focus would pass it on to the header bar.
    giveFocusBack();
    // Closed, the bar leaves the window entirely, for assistive technologies too.
    set_visible(false);
}

void FindBar::giveFocusBack()
{
    GtkWidget* back = focusBefore_;
    if (!back || !gtk_widget_get_mapped(back) || !gtk_widget_grab_focus(back))
        page_.grab_focus();
}

void FindBar::onTextChanged()
{
    const std::string text = entry_.get_text();
    if (text.empty())
        showStatus({});
    finder_.search(text);
}

void FindBar::onResult(const PageFinder::Result& result)
{
    showStatus(FindBarLogic::status(entry_.get_text(), result.matches, result.current, PageFinder::kMaxCount));
}

void FindBar::showStatus(const FindBarLogic::Status& status)
{
    status_ = status;
    statusLabel_.set_text(status.text);
    setAccessibleHidden(statusLabel_, status.text.empty());
    if (status.noMatches) {
        entry_.add_css_class("error");
        statusLabel_.add_css_class("error");
    } else {
        entry_.remove_css_class("error");
        statusLabel_.remove_css_class("error");
    }
}

bool FindBar::onKey(unsigned keyval, unsigned, Gdk::ModifierType state)
{
    const bool shift = (state & Gdk::ModifierType::SHIFT_MASK) == Gdk::ModifierType::SHIFT_MASK;
    switch (FindBarLogic::keyAction(keyval, shift)) {
    case FindBarLogic::KeyAction::Next:
        finder_.next();
        return true;
    case FindBarLogic::KeyAction::Previous:
        finder_.previous();
        return true;
    case FindBarLogic::KeyAction::Close:
        close();
        return true;
    case FindBarLogic::KeyAction::None:
        return false;
    }
    return false;
}

} // namespace quillbay
