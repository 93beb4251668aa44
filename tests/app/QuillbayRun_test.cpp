// The real `quillbay` binary as a child: its own home and XDG folders, no
// session bus unless a test starts a private one.

#include "ShellFixture.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>

#include <optional>
#include <vector>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

const std::string kShell = std::string(QUILLBAY_BIN_DIR) + "/quillbay";

// The numbers `command` prints (process or window ids).
std::vector<unsigned long> numbersFrom(const std::string& command)
{
    std::vector<unsigned long> found;
    FILE* out = popen(command.c_str(), "r");
    for (unsigned long number = 0; out && std::fscanf(out, "%lu", &number) == 1;)
        found.push_back(number);
    if (out)
        pclose(out);
    return found;
}

// Shown windows titled Quillbay of the shell `pid` (GTK also keeps unmapped helper
// windows with that name, and other tests may show theirs on the same display).
std::vector<unsigned long> shellWindows(pid_t pid)
{
    return numbersFrom("xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name '^Quillbay$'");
}

// Ctrl+W in the shell's window: the same close request as the title bar's close
// button. (A close message sent by hand without a window manager is not always
// answered by the toolkit under Xvfb, so the tests close the window by its key.)
bool closeWithCtrlW(pid_t shell)
{
    const auto windows = shellWindows(shell);
    if (windows.empty())
        return false;
    // Without a window manager the keyboard follows the pointer.
    const std::string window = std::to_string(windows.at(0));
    return std::system(("xdotool mousemove --window " + window + " 300 300 windowfocus " + window +
                        " 2>/dev/null; xdotool key --clearmodifiers ctrl+w").c_str()) == 0;
}

