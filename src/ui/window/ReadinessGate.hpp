#pragma once

#include "server/ServerState.hpp"
#include "support/Published.hpp"
#include "support/ScopedConnection.hpp"
#include "ui/window/Command.hpp"

#include <giomm/actionmap.h>

#include <vector>

namespace quillbay {

// Keeps the actions of the commands that need a ready server, found in `map`
// by their names, enabled only while it is ready (commandEnabled), for as
// long as the gate lives. The app and the window each have one for their own.
class ReadinessGate {
public:
    ReadinessGate(Gio::ActionMap& map, const std::vector<Command>& commands, const Published<ServerState>& state);

private:
    void apply();

    Gio::ActionMap& map_;
    std::vector<Command> gated_;
    const Published<ServerState>& state_;
    ScopedConnection stateChanged_;
};

} // namespace quillbay
