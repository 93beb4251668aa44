#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace quillbay {

// A step of the supervisor, shown beside the server's output: a start, the
// port it took, the launch, the answer, the child's end, a stop, a restart
// or a failure. Told as it happens; worded for the user by the window.
struct ServerEvent {
    // Notice: a line of the shell's own in the log tail (a port taken
    // instead, trouble with the log); the next line of the tail.
    enum class Kind { Starting, PortChosen, Launched, Ready, Exited, Signalled, Stopping, Stopped, Restarting, Failed, Notice };

    Kind kind = Kind::Starting;
    // The port (PortChosen, Ready), the pid (Launched), the exit status
    // (Exited) or the signal's number (Signalled).
    long long number = 0;
    // The signal's name, or the failure's or notice's sentence in the user's language.
    std::string detail;
    std::chrono::system_clock::time_point time;
    // How many lines of this start's output came before it.
    std::uint64_t afterLine = 0;
};

} // namespace quillbay
