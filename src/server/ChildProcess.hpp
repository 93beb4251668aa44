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
    using OutputHandler = std::function<void(std::string_view bytes)>;
    // Termination status: the exit code after a normal exit, else the signal number.
    using EndHandler = std::function<void(int status)>;

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
    // Closes the write end of the child's standard input; errors are ignored.
    void closeInput();
    // Sends `signal` unless the child has been reaped already.
    void sendSignal(int signal);

    struct Impl;

private:
    explicit ChildProcess(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

} // namespace quillbay
