#pragma once

#include "tests/support/FakeResources.hpp"

#include "server/ServerProcess.hpp"

#include <glib.h>
#include <gtest/gtest.h>
#include <sigc++/connection.h>

#include <csignal>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillbay {

// Readable states in failure messages.
inline void PrintTo(const ServerState& state, std::ostream* out)
{
    static const char* const names[] = {"idle", "starting", "ready", "failed"};
    *out << names[static_cast<int>(state.kind())] << (state.isFailed() ? " " + state.message() : "");
}

} // namespace quillbay

namespace quillbay::testing {

namespace fs = std::filesystem;

inline bool waitReady(const ServerProcess& server) { return runUntil([&] { return server.state()->isReady(); }, 12s); }

// The pid from the fake's "fake studio server pid=N" line.
inline pid_t fakePid(const auto& lines)
{
    const std::string marker = "fake studio server pid=";
    for (const auto& line : lines) {
        if (auto at = line.find(marker); at != std::string::npos)
            return static_cast<pid_t>(std::atoi(line.c_str() + at + marker.size()));
    }
    return 0;
}

// The states and port writes a ServerProcess publishes, as observers see them.
struct Recorder {
    explicit Recorder(const ServerProcess& server)
        : stateLink(server.state().signalChanged().connect([this, &server] { states.push_back(server.state().get()); })),
          portLink(server.port().signalChanged().connect([this] { ++portWrites; }))
    {
    }
    ~Recorder() { stateLink.disconnect(), portLink.disconnect(); }
    std::vector<ServerState> states;
    int portWrites = 0;
    sigc::connection stateLink, portLink;
};

// A child started by a test, its input held open (end of input tells a fake
// server to leave), its output readable by line. Killed and reaped at the end.
class TestProcess {
public:
    explicit TestProcess(Args argv)
    {
        std::vector<char*> raw;
        for (auto& arg : argv)
            raw.push_back(arg.data());
        raw.push_back(nullptr);
        if (!g_spawn_async_with_pipes(nullptr, raw.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid_,
                                      &input_, &output_, nullptr, nullptr))
            pid_ = -1;
    }
    ~TestProcess()
    {
        ::close(input_), ::close(output_);
        if (pid_ > 0 && !status_)
            ::kill(pid_, SIGKILL), ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }
    void send(const std::string& line) { (void)!::write(input_, (line + "\n").data(), line.size() + 1); }

    // Output lines up to and including the first that starts with `prefix`.
    Args readUntil(const std::string& prefix, std::chrono::milliseconds limit)
    {
        Args seen;
        for (auto deadline = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < deadline;) {
            if (auto newline = buffer_.find('\n'); newline != std::string::npos) {
                seen.push_back(buffer_.substr(0, newline));
                buffer_.erase(0, newline + 1);
                if (seen.back().starts_with(prefix))
                    return seen;
                continue;
            }
            pollfd ready{output_, POLLIN, 0};
            char chunk[4096];
            ssize_t count = ::poll(&ready, 1, 50) > 0 ? ::read(output_, chunk, sizeof chunk) : 0;
            if (count < 0 || (count == 0 && ready.revents))
                break;
            buffer_.append(chunk, static_cast<std::size_t>(count));
        }
        seen.push_back("<no line starting with '" + prefix + "'>");
        return seen;
    }

    // The raw wait status once it ended within `limit`.
    std::optional<int> waitForExit(std::chrono::milliseconds limit)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (int status = 0; !status_ && pid_ > 0; std::this_thread::sleep_for(5ms)) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = status;
            else if (std::chrono::steady_clock::now() >= deadline)
                break;
        }
        return status_;
    }
    bool running() { return !waitForExit(0ms); }

private:
    pid_t pid_ = -1;
    int input_ = -1, output_ = -1;
    std::string buffer_;
    std::optional<int> status_;
};

// The fake studio server started directly on `port`, once it listens.
inline std::unique_ptr<TestProcess> startFakeOn(long long port, Args extraArgs = {})
{
    Args argv{"/usr/bin/python3", kFixture, "--port", std::to_string(port)};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    auto process = std::make_unique<TestProcess>(argv);
    process->readUntil("listening", 10s);
    return process;
}

// The fake studio server on `port` left behind by a shell that is gone: its
// starter forks it and leaves, so init adopts it. It still reads the
// starter's pipes. Killed at the end; init reaps it.
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
    ~OrphanFake()
    {
        if (processRuns(pid_))
            ::kill(pid_, SIGKILL);
    }
    pid_t pid() const { return pid_; }
    Args readUntil(const std::string& prefix, std::chrono::milliseconds limit) { return starter_->readUntil(prefix, limit); }

private:
    std::unique_ptr<TestProcess> starter_;
    pid_t pid_ = 0;
};

} // namespace quillbay::testing
