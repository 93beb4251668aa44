#pragma once

#include "tests/support/FakeResources.hpp"
#include "tests/support/TestProcess.hpp"

#include "server/ServerProcess.hpp"
#include "support/ScopedConnection.hpp"

#include <gtest/gtest.h>

#include <csignal>

#include <unistd.h>

namespace quillbay::testing {

namespace fs = std::filesystem;

inline auto since(std::chrono::steady_clock::time_point began) { return std::chrono::steady_clock::now() - began; }

// The states and port writes a ServerProcess publishes, as observers see them.
struct Recorder {
    explicit Recorder(const ServerProcess& s)
        : states_(s.state().signalChanged().connect([this, &s] { states.push_back(s.state().get()); })),
          ports_(s.port().signalChanged().connect([this] { ++portWrites; })) {}
    std::vector<ServerState> states;
    int portWrites = 0;

private:
    ScopedConnection states_, ports_;
};

// The pid from the fake's "fake studio server pid=N" line.
inline pid_t fakePid(const auto& lines)
{
    const std::string marker = "fake studio server pid=";
    for (const auto& line : lines)
        if (auto at = line.find(marker); at != std::string::npos)
            return static_cast<pid_t>(std::atoi(line.c_str() + at + marker.size()));
    return 0;
}

// The fake studio server started directly on `port`, once it listens.
inline std::unique_ptr<TestProcess> startFakeOn(long long port, Args extraArgs = {})
{
    Args argv{"/usr/bin/python3", kFixture, "--port", std::to_string(port)};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    auto process = std::make_unique<TestProcess>(argv);
    process->readUntil("listening", 10s);
    return process;
}

// The fake on `port` left behind by a shell that is gone: its starter forks it and leaves, so init adopts
// it. It still reads the starter's pipes. Killed at the end; init reaps it.
class OrphanFake {
public:
    OrphanFake(long long port, Args extraArgs = {})
    {
        Args argv{"/usr/bin/python3", "-c",
                  "import os, sys\nif os.fork() == 0: os.execv(sys.executable, [sys.executable] + sys.argv[1:])",
                  kFixture, "--port", std::to_string(port)};
        argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
        starter_ = std::make_unique<TestProcess>(argv);
        pid_ = fakePid(starter_->readUntil("listening", 10s));
        starter_->waitForExit(5s);
    }
    ~OrphanFake() { processRuns(pid_) && ::kill(pid_, SIGKILL); }
    pid_t pid() const { return pid_; }
    Args readUntil(const std::string& prefix, std::chrono::milliseconds limit) { return starter_->readUntil(prefix, limit); }

private:
    std::unique_ptr<TestProcess> starter_;
    pid_t pid_ = 0;
};

} // namespace quillbay::testing
