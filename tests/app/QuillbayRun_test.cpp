// The real `quillbay` binary as a child: its own home and XDG folders, no
// session bus unless a test starts a private one.

#include "ShellFixture.hpp"
#include "WindowCloser.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>

#include <iostream>
#include <map>
#include <optional>
#include <vector>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

// Child processes of `parent` whose command line mentions `needle`.
std::vector<pid_t> childrenOf(pid_t parent, const std::string& needle)
{
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (!proc)
        return found;
    while (dirent* entry = readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0)
            continue;
        const std::string stat = readText("/proc/" + std::to_string(pid) + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        int ppid = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) != 2 || ppid != parent)
            continue;
        std::string cmdline = readText("/proc/" + std::to_string(pid) + "/cmdline");
        for (char& c : cmdline)
            if (c == '\0')
                c = ' ';
        if (cmdline.find(needle) != std::string::npos)
            found.push_back(pid);
    }
    closedir(proc);
    return found;
}

class ShellRun {
public:
    explicit ShellRun(std::string home) : home_(std::move(home)) {}
    ~ShellRun()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    std::map<std::string, std::string> environment() const
    {
        std::map<std::string, std::string> env{
            {"HOME", home_},
            {"XDG_DATA_HOME", home_ + "/data"},
            {"XDG_CONFIG_HOME", home_ + "/config"},
            {"XDG_CACHE_HOME", home_ + "/cache"},
            {"PATH", "/usr/bin:/bin"},
            {"LANG", "C.UTF-8"},
            {"NO_AT_BRIDGE", "1"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home_ + "/no-session-bus"},
        };
        for (const char* name : {"DISPLAY", "XAUTHORITY"})
            if (const char* value = std::getenv(name))
                env[name] = value;
        return env;
    }

    void start(const std::string& binary, std::map<std::string, std::string> extra = {})
    {
        auto env = environment();
        for (auto& [name, value] : extra)
            env[name] = value;
        std::vector<std::string> entries;
        for (auto& [name, value] : env)
            entries.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (auto& entry : entries)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        const std::string output = home_ + "/shell.out";

        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(fd, 1);
            dup2(fd, 2);
            char* argv[] = {const_cast<char*>(binary.c_str()), nullptr};
            execve(binary.c_str(), argv, envp.data());
            _exit(127);
        }
    }

    std::string serverLog() const { return readText(home_ + "/data/Quillbay/logs/server.log"); }
    std::string shellOutput() const { return readText(home_ + "/shell.out"); }
    pid_t pid() const { return pid_; }

    // The exit status, or none when it did not end within `limit`.
    std::optional<int> waitForExit(std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return status;
            }
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    bool waitForLog(const std::string& text, std::chrono::milliseconds limit) const
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (serverLog().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }

private:
    std::string home_;
    pid_t pid_ = -1;
};

const std::string kShell = std::string(QUILLBAY_BIN_DIR) + "/quillbay";

class QuillbayRun : public ::testing::Test {
protected:
    void SetUp() override { home_ = makeTempFolder("quillbay-run-XXXXXX"); }
    void TearDown() override { removeTree(home_); }
    std::string home_;
};

TEST_F(QuillbayRun, ShowsTheDeskAndEveryQuitSignalLeavesNoServer)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        ShellRun shell(home_ + "/signal-" + std::to_string(signal));
        shell.start(kShell);
        ASSERT_TRUE(shell.waitForLog("beacon page=desk", 60s)) << shell.serverLog() << shell.shellOutput();
        const auto servers = childrenOf(shell.pid(), "quillbay_server.py");
        ASSERT_EQ(servers.size(), 1u);

        ASSERT_EQ(kill(shell.pid(), signal), 0);
        const auto status = shell.waitForExit(15s);
        ASSERT_TRUE(status) << "the shell did not end";
        EXPECT_TRUE(WIFEXITED(*status)) << *status;
        EXPECT_EQ(WEXITSTATUS(*status), 0);
        EXPECT_FALSE(processRuns(servers[0]));
    }
}

