// The real shell on other displays than the plain Xvfb of the suite: a Wayland
// compositor, and the Xvfb screen at scale 2.

#include "ShellRun.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillbay {
namespace {

using namespace quillbay::testing;

class SmokeRun : public ::testing::Test {
protected:
    // Ends the shell with SIGTERM and checks that nothing of it is left.
    void quitBySignal(ShellRun& shell)
    {
        const auto servers = shell.servers();
        ASSERT_EQ(servers.size(), 1u) << shell.output();
        ASSERT_EQ(kill(shell.pid_, SIGTERM), 0);
        EXPECT_TRUE(shell.exitsCleanly(15s)) << shell.output();
        EXPECT_FALSE(processRuns(servers[0]));
    }

    TempDir home_{"quillbay-smoke"};
};

TEST_F(SmokeRun, OnAWaylandCompositorTheDeskLoadsAndSigtermLeavesNothing)
{
    // A headless compositor that draws with the CPU, on a socket in a runtime folder of the test's own.
    const std::string runtime = home_ / "runtime";
    g_mkdir_with_parents(runtime.c_str(), 0700);
    GroupRun weston({"/usr/bin/weston", "--backend=headless-backend.so", "--use-pixman", "--socket=quillbay-wayland",
                     "--width=1400", "--height=900", "--idle-time=0"},
                    {"XDG_RUNTIME_DIR=" + runtime, "PATH=/usr/bin:/bin", "HOME=" + home_.path()}, home_ / "weston.out");
    struct stat socket {};
    ASSERT_TRUE(runUntil([&] { return stat((runtime + "/quillbay-wayland").c_str(), &socket) == 0; }, 20s))
        << readFile(home_ / "weston.out");

    ShellRun shell(home_ / "shell", kShell, {},
                   {"DISPLAY=", "XAUTHORITY=", "GDK_BACKEND=wayland", "WAYLAND_DISPLAY=quillbay-wayland",
                    "XDG_RUNTIME_DIR=" + runtime});
    ASSERT_TRUE(shell.logShows("beacon page=desk", 60s)) << shell.output();
    quitBySignal(shell);
    // The compositor has no input seat, which GDK reports once; nothing else may be critical.
    std::istringstream output(shell.output());
    for (std::string line; std::getline(output, line);)
        EXPECT_TRUE(line.find("CRITICAL") == std::string::npos || line.find("seat") != std::string::npos) << line;
}

TEST_F(SmokeRun, AtScaleTwoTheWindowFitsTheScreenAndTheRememberedSizeStays)
{
    const std::string preferences = home_ / "config/Quillbay/preferences.ini";
    writeFile(preferences, "[Preferences]\nwindow.width=1150\nwindow.height=780\nwindow.maximized=false\n");

    ShellRun shell(home_.path(), kShell, {}, {"GDK_SCALE=2"});
    ASSERT_TRUE(shell.logShows("beacon page=desk", 60s)) << shell.output();
    const auto windows = shellWindows(shell.pid_);
    ASSERT_EQ(windows.size(), 1u);
    // The suite's screen is 1400x900 pixels: 700x450 at scale 2.
    const auto geometry = numbersFrom("xdotool getwindowgeometry --shell " + std::to_string(windows[0]) +
                                      " | grep -E '^(X|Y|WIDTH|HEIGHT)=' | cut -d= -f2");
    ASSERT_EQ(geometry.size(), 4u);
    EXPECT_LE(geometry[0] + geometry[2], 1400u) << "x " << geometry[0] << " width " << geometry[2];
    EXPECT_LE(geometry[1] + geometry[3], 900u) << "y " << geometry[1] << " height " << geometry[3];

    quitBySignal(shell);
    const std::string kept = readFile(preferences);
    EXPECT_NE(kept.find("window.width=1150\n"), std::string::npos) << kept;
    EXPECT_NE(kept.find("window.height=780\n"), std::string::npos) << kept;
}

} // namespace
} // namespace quillbay
