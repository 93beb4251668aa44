#pragma once

#include "server/ServerState.hpp"

#include <chrono>
#include <optional>

namespace quillbay {

// How a quit proceeds: whether the server must be stopped first, and how long
// the process must stay alive at least so that the forced end of a child
// stopped shortly before (a restart) still happens.
struct QuitPlan {
    bool stopServer = false;
    std::chrono::milliseconds holdAtLeast{0};

    bool terminatesNow() const { return !stopServer && holdAtLeast.count() == 0; }
    bool operator==(const QuitPlan&) const = default;
};

// Time added to the stop grace so the delayed forced end has run before we leave.
inline constexpr std::chrono::milliseconds kForcedEndMargin{250};

// `server` is empty when no supervisor is registered; `sinceLastStop` is the
// time since the server last went to idle, when it ever did.
QuitPlan planQuit(const std::optional<ServerState>& server,
                  std::optional<std::chrono::milliseconds> sinceLastStop,
                  std::chrono::milliseconds stopGrace);

} // namespace quillbay
