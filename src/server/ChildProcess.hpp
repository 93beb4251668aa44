#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace quillbay {

// One launched child with its standard input held open and its standard
// output and error merged into one pipe that is read on the main loop.
// The child's end is reported only after its output has been read to the end
// (or `drainLimit` after it was reaped, should something else keep the pipe
// open). The watcher keeps itself alive until then, so a stopped child's last
// output still arrives; dropping every handle never kills the child.
class ChildProcess {
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
    using EndHandler = std::function<void(Termination)>;

    struct Launch {
        std::shared_ptr<ChildProcess> child;  // null when the launch failed
        std::string error;                    // the system's description
    };

    static Launch launch(const Description& description, OutputHandler onOutput, EndHandler onEnd,
                         std::chrono::milliseconds drainLimit = std::chrono::milliseconds(2000));

    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const;
    // True once the child has been reaped; its pid may then name another process.
    bool hasEnded() const;
    // Runs `action` on the main loop once the child has been reaped (at once
    // when it has been already). Replaces an earlier action.
    void whenReaped(std::function<void()> action);
    // Closes the write end of the child's standard input; errors are ignored.
    void closeInput();
    // Delivers `signal` to this child before returning; never to a process
    // that took over its pid after it was reaped.
    void sendSignal(int signal);

    struct Impl;

private:
    explicit ChildProcess(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

} // namespace quillbay
