#include "server/SupervisorPhase.hpp"

namespace quillbay {

const char* phaseName(SupervisorPhase phase)
{
    switch (phase) {
    case SupervisorPhase::Stopped: return "Stopped";
    case SupervisorPhase::Starting: return "Starting";
    case SupervisorPhase::Running: return "Running";
    case SupervisorPhase::Unanswered: return "Unanswered";
    case SupervisorPhase::Stopping: return "Stopping";
    case SupervisorPhase::Failed: return "Failed";
    }
    return "?";
}

bool mayChangePhase(SupervisorPhase from, SupervisorPhase to)
{
    using P = SupervisorPhase;
    switch (from) {
    case P::Stopped:
    case P::Failed:
        return to == P::Starting;
    case P::Starting:
        return to == P::Running || to == P::Unanswered || to == P::Failed || to == P::Stopping;
    case P::Running:
    case P::Unanswered:
        return to == P::Failed || to == P::Stopping;
    case P::Stopping:
        return to == P::Stopped;
    }
    return false;
}

ServerState publishedState(SupervisorPhase phase, const ServerReason& reason)
{
    switch (phase) {
    case SupervisorPhase::Stopped:
    case SupervisorPhase::Stopping:
        return ServerState::idle();
    case SupervisorPhase::Starting:
        return ServerState::starting();
    case SupervisorPhase::Running:
        return ServerState::ready();
    case SupervisorPhase::Unanswered:
    case SupervisorPhase::Failed:
        return ServerState::failed(reason);
    }
    return ServerState::idle();
}

} // namespace quillbay
