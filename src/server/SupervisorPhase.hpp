#pragma once

#include "server/ServerReason.hpp"
#include "server/ServerState.hpp"

#include <optional>

namespace quillbay {

// Where the supervisor stands, and what it publishes for it:
//
//   phase       child  published state    left by
//   Stopped     no     idle               start -> Starting
//   Starting    yes*   starting           answer -> Running, give-up -> Unanswered,
//                                         failure or exit -> Failed, stop -> Stopping
//   Running     yes    ready              exit -> Failed, stop -> Stopping
//   Unanswered  yes    failed (no answer) exit -> Failed (same reason), stop -> Stopping
//   Stopping    yes    idle               grace over and reaped -> Stopped
//   Failed      no     failed (reason)    start -> Starting
//
//   * from the launch on; before it the start checks its files and chooses its port.
//
// Stopping publishes idle: no server is wanted any more from the moment of the
// stop, and the stop never fails. The stopped child is still held until the
// grace is over and it has been reaped, so a start meanwhile waits for that,
// and hasChild() is false. Every other pair of phases is refused.
enum class SupervisorPhase { Stopped, Starting, Running, Unanswered, Stopping, Failed };

const char* phaseName(SupervisorPhase phase);
bool mayChangePhase(SupervisorPhase from, SupervisorPhase to);
// `reason` is that of Failed or Unanswered.
ServerState publishedState(SupervisorPhase phase, const ServerReason& reason);

} // namespace quillbay
