#pragma once

#include "server/ServerChild.hpp"

#include <chrono>
#include <memory>

namespace quillbay {

// One launched child with its standard input held open and its standard
// output and error merged into one pipe that is read on the main loop.
// The child's end is reported only after its output has been read to the end
// (or `drainLimit` after it was reaped, should something else keep the pipe
// open). The watcher keeps itself alive until then, so a stopped child's last
// output still arrives; dropping every handle never kills the child.
class ChildProcess final : public ServerChild {
public:
    static Launch launch(const Description& description, OutputHandler onOutput, EndHandler onEnd,
                         std::chrono::milliseconds drainLimit = std::chrono::milliseconds(2000));

    ~ChildProcess() override;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const override;
    bool hasEnded() const override;
    void whenReaped(std::function<void()> action) override;
    void closeInput() override;
    void sendSignal(int signal) override;

    struct Impl;

private:
    explicit ChildProcess(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

} // namespace quillbay
