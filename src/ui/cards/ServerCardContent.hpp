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
    std::string elapsed;                  // a slow start only: "Starting for 12 seconds"
    std::string message;                  // failure only, localised
    bool logBox = false;                  // failure or slow start, with output
    bool buttons = false;                 // "Restart Server" and "Show Server Log"
    std::string attempt;                  // failure only: "Attempt N at HH:MM:SS"

    bool operator==(const ServerCardContent&) const = default;
};

// With the attempt line of a failure below the message. `elapsed`, the time
// of a start that has gone on long enough to explain itself, turns the warming
// card into one with that time, the newest output and the two ways out.
ServerCardContent serverCardContent(const ServerState& state, const std::deque<std::string>& logTail,
                                    const StartAttempts& attempts, const std::string& elapsed = {});

} // namespace quillbay
