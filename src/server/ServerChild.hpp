#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace quillbay {

// What the supervisor needs of a launched server: how to end it and when it
// has ended. ChildProcess is the real one; tests hand in a launcher of stand-ins.
class ServerChild {
public:
    struct Description {
        std::string executable;
        std::vector<std::string> arguments;  // after the executable
        std::string workingDirectory;
        std::vector<std::pair<std::string, std::string>> environment;  // all of it
    };
    // How the child ended: its exit code, or the signal that ended it.
    struct Termination {
        int number = 0;
        bool bySignal = false;
    };
    using OutputHandler = std::function<void(std::string_view bytes)>;
    // After the output has been read to its end.
    using EndHandler = std::function<void(Termination)>;

    struct Launch {
        std::shared_ptr<ServerChild> child;  // null when the launch failed
        std::string error;                   // the system's description
    };
    using Launcher = std::function<Launch(const Description&, OutputHandler, EndHandler)>;

    virtual ~ServerChild() = default;

    virtual pid_t pid() const = 0;
    // True once the child has been reaped; its pid may then name another process.
    virtual bool hasEnded() const = 0;
    // Runs `action` on the main loop once the child has been reaped (at once
    // when it has been already). Replaces an earlier action.
    virtual void whenReaped(std::function<void()> action) = 0;
    // Closes the write end of the child's standard input; errors are ignored.
    virtual void closeInput() = 0;
    // Delivers `signal` to this child before returning; never to a process
    // that took over its pid after it was reaped.
    virtual void sendSignal(int signal) = 0;
};

} // namespace quillbay
