#include "ui/cards/ServerCardContent.hpp"

#include <glib/gi18n.h>

namespace quillbay {

ServerCardContent serverCardContent(const ServerState& state, const std::deque<std::string>& logTail,
                                    const StartAttempts& attempts, const std::string& elapsed)
{
    ServerCardContent content;
    switch (state.kind()) {
    case ServerState::Kind::Idle:
    case ServerState::Kind::Starting:
        content.kind = ServerCardContent::Kind::Warming;
        content.headline = _("WARMING UP THE ROOM");
        content.explanation = _("Building the cart packs and checking ffmpeg. First launch takes a little longer.");
        content.elapsed = elapsed;
        content.logBox = !elapsed.empty() && !logTail.empty();
        content.buttons = !elapsed.empty();
        break;
    case ServerState::Kind::Failed:
        content.kind = ServerCardContent::Kind::Dark;
        content.headline = _("THE ROOM IS DARK");
        content.message = state.reason().localizedText();
        content.attempt = attempts.failureLine();
        content.logBox = !logTail.empty();
        content.buttons = true;
        break;
    case ServerState::Kind::Ready:
        content.kind = ServerCardContent::Kind::IconOnly;
        break;
    }
    return content;
}

} // namespace quillbay
