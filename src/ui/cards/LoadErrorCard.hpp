#pragma once

#include <gtkmm/box.h>
#include <gtkmm/builder.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <functional>
#include <memory>
#include <string>

namespace quillbay {

// Where the load error card is laid out.
inline constexpr const char* kLoadErrorCardResource = "/org/quillbay/Quillbay/ui/load-error-card.ui";

// The panel over the page when the last load failed: the engine's words and "Retry".
class LoadErrorCard : public Gtk::Box {
public:
    // Builds the card at the end of `parent`.
    static std::unique_ptr<LoadErrorCard> create(Gtk::Box& parent, std::function<void()> retry);

    // For Gtk::Builder::get_widget_derived.
    LoadErrorCard(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder, std::function<void()> retry);

    void setMessage(const std::string& message);

    // "Retry": the window's default button while the card is shown.
    Gtk::Button& retryButton() { return retry_; }

private:
    std::function<void()> onRetry_;
    Gtk::Label& message_;
    Gtk::Button& retry_;
};

} // namespace quillbay
