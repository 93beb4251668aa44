#include "ui/cards/LoadErrorCard.hpp"

#include "support/BuiltWidget.hpp"

namespace quillbay {

std::unique_ptr<LoadErrorCard> LoadErrorCard::create(Gtk::Box& parent, std::function<void()> retry)
{
    return buildWidget<LoadErrorCard>(kLoadErrorCardResource, "load_error_card",
                                      [&](Gtk::Widget& card) { parent.append(card); }, std::move(retry));
}

LoadErrorCard::LoadErrorCard(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder,
                             std::function<void()> retry)
    : Gtk::Box(object),
      onRetry_(std::move(retry)),
      message_(*builder->get_widget<Gtk::Label>("message")),
      retry_(*builder->get_widget<Gtk::Button>("retry"))
{
    retry_.signal_clicked().connect([this] {
        if (onRetry_)
            onRetry_();
    });
}

void LoadErrorCard::setMessage(const std::string& message)
{
    message_.set_text(message);
}

} // namespace quillbay
