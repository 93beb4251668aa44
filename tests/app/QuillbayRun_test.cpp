// The real `quillbay` binary as a child in a process group of its own, with its own home and XDG
// folders and no session bus unless a test starts a private one; also at scale 2 and on Wayland.

#include "tests/support/FakeResources.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

const std::string kShell = std::string(QUILLBAY_BIN_DIR) + "/quillbay";

std::vector<unsigned long> numbersFrom(const std::string& command)
{
    std::vector<unsigned long> found;
    const std::unique_ptr<FILE, int (*)(FILE*)> out(popen(command.c_str(), "r"), pclose);
    for (unsigned long number = 0; out && std::fscanf(out.get(), "%lu", &number) == 1;)
        found.push_back(number);
    return found;
}

// Shown windows titled Quillbay of the shell `pid` (GTK also keeps unmapped helper windows of that name).
std::vector<unsigned long> shellWindows(pid_t pid)
{
    return numbersFrom("xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name '^Quillbay$'");
}

// `argv` in a process group of its own, its output appended to `output`. The group (the web engine's
// helpers join it) is killed and waited for at the end: it may outlive the child, writing into its folders.
class GroupRun {
public:
    GroupRun(std::vector<std::string> argv, std::vector<std::string> environment, const std::string& output)
    {
        const auto pointers = [](std::vector<std::string>& strings) {
            std::vector<char*> all(strings.size() + 1, nullptr);
            std::transform(strings.begin(), strings.end(), all.begin(), [](std::string& s) { return s.data(); });
            return all;
        };
        auto args = pointers(argv), envp = pointers(environment);
        const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if ((pid_ = fork()) == 0) {
            setpgid(0, 0);
            dup2(fd, 1);
            dup2(fd, 2);
            execve(args[0], args.data(), envp.data());
            _exit(127);
        }
        setpgid(pid_, pid_);
        group_ = pid_;
        close(fd);
    }
    ~GroupRun()
    {
        if (pid_ > 0) {
            kill(-group_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        EXPECT_TRUE(runUntil([this] { return kill(-group_, 0) != 0 && errno == ESRCH; }, 10s))
            << "processes of the group of " << group_ << " still run";
    }

    bool exitsCleanly(std::chrono::milliseconds limit)
    {
        int status = 0;
        const bool ended = runUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
        pid_ = ended ? -1 : pid_;
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    pid_t pid_ = -1, group_ = -1;
};

// The shell with its home, XDG folders and start-up trace under `home`, and no session bus. Each of
// `changes` "NAME=VALUE" sets NAME in its environment, "NAME=" removes it.
class ShellRun : public GroupRun {
public:
    explicit ShellRun(std::string home, const std::vector<std::string>& changes = {}, const std::string& binary = kShell)
        : GroupRun({binary}, environment(home, changes), home + "/shell.out"), home_(std::move(home))
    {
    }

    std::string output() const { return readFile(home_ + "/shell.out"); }
    bool shows(const std::string& file, const std::string& text, std::chrono::milliseconds limit) const
    {
        return runUntil([&] { return readFile(home_ + file).find(text) != std::string::npos; }, limit);
    }
    bool logShows(const std::string& text, std::chrono::milliseconds limit) const
    {
        return shows("/data/Quillbay/logs/server.log", text, limit);
    }
    std::vector<unsigned long> servers() const { return numbersFrom("pgrep -P " + std::to_string(pid_) + " -f quillbay_server.py"); }

private:
    static std::vector<std::string> environment(const std::string& home, const std::vector<std::string>& changes)
    {
        g_mkdir_with_parents(home.c_str(), 0700);  // before the output file is opened in it
        std::vector<std::string> entries{"HOME=" + home, "XDG_DATA_HOME=" + home + "/data",
                                         "XDG_CONFIG_HOME=" + home + "/config", "XDG_CACHE_HOME=" + home + "/cache",
                                         "PATH=/usr/bin:/bin", "LANG=C.UTF-8", "NO_AT_BRIDGE=1",
                                         "QUILLBAY_STARTUP_TRACE=" + home + "/startup-trace",
                                         "DBUS_SESSION_BUS_ADDRESS=unix:path=" + home + "/none"};
        for (const char* name : {"DISPLAY", "XAUTHORITY"})
            if (const char* value = std::getenv(name))
                entries.push_back(std::string(name) + "=" + value);
        for (const auto& change : changes) {
            const std::string name = change.substr(0, change.find('=') + 1);
            std::erase_if(entries, [&](const std::string& entry) { return entry.starts_with(name); });
            if (change.size() > name.size())
                entries.push_back(change);
        }
        return entries;
    }

    std::string home_;
};

// Ends the shell by `signals` and checks that it took the quit path and left no server.
void quitBySignal(ShellRun& shell, std::initializer_list<int> signals = {SIGTERM})
{
    const auto servers = shell.servers();
    ASSERT_EQ(servers.size(), 1u) << shell.output();
    for (int signal : signals)
        ASSERT_EQ(kill(shell.pid_, signal), 0);
    EXPECT_TRUE(shell.exitsCleanly(15s)) << shell.output();
    EXPECT_FALSE(processRuns(servers[0]));
}

class QuillbayRun : public ::testing::Test {
protected:
    TempDir home_{"quillbay-run"};
};
using SmokeRun = QuillbayRun;

TEST_F(QuillbayRun, AtScaleTwoTheWindowFitsAndEveryQuitSignalLeavesNoServerAndTheRememberedSize)
{
    const std::string preferences = home_ / "signals/config/Quillbay/preferences.ini";
    writeFile(preferences, "[Preferences]\nwindow.width=1150\nwindow.height=780\nwindow.maximized=false\n");
    ShellRun shell(home_ / "signals", {"GDK_SCALE=2"});
    ASSERT_TRUE(shell.logShows("beacon page=desk", 60s)) << shell.output();
    const auto windows = shellWindows(shell.pid_);
    ASSERT_EQ(windows.size(), 1u);
    // The suite's screen is 1400x900 pixels: 700x450 at scale 2.
    const auto geometry = numbersFrom("xdotool getwindowgeometry --shell " + std::to_string(windows[0]) +
                                      " | grep -E '^(X|Y|WIDTH|HEIGHT)=' | cut -d= -f2");
    ASSERT_EQ(geometry.size(), 4u);
    EXPECT_TRUE(geometry[0] + geometry[2] <= 1400 && geometry[1] + geometry[3] <= 900)
        << "x " << geometry[0] << " y " << geometry[1] << " width " << geometry[2] << " height " << geometry[3];

    // One run takes all three: a signal that did not take the quit path would end the shell itself.
    quitBySignal(shell, {SIGHUP, SIGINT, SIGTERM});
    for (const char* kept : {"window.width=1150\n", "window.height=780\n"})
        EXPECT_NE(readFile(preferences).find(kept), std::string::npos) << readFile(preferences);

    // Also while it starts: just after the server is launched, before any window.
    ShellRun early(home_ / "early");
    ASSERT_TRUE(early.shows("/startup-trace", "server-spawned ", 30s)) << early.output();
    const auto launched = early.servers();
    ASSERT_EQ(kill(early.pid_, SIGTERM), 0);
    EXPECT_TRUE(early.exitsCleanly(15s)) << "the quit path, not the signal, ends the shell";
    for (const auto server : launched)
        EXPECT_FALSE(processRuns(server));
}

// A launch during the quit: tests/flows. Here the first run's server is left alone, and the quit waits out the grace.
TEST_F(QuillbayRun, ASecondLaunchLeavesTheFirstsServerAloneAndTheQuitWaitsForTheGrace)
{
    const std::string bus = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + home_ / "bus";
    const auto busPid = numbersFrom("dbus-daemon --session --fork --address=" + bus.substr(25) + " --print-pid=1");
    ASSERT_EQ(busPid.size(), 1u);
    // The daemon deletes its socket as it ends: the folder goes only after that.
    std::shared_ptr<void> busGuard(nullptr, [&](void*) {
        kill(busPid[0], SIGTERM);
        EXPECT_TRUE(runUntil([&] { return !processRuns(busPid[0]); }, 10s)) << "the private dbus-daemon did not end";
    });
    ShellRun first(home_.path(), {bus});
    ASSERT_TRUE(first.logShows("beacon page=desk", 60s)) << first.output();
    const auto servers = first.servers();
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_TRUE(ShellRun(home_.path(), {bus}).exitsCleanly(20s)) << "the second launch stayed or failed";
    EXPECT_EQ(first.servers(), servers) << "the first instance's server was disturbed";

    const auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(first.pid_, SIGTERM), 0);
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

    ShellRun shell(home_.path(), {}, install + "/bin/quillbay");
    ASSERT_TRUE(shell.logShows("Traceback", 30s)) << shell.output();
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(processRuns(shell.pid_)) << "the shell ended after a failed start";
    EXPECT_FALSE(shellWindows(shell.pid_).empty());

    const auto asked = std::chrono::steady_clock::now();
    kill(shell.pid_, SIGTERM);
    ASSERT_TRUE(shell.exitsCleanly(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 2500ms);  // no child to stop: no grace to wait for
}

TEST_F(SmokeRun, OnAWaylandCompositorTheDeskLoadsAndSigtermLeavesNothing)
{
    // A headless compositor that draws with the CPU, on a socket in a runtime folder of the test's own.
    const std::string runtime = home_ / "runtime";
    g_mkdir_with_parents(runtime.c_str(), 0700);
    GroupRun weston({"/usr/bin/weston", "--backend=headless-backend.so", "--use-pixman", "--socket=quillbay-wayland",
                     "--width=1400", "--height=900", "--idle-time=0"},
                    {"XDG_RUNTIME_DIR=" + runtime, "PATH=/usr/bin:/bin", "HOME=" + home_.path()}, home_ / "weston.out");
    ASSERT_TRUE(runUntil([&] { return std::filesystem::exists(runtime + "/quillbay-wayland"); }, 20s))
        << readFile(home_ / "weston.out");

    ShellRun shell(home_ / "shell", {"DISPLAY=", "XAUTHORITY=", "GDK_BACKEND=wayland", "WAYLAND_DISPLAY=quillbay-wayland",
                                     "XDG_RUNTIME_DIR=" + runtime});
    ASSERT_TRUE(shell.logShows("beacon page=desk", 60s)) << shell.output();
    quitBySignal(shell);
    // The compositor has no input seat, which GDK reports once; nothing else may be critical.
    std::istringstream output(shell.output());
    for (std::string line; std::getline(output, line);)
        EXPECT_TRUE(line.find("CRITICAL") == std::string::npos || line.find("seat") != std::string::npos) << line;
}

} // namespace
} // namespace quillbay
