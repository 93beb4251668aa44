#pragma once

#include "server/ServerProcess.hpp"

#include <glib.h>
#include <gtest/gtest.h>
#include <sigc++/connection.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <fcntl.h>
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

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Ports of our own for the tests that do not need the real ones.
constexpr long long kTestPreferred = 28765;
constexpr std::chrono::milliseconds kTestStopGrace{800};
inline const std::string kFixture = QUILLBAY_FIXTURES_DIR "/fake_studio_server.py";

// The whole file, or what could be read of it. With read(2): a stream's
// buffer throws when a /proc file's process ends during the read (ESRCH).
inline std::string readFile(const std::string& path)
{
    std::string text;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char chunk[65536];
    for (ssize_t count = 0; fd >= 0 && (count = ::read(fd, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(count));
    if (fd >= 0)
        ::close(fd);
    return text;
}

// A private folder holding a resource folder R, whose server script runs the fake studio
// server with `fakeArgs` after the Python `prelude`, and the studio folder S.
class FakeResources {
public:
    explicit FakeResources(const Args& fakeArgs, const std::string& prelude = {})
    {
        (void)!::mkdtemp(root_.data());
        fs::create_directories(resourceDir() + "/python/bin");
        fs::create_directories(resourceDir() + "/shim");
        fs::create_symlink("/usr/bin/python3", resourceDir() + "/python/bin/python3.12");
        std::string args = "'" + kFixture + "'";
        for (const auto& arg : fakeArgs)
            args += ", '" + arg + "'";
        std::ofstream(resourceDir() + "/shim/quillbay_server.py")
            << "import os, sys, json\n" << prelude << "\nos.execv(sys.executable, [sys.executable, " << args << "])\n";
    }
    ~FakeResources() { std::error_code ignored; fs::remove_all(root_, ignored); }
    std::string resourceDir() const { return root_ + "/R"; }
    std::string stateDir() const { return root_ + "/S"; }
    std::string scratch(const std::string& name) const { return root_ + "/" + name; }

    // Short waits so the suite stays quick; the app uses the defaults. The probe's
    // limit still leaves a loaded machine seconds to start Python.
    ServerProcess::Config config(long long preferred = kTestPreferred) const
    {
        return {resourceDir(), stateDir(), {preferred, preferred + 1, preferred + 10},
                {.probe = {.limit = 6000ms},
                 .portChoice = {.identityRequestTimeout = 500ms, .identityWait = 700ms, .politeStep = 20ms, .killWait = 200ms},
                 .stopGrace = kTestStopGrace}};
    }

private:
    std::string root_ = (fs::temp_directory_path() / "quillbay-server-XXXXXX").string();
};

// Runs the default main context until `done` or `limit`; returns `done()`.
inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    for (auto deadline = std::chrono::steady_clock::now() + limit; !done();) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            std::this_thread::sleep_for(2ms);
    }
    return true;
}

inline void runFor(std::chrono::milliseconds duration) { runUntil([] { return false; }, duration); }
inline bool waitReady(const ServerProcess& server) { return runUntil([&] { return server.state()->isReady(); }, 12s); }

// A zombie no longer runs: it counts as gone, as does one that vanishes while we look.
inline bool processExists(pid_t pid)
{
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    auto close = stat.rfind(')');
    return pid > 0 && close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

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
        if (processExists(pid_))
            ::kill(pid_, SIGKILL);
    }
    pid_t pid() const { return pid_; }
    Args readUntil(const std::string& prefix, std::chrono::milliseconds limit) { return starter_->readUntil(prefix, limit); }

private:
    std::unique_ptr<TestProcess> starter_;
    pid_t pid_ = 0;
};

// Each test runs in a process of its own, and the children of the test before
// it end in their own time after that process has gone: a test starts only once
// the ports the tests use are free again, or it would meet those children.
class TestPortsFree : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (long long first : {kTestPreferred, ServerProcess::kPreferredPort})
            for (long long port = first; port <= first + 10; ++port)
                for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                     !PortChooser::isFree(port) && std::chrono::steady_clock::now() < end;)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
};
inline ::testing::Environment* const kTestPortsFree = ::testing::AddGlobalTestEnvironment(new TestPortsFree);

} // namespace quillbay::testing
