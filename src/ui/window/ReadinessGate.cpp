#include "ui/window/ReadinessGate.hpp"

#include "support/ActionSet.hpp"

#include <giomm/simpleaction.h>

namespace quillbay {

ReadinessGate::ReadinessGate(Gio::ActionMap& map, const std::vector<Command>& commands, const Published<ServerState>& state)
    : map_(map), state_(state)
{
    for (const Command& command : commands)
        if (command.needsReadyServer)
            gated_.push_back(command);
    stateChanged_ = state_.signalChanged().connect([this] { apply(); });
    apply();
}

void ReadinessGate::apply()
{
    for (const Command& command : gated_)
        if (auto action = std::dynamic_pointer_cast<Gio::SimpleAction>(map_.lookup_action(ActionSet::mapName(command.action))))
            action->set_enabled(commandEnabled(command, state_.get()));
}

} // namespace quillbay