TEST_F(QuillbayRun, ClosingTheWindowStopsTheServerBeforeTheProcessEnds)
{
    ShellRun shell(home_);
    shell.start(kShell);
    ASSERT_TRUE(shell.waitForLog("beacon page=desk", 60s)) << shell.shellOutput();
    const auto servers = childrenOf(shell.pid(), "quillbay_server.py");
    ASSERT_EQ(servers.size(), 1u);

    std::this_thread::sleep_for(1s);
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(closeWindowTitled("Quillbay"));
    // The window goes at once; the process waits for the stop's grace period.
    auto hiddenBy = std::chrono::steady_clock::now() + 1500ms;
    while (windowShown("Quillbay") && std::chrono::steady_clock::now() < hiddenBy)
        std::this_thread::sleep_for(20ms);
    if (windowShown("Quillbay")) {
        // Once in about a dozen runs on a loaded machine the first close message
        // went unanswered; a second one, like a second click, must still work.
        std::cerr << "note: the first close request was not answered; sending another\n";
        ASSERT_TRUE(closeWindowTitled("Quillbay"));
        hiddenBy = std::chrono::steady_clock::now() + 1500ms;
        while (windowShown("Quillbay") && std::chrono::steady_clock::now() < hiddenBy)
            std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(windowShown("Quillbay"));
    EXPECT_FALSE(shell.waitForExit(1500ms));
    const auto status = shell.waitForExit(10s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 2500ms);
    EXPECT_FALSE(processRuns(servers[0]));
}

TEST_F(QuillbayRun, FailedStartKeepsTheWindowAndQuitsAtOnce)
{
    // A copy of the binary next to a resource folder whose server crashes.
    const std::string install = home_ + "/install";
    g_mkdir_with_parents((install + "/bin").c_str(), 0700);
    ASSERT_EQ(std::system(("cp '" + kShell + "' '" + install + "/bin/quillbay'").c_str()), 0);
    makeFakeResources(install + "/share/quillbay", {"--crash-at-start"});

    ShellRun shell(home_);
    shell.start(install + "/bin/quillbay");
    ASSERT_TRUE(shell.waitForLog("Traceback", 30s)) << shell.shellOutput();
    std::this_thread::sleep_for(1s);
    ASSERT_FALSE(shell.waitForExit(0ms)) << "the shell ended after a failed start";

    const auto asked = std::chrono::steady_clock::now();
    kill(shell.pid(), SIGTERM);
    ASSERT_TRUE(shell.waitForExit(10s));
    // No child to stop: no grace period to wait for.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 2500ms);
}

TEST_F(QuillbayRun, SecondLaunchStartsNothing)
{
    // A private session bus for the two launches.
    const std::string busOut = home_ + "/bus.txt";
    ASSERT_EQ(std::system(("dbus-daemon --session --fork --print-address=1 --print-pid=1 > '" + busOut + "'").c_str()), 0);
    const std::string busText = readText(busOut);
    const auto newline = busText.find('\n');
    ASSERT_NE(newline, std::string::npos);
    const std::string address = busText.substr(0, newline);
    const pid_t busPid = std::atoi(busText.c_str() + newline + 1);
    ASSERT_GT(busPid, 0);
    const std::map<std::string, std::string> bus{{"DBUS_SESSION_BUS_ADDRESS", address}};

    ShellRun first(home_);
    first.start(kShell, bus);
    ASSERT_TRUE(first.waitForLog("beacon page=desk", 60s)) << first.shellOutput();
    const auto servers = childrenOf(first.pid(), "quillbay_server.py");
    ASSERT_EQ(servers.size(), 1u);

    ShellRun second(home_);
    second.start(kShell, bus);
    const auto status = second.waitForExit(20s);
    ASSERT_TRUE(status) << "the second launch kept running";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_TRUE(processRuns(servers[0])) << "the first instance's server was disturbed";
    EXPECT_EQ(childrenOf(first.pid(), "quillbay_server.py"), servers);

    kill(first.pid(), SIGTERM);
    EXPECT_TRUE(first.waitForExit(15s));
    EXPECT_FALSE(processRuns(servers[0]));
    kill(busPid, SIGTERM);
}

} // namespace
} // namespace quillbay
