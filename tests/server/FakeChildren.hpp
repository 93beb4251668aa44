#pragma once

// Stand-ins for launched servers: each ends only on its signal and records
// what the supervisor did to it. Real children cross the same paths in
// the other server tests and in quillbay-supervise's.

#include "server/ServerChild.hpp"

#include <csignal>
#include <string>
#include <vector>

namespace quillbay::testing {

class FakeChild final : public ServerChild {
public:
    FakeChild(pid_t pid, int endsOn, EndHandler end) : pid_(pid), endsOn_(endsOn), end_(std::move(end)) {}

    pid_t pid() const override { return pid_; }
    bool hasEnded() const override { return reaped_; }
    void whenReaped(std::function<void()> action) override { reaped_ ? action() : void(onReaped_ = std::move(action)); }
    void closeInput() override { events.push_back("eof"); }
    void sendSignal(int signal) override
    {
        events.push_back(signal == SIGTERM ? "TERM" : signal == SIGKILL ? "KILL" : std::to_string(signal));
        if (signal == endsOn_ && !reaped_)
            end({signal, true});
    }

    // It ends: reaped, then its output read to the end.
    void end(Termination how)
    {
        reaped_ = true;
        if (auto reaped = std::exchange(onReaped_, nullptr))
            reaped();
        if (auto ended = std::exchange(end_, nullptr))
            ended(how);
    }

    std::vector<std::string> events;  // "eof", "TERM", "KILL", as they came

private:
    pid_t pid_;
    int endsOn_;  // the signal that ends it; 0: none does (stuck in the kernel)
    EndHandler end_;
    std::function<void()> onReaped_;
    bool reaped_ = false;
};

// Launches FakeChilds that end on `endsOn`; outlives the supervisor it is handed to.
class FakeLauncher {
public:
    explicit FakeLauncher(int endsOn = SIGTERM) : endsOn_(endsOn) {}

    ServerChild::Launcher launcher()
    {
        return [this](const ServerChild::Description&, ServerChild::OutputHandler, ServerChild::EndHandler end) {
            children.push_back(
                std::make_shared<FakeChild>(kFirstPid + static_cast<pid_t>(children.size()), endsOn_, std::move(end)));
            return ServerChild::Launch{children.back(), {}};
        };
    }

    static constexpr pid_t kFirstPid = 900001;
    std::vector<std::shared_ptr<FakeChild>> children;

private:
    int endsOn_;
};

} // namespace quillbay::testing
