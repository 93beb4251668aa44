#include "support/ActionSet.hpp"

#include <glibmm/variant.h>

namespace quillbay {

std::string ActionSet::mapName(std::string_view name)
{
    const auto dot = name.find('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(dot + 1));
}

Glib::RefPtr<Gio::SimpleAction> ActionSet::add(std::string_view name, std::function<void()> run)
{
    auto action = Gio::SimpleAction::create(mapName(name));
    action->signal_activate().connect([run = std::move(run)](const Glib::VariantBase&) { run(); });
    add(action);
    return action;
}

namespace {

void runWithText(const Glib::RefPtr<Gio::SimpleAction>& action, std::function<void(const std::string&)> run)
{
    action->set_enabled(static_cast<bool>(run));
    action->signal_activate().connect([run = std::move(run)](const Glib::VariantBase& parameter) {
        if (run && parameter.is_of_type(Glib::VARIANT_TYPE_STRING))
            run(Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(parameter).get());
    });
}

} // namespace

Glib::RefPtr<Gio::SimpleAction> ActionSet::addWithText(std::string_view name, std::function<void(const std::string&)> run)
{
    auto action = Gio::SimpleAction::create(mapName(name), Glib::VARIANT_TYPE_STRING);
    runWithText(action, std::move(run));
    add(action);
    return action;
}

Glib::RefPtr<Gio::SimpleAction> ActionSet::addChoice(std::string_view name, std::function<void(const std::string&)> run)
{
    auto action = Gio::SimpleAction::create_radio_string(mapName(name), "");
    runWithText(action, std::move(run));
    add(action);
    return action;
}

void ActionSet::add(const Glib::RefPtr<Gio::SimpleAction>& action)
{
    map_.add_action(action);
    actions_.push_back(action);
}

Glib::RefPtr<Gio::SimpleAction> ActionSet::find(std::string_view name) const
{
    const std::string wanted = mapName(name);
    for (const auto& action : actions_)
        if (action->get_name().raw() == wanted)
            return action;
    return {};
}

ActionSet::~ActionSet()
{
    for (const auto& action : actions_)
        map_.remove_action(action->get_name());
}

} // namespace quillbay
