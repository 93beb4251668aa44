#pragma once

#include "server/ServerReason.hpp"

#include <chrono>
#include <optional>
#include <string>

#include <sys/types.h>

namespace quillbay {

// Picks the server's port on 127.0.0.1: the preferred one when free, else
// the preferred one reclaimed from an orphaned server of this application,
// else the first free fallback (with a warning for the log tail), else the
// preferred one anyway. Blocks the calling thread for the bounded waits.
class PortChooser {
public:
    struct Ports {
        long long preferred = 8765;
        long long fallbackFirst = 8766;
        long long fallbackLast = 8775;
    };
    struct Timing {
        std::chrono::milliseconds identityRequestTimeout{1500};
        std::chrono::milliseconds identityWait{2000};
        std::chrono::milliseconds politeStep{100};
        int politeSteps = 20;
        std::chrono::milliseconds killWait{300};
    };
    struct Choice {
        long long port = 0;
        std::optional<ServerReason> warning;  // set when a fallback port was taken
    };

    PortChooser(Ports ports, Timing timing) : ports_(ports), timing_(timing) {}

    Choice choose() const;

    // True when a socket can be bound to 127.0.0.1:port right now.
    static bool isFree(long long port);
    // The pid that an orphaned server of this application on `port` names,
    // only when that pid is ours to signal (see ListenerCheck) and no running
    // shell looks after it (see ShellParent). Waits at most `wait` for the
    // answer; a later answer is ignored.
    static std::optional<pid_t> orphanPid(long long port, std::chrono::milliseconds requestTimeout,
                                          std::chrono::milliseconds wait);

private:
    bool reclaimPreferred(pid_t orphan) const;

    Ports ports_;
    Timing timing_;
};

} // namespace quillbay
