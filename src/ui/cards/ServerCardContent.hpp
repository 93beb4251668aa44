#pragma once

#include "server/ServerState.hpp"
#include "ui/cards/StartAttempts.hpp"

#include <deque>
#include <string>

namespace quillbay {

// What the server card shows below the icon, as plain values.
struct ServerCardContent {
    enum class Kind { Warming, Dark, IconOnly };

    Kind kind = Kind::Warming;
    std::string headline;                 // localised
    std::string explanation;              // warming only, localised
    std::string message;                  // failure only, localised
    bool logBox = false;                  // failure with output only
    bool buttons = false;                 // "Restart Server" and "Show Server Log"
    std::string attempt;                  // failure only: "Attempt N at HH:MM:SS"

    bool operator==(const ServerCardContent&) const = default;
};

// With the attempt line of a failure below the message.
ServerCardContent serverCardContent(const ServerState& state, const std::deque<std::string>& logTail,
                                    const StartAttempts& attempts);

} // namespace quillbay
