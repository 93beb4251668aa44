#pragma once

#include "server/ServerProcess.hpp"

#include <sigc++/connection.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quillbay::testing {

using namespace std::chrono_literals;

// Ports of our own for the tests that do not need the real ones.
constexpr long long kTestPreferred = 28765;

// A private temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A resource folder R whose server script runs the fake studio server with
// `fakeArgs`; `prelude` is Python run before that (e.g. to record things).
// The studio folder S sits beside it.
class FakeResources {
public:
    explicit FakeResources(std::vector<std::string> fakeArgs, const std::string& prelude = {});
    std::string resourceDir() const { return root_.path() + "/R"; }
    std::string stateDir() const { return root_.path() + "/S"; }
    std::string scratch(const std::string& name) const { return root_.path() + "/" + name; }
    ServerProcess::Config config(long long preferred = kTestPreferred) const;

private:
    TempDir root_;
};

// Short waits so the suite stays quick; the app uses the defaults.
ServerProcess::Timing fastTiming();

// Runs the default main context until `done` or `limit`; returns `done()`.
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
void runFor(std::chrono::milliseconds duration);

std::string fixturePath();
std::string readFile(const std::string& path);
bool processExists(pid_t pid);
// The pid from the fake's "fake studio server pid=N" line in the tail.
std::optional<pid_t> fakePidFromTail(const ServerProcess::LogTail& tail);
std::string lastLine(const ServerProcess::LogTail& tail);
bool tailContains(const ServerProcess::LogTail& tail, const std::string& line);

// Everything a ServerProcess publishes, as observers see it.
class Recorder {
public:
    explicit Recorder(const ServerProcess& server);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::vector<ServerState> states;
    std::vector<std::size_t> tailSizes;  // size of logTail at each notification
    int portWrites = 0;

private:
    std::vector<sigc::connection> connections_;
};

// A process started directly by a test (a fake server holding a port, a
// bystander). Killed and reaped on destruction.
class TestProcess {
public:
    explicit TestProcess(std::vector<std::string> argv);
    ~TestProcess();
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The raw wait status once it ended within `limit`.
    std::optional<int> waitForExit(std::chrono::milliseconds limit);
    bool running();

private:
    pid_t pid_ = -1;
    int inputWriter_ = -1;
    std::optional<int> status_;
};

// Starts the fake studio server directly on `port` and waits until it listens.
std::unique_ptr<TestProcess> startFakeOn(long long port, std::vector<std::string> extraArgs = {});

// A socket of this test process listening on 127.0.0.1:port; never answers.
class PortHolder {
public:
    explicit PortHolder(long long port);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool holding() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace quillbay::testing
