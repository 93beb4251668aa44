#include "ServerTestSupport.hpp"

#include <glib.h>

#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillbay::testing {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "quillbay-server-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (!path_.empty())
        fs::remove_all(path_, ignored);
}

std::string fixturePath()
{
    return std::string(QUILLBAY_FIXTURES_DIR) + "/fake_studio_server.py";
}

namespace {

std::string pythonString(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\\' || c == '\'')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

} // namespace

FakeResources::FakeResources(std::vector<std::string> fakeArgs, const std::string& prelude)
{
    fs::create_directories(resourceDir() + "/python/bin");
    fs::create_directories(resourceDir() + "/shim");
    fs::create_symlink("/usr/bin/python3", resourceDir() + "/python/bin/python3.12");
    std::string args;
    for (const auto& arg : fakeArgs)
        args += ", " + pythonString(arg);
    std::ofstream shim(resourceDir() + "/shim/quillbay_server.py");
    shim << "import os, sys, json\n"
         << prelude << "\n"
         << "os.execv(sys.executable, [sys.executable, " << pythonString(fixturePath()) << args << "])\n";
}

ServerProcess::Config FakeResources::config(long long preferred) const
{
    ServerProcess::Config config;
    config.resourceDir = resourceDir();
    config.stateDir = stateDir();
    config.preferredPort = preferred;
    config.fallbackFirst = preferred + 1;
    config.fallbackLast = preferred + 10;
    config.timing = fastTiming();
    return config;
}

ServerProcess::Timing fastTiming()
{
    ServerProcess::Timing timing;
    timing.probeLimit = 3000ms;
    timing.stopGrace = 800ms;
    timing.identityRequestTimeout = 500ms;
    timing.identityWait = 700ms;
    timing.politeStep = 20ms;
    timing.killWait = 200ms;
    return timing;
}

bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            std::this_thread::sleep_for(2ms);
    }
    return true;
}

void runFor(std::chrono::milliseconds duration)
{
    runUntil([] { return false; }, duration);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool processExists(pid_t pid)
{
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return false;
    // A zombie no longer runs: treat it as gone.
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

std::optional<pid_t> fakePidFromTail(const ServerProcess::LogTail& tail)
{
    const std::string marker = "fake studio server pid=";
    for (const auto& line : tail) {
        if (line.rfind(marker, 0) == 0)
            return static_cast<pid_t>(std::atoi(line.c_str() + marker.size()));
    }
    return std::nullopt;
}

std::string lastLine(const ServerProcess::LogTail& tail)
{
    return tail.empty() ? std::string() : tail.back();
}

bool tailContains(const ServerProcess::LogTail& tail, const std::string& line)
{
    for (const auto& entry : tail) {
        if (entry == line)
            return true;
    }
    return false;
}

Recorder::Recorder(const ServerProcess& server)
{
    connections_.push_back(server.state().signalChanged().connect([this, &server] { states.push_back(server.state().get()); }));
    connections_.push_back(server.logTail().signalChanged().connect([this, &server] { tailSizes.push_back(server.logTail()->size()); }));
    connections_.push_back(server.port().signalChanged().connect([this] { ++portWrites; }));
}

Recorder::~Recorder()
{
    for (auto& connection : connections_)
        connection.disconnect();
}

TestProcess::TestProcess(std::vector<std::string> argv)
{
    std::vector<char*> raw;
    for (auto& arg : argv)
        raw.push_back(arg.data());
    raw.push_back(nullptr);
    int input[2] = {-1, -1};
    if (::pipe2(input, O_CLOEXEC) == 0)
        inputWriter_ = input[1];  // held open: end of input means "leave" to a fake server
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input[0] >= 0)
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (input[0] >= 0)
        ::close(input[0]);
}

TestProcess::~TestProcess()
{
    if (inputWriter_ >= 0)
        ::close(inputWriter_);
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

std::optional<int> TestProcess::waitForExit(std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!status_ && pid_ > 0) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(5ms);
    }
    return status_;
}

bool TestProcess::running()
{
    return !waitForExit(0ms).has_value();
}

std::unique_ptr<TestProcess> startFakeOn(long long port, std::vector<std::string> extraArgs)
{
    // Its standard input must stay open, or it leaves at end of input.
    std::vector<std::string> argv{"/usr/bin/python3", fixturePath(), "--port", std::to_string(port)};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    auto process = std::make_unique<TestProcess>(argv);
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ServerProcess::isFree(port) && process->running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    return process;
}

PortHolder::PortHolder(long long port)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int reuse = 1;  // like any server: earlier connections in TIME_WAIT do not count
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (fd_ >= 0 && (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 8) != 0)) {
        ::close(fd_);
        fd_ = -1;
    }
}

PortHolder::~PortHolder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace quillbay::testing
