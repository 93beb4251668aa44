#include "app/lifecycle/QuitDecision.hpp"

namespace quillbay {

QuitPlan planQuit(const std::optional<ServerState>& server,
                  std::optional<std::chrono::milliseconds> sinceLastStop,
                  std::chrono::milliseconds stopGrace)
{
    QuitPlan plan;
    if (!server)
        return plan;

    // failed may still hold a child (one that never answered the probe), so only idle skips the stop.
    plan.stopServer = !server->isIdle();

    const auto forcedEndDone = stopGrace + kForcedEndMargin;
    if (sinceLastStop && *sinceLastStop < forcedEndDone)
        plan.holdAtLeast = forcedEndDone - *sinceLastStop;
    return plan;
}

} // namespace quillbay
