#pragma once

#include "server/ServerState.hpp"

#include <functional>
#include <string>

namespace quillbay {

// Counts the server's starts as the card sees them and remembers when the
// latest one failed, so that a restart that fails again reads differently.
class StartAttempts {
public:
    // The local time of day as "HH:MM:SS".
    using Clock = std::function<std::string()>;

    explicit StartAttempts(Clock clock = localTimeOfDay);

    // Feeds the state the server just published (also repeats of the same state).
    void observe(const ServerState& state);

    // "Attempt N at HH:MM:SS" for the failure of the current attempt; empty
    // before the first failure.
    std::string failureLine() const;

    static std::string localTimeOfDay();

private:
    Clock clock_;
    int attempts_ = 0;
    bool starting_ = false;
    bool failed_ = false;
    std::string failedAt_;
};

} // namespace quillbay