class ShellRun {
public:
    // Without a bus address the shell runs with no session bus.
    explicit ShellRun(std::string home, const std::string& binary = kShell, std::string bus = {}) : home_(std::move(home))
    {
        std::vector<std::string> entries{"HOME=" + home_, "XDG_DATA_HOME=" + home_ + "/data",
                                         "XDG_CONFIG_HOME=" + home_ + "/config", "XDG_CACHE_HOME=" + home_ + "/cache",
                                         "PATH=/usr/bin:/bin", "LANG=C.UTF-8", "NO_AT_BRIDGE=1",
                                         "QUILLBAY_STARTUP_TRACE=" + home_ + "/startup-trace",
                                         "DBUS_SESSION_BUS_ADDRESS=" + (bus.empty() ? "unix:path=" + home_ + "/none" : bus)};
        for (const char* name : {"DISPLAY", "XAUTHORITY"})
            if (const char* value = std::getenv(name))
                entries.push_back(std::string(name) + "=" + value);
        std::vector<char*> envp;
        for (auto& entry : entries)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        g_mkdir_with_parents(home_.c_str(), 0700);
        const int fd = open((home_ + "/shell.out").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        pid_ = fork();
        if (pid_ == 0) {
            // A group of its own, which the web engine's helper processes join.
            setpgid(0, 0);
            dup2(fd, 1);
            dup2(fd, 2);
            char* argv[] = {const_cast<char*>(binary.c_str()), nullptr};
            execve(binary.c_str(), argv, envp.data());
            _exit(127);
        }
        setpgid(pid_, pid_);
        group_ = pid_;
        close(fd);
    }
    // The web engine's helpers may outlive the shell for a moment, writing
    // into its folders: the run is over only when the whole group has ended.
    ~ShellRun()
    {
        if (pid_ > 0) {
            kill(-group_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        const bool ended = runUntil([this] { return kill(-group_, 0) != 0 && errno == ESRCH; }, 10s);
        EXPECT_TRUE(ended) << "processes of the shell's group still run";
    }

    std::string output() const { return readFile(home_ + "/shell.out"); }
    bool logShows(const std::string& text, std::chrono::milliseconds limit) const
    {
        return runUntil([&] { return readFile(home_ + "/data/Quillbay/logs/server.log").find(text) != std::string::npos; }, limit);
    }
    // True once the shell has noted start-up `step` (see QUILLBAY_STARTUP_TRACE).
    bool reached(const std::string& step, std::chrono::milliseconds limit) const
    {
        return runUntil([&] { return readFile(home_ + "/startup-trace").find(step + " ") != std::string::npos; }, limit);
    }
    // The studio servers this shell started.
    std::vector<unsigned long> servers() const { return numbersFrom("pgrep -P " + std::to_string(pid_) + " -f quillbay_server.py"); }

    // True when the shell ended within `limit` with status 0.
    bool exitsCleanly(std::chrono::milliseconds limit)
    {
        int status = 0;
        if (!runUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit))
            return false;
        pid_ = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    pid_t pid_ = -1;

private:
    pid_t group_ = -1;
    std::string home_;
};

class QuillbayRun : public ::testing::Test {
protected:
    TempDir home_{"quillbay-run"};
};

TEST_F(QuillbayRun, EveryQuitSignalLeavesNoServer)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        ShellRun shell(home_ / ("signal-" + std::to_string(signal)));
        ASSERT_TRUE(shell.logShows("beacon page=desk", 60s)) << shell.output();
        const auto servers = shell.servers();
        ASSERT_EQ(servers.size(), 1u);
        ASSERT_EQ(kill(shell.pid_, signal), 0);
        EXPECT_TRUE(shell.exitsCleanly(15s));
        EXPECT_FALSE(processRuns(servers[0]));
    }
    // Also while it starts: just after the server is launched, before any window.
    ShellRun early(home_ / "early");
    ASSERT_TRUE(early.reached("server-spawned", 30s)) << early.output();
    const auto servers = early.servers();
    ASSERT_EQ(kill(early.pid_, SIGTERM), 0);
    EXPECT_TRUE(early.exitsCleanly(15s)) << "the quit path, not the signal, ends the shell";
    for (const auto server : servers)
        EXPECT_FALSE(processRuns(server));
}

TEST_F(QuillbayRun, SecondLaunchStartsNothingAndClosingTheWindowStopsTheServerFirst)
{
    // A private session bus for the two launches.
    const std::string bus = "unix:path=" + home_ / "bus";
    const auto busPid = numbersFrom("dbus-daemon --session --fork --address=" + bus + " --print-pid=1");
    ASSERT_EQ(busPid.size(), 1u);
    // The daemon deletes its socket as it ends: the folder goes only after that.
    std::shared_ptr<void> busGuard(nullptr, [&](void*) {
        kill(busPid[0], SIGTERM);
        EXPECT_TRUE(waitForEnd(busPid[0], 10s)) << "the private dbus-daemon did not end";
    });

    ShellRun first(home_.path(), kShell, bus);
    ASSERT_TRUE(first.logShows("beacon page=desk", 60s)) << first.output();
    const auto servers = first.servers();
    ASSERT_EQ(servers.size(), 1u);

    ShellRun second(home_.path(), kShell, bus);
    EXPECT_TRUE(second.exitsCleanly(20s)) << "the second launch kept running or failed";
    EXPECT_EQ(first.servers(), servers) << "the first instance's server was disturbed";

    std::this_thread::sleep_for(1s);
    const auto asked = std::chrono::steady_clock::now();
    // The window goes at once; the process waits for the stop's grace period.
    const pid_t shown = first.pid_;
    ASSERT_TRUE(closeWithCtrlW(shown));
    EXPECT_TRUE(runUntil([&] { return shellWindows(shown).empty(); }, 5s)) << first.output();
    EXPECT_TRUE(first.exitsCleanly(10s));
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 2500ms);
    EXPECT_FALSE(processRuns(servers[0]));
}

TEST_F(QuillbayRun, FailedStartKeepsTheWindowAndQuitsAtOnce)
{
    // A copy of the binary next to a resource folder whose server crashes.
    const std::string install = home_ / "install";
    std::filesystem::create_directories(install + "/bin");
    std::filesystem::copy_file(kShell, install + "/bin/quillbay");
    writeFakeResources(install + "/share/quillbay", {"--crash-at-start"});

    ShellRun shell(home_.path(), install + "/bin/quillbay");
    ASSERT_TRUE(shell.logShows("Traceback", 30s)) << shell.output();
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(processRuns(shell.pid_)) << "the shell ended after a failed start";
    EXPECT_FALSE(shellWindows(shell.pid_).empty());

    const auto asked = std::chrono::steady_clock::now();
    kill(shell.pid_, SIGTERM);
    ASSERT_TRUE(shell.exitsCleanly(10s));
    // No child to stop: no grace period to wait for.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 2500ms);
}

} // namespace
} // namespace quillbay
