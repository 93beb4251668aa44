#pragma once

#include <string>

#include <sys/types.h>

namespace quillbay {

// Whether a studio server is looked after by a running Quillbay shell. A
// server is an orphan, and may be reclaimed, only when it is not: another
// shell's live server must never be stopped by our port choice.
class ShellParent {
public:
    // True when the parent of `server` runs and is a shell (see below). A
    // parent whose program cannot be read is not one: a shell runs as our
    // user and can be inspected, while init or another user's process may not.
    static bool isSupervised(pid_t server);

    // A shell runs our own program, or one named quillbay or
    // quillbay-supervise (the window and the windowless tool). Both are
    // targets of /proc/PID/exe, which may end in " (deleted)" after a rebuild.
    static bool isShellProgram(const std::string& program, const std::string& ownProgram);
};

} // namespace quillbay
