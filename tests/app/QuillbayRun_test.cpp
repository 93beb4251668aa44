// The real `quillbay` binary as a child.

#include "ShellRun.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

class QuillbayRun : public ::testing::Test {
protected:
    TempDir home_{"quillbay-run"};
};

TEST_F(QuillbayRun, EveryQuitSignalLeavesNoServer)
{
    // One run takes all three: a signal that did not take the quit path would end the shell itself.
    ShellRun shell(home_ / "signals");
    ASSERT_TRUE(shell.logShows("beacon page=desk", 60s)) << shell.output();
    const auto servers = shell.servers();
    ASSERT_EQ(servers.size(), 1u);
    for (int signal : {SIGHUP, SIGINT, SIGTERM})
        ASSERT_EQ(kill(shell.pid_, signal), 0);
    EXPECT_TRUE(shell.exitsCleanly(15s));
    EXPECT_FALSE(processRuns(servers[0]));

    // Also while it starts: just after the server is launched, before any window.
    ShellRun early(home_ / "early");
    ASSERT_TRUE(early.reached("server-spawned", 30s)) << early.output();
    const auto launched = early.servers();
    ASSERT_EQ(kill(early.pid_, SIGTERM), 0);
    EXPECT_TRUE(early.exitsCleanly(15s)) << "the quit path, not the signal, ends the shell";
    for (const auto server : launched)
        EXPECT_FALSE(processRuns(server));
}

TEST_F(QuillbayRun, ASecondLaunchPresentsTheFirstAndCallsOffItsQuit)
{
    // A private session bus for the launches.
    const std::string bus = "unix:path=" + home_ / "bus";
    const auto busPid = numbersFrom("dbus-daemon --session --fork --address=" + bus + " --print-pid=1");
    ASSERT_EQ(busPid.size(), 1u);
    // The daemon deletes its socket as it ends: the folder goes only after that.
    std::shared_ptr<void> busGuard(nullptr, [&](void*) {
        kill(busPid[0], SIGTERM);
        EXPECT_TRUE(waitForEnd(busPid[0], 10s)) << "the private dbus-daemon did not end";
    });
    auto launchAgain = [&] {
        ShellRun again(home_.path(), kShell, bus);
        EXPECT_TRUE(again.exitsCleanly(20s)) << "the second launch kept running or failed";
    };

    ShellRun first(home_.path(), kShell, bus);
    ASSERT_TRUE(first.logShows("beacon page=desk", 60s)) << first.output();
    const auto servers = first.servers();
    ASSERT_EQ(servers.size(), 1u);
    launchAgain();
    EXPECT_EQ(first.servers(), servers) << "the first instance's server was disturbed";

    // Closing the window quits; a launch during the stop's grace brings the window back
    // and a new server once the old one is gone, with the old log kept beside.
    const pid_t shown = first.pid_;
    ASSERT_TRUE(closeWithCtrlW(shown));
    EXPECT_TRUE(runUntil([&] { return shellWindows(shown).empty(); }, 5s)) << first.output();
    runFor(500ms);
    launchAgain();
    EXPECT_TRUE(runUntil([&] { return !shellWindows(shown).empty(); }, 5s)) << "the launch was lost";
    ASSERT_TRUE(runUntil([&] { return first.servers().size() == 1 && first.servers() != servers; }, 20s))
        << first.output() << readFile(home_ / "data/Quillbay/logs/server.log");
    EXPECT_FALSE(processRuns(servers[0]));
    EXPECT_TRUE(first.logShows("beacon page=desk", 30s)) << first.output();
    EXPECT_NE(readFile(home_ / "data/Quillbay/logs/server.previous.log").find("beacon page=desk"), std::string::npos);

    // The process waits for the stop's grace period.
    const auto restarted = first.servers();
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(shown, SIGTERM), 0);
    EXPECT_TRUE(first.exitsCleanly(10s));
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 2500ms);
    EXPECT_FALSE(processRuns(restarted[0]));
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
