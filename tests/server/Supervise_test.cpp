#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

// quillbay-supervise as a child: commands in, one line per published change out.
// A server that stays on end of input must still end when the tool is killed.
TEST(SuperviseTool, ReportsTheStartQuitsCleanlyAndLeavesNoServerWhenKilled)
{
    for (bool killed : {false, true}) {
        FakeResources resources(killed ? Args{"--ignore-eof"} : Args{});
        setenv("XDG_DATA_HOME", resources.scratch("data").c_str(), 1);
        TestProcess tool({QUILLBAY_BIN_DIR "/quillbay-supervise", "--resources", resources.resourceDir()});
        auto lines = tool.readUntil("state ready", 10s);
        ASSERT_EQ(lines.back(), "state ready") << ::testing::PrintToString(lines);
        EXPECT_TRUE(lines[0] == "state starting" && lines[1].starts_with("port 87")) << lines[1];
        pid_t server = fakePid(lines);
        ASSERT_GT(server, 0);
        EXPECT_TRUE(readFile(resources.scratch("data/Quillbay/logs/server.log")).starts_with("fake studio server pid="))
            << "the studio folder follows the user's data folder";
        if (killed) {
            ::kill(tool.pid(), SIGKILL);
        } else {
            tool.send("quit");
            EXPECT_EQ(tool.readUntil("state idle", 2s).back(), "state idle");
        }
        auto status = tool.waitForExit(5s);
        EXPECT_TRUE(status && (killed || (WIFEXITED(*status) && WEXITSTATUS(*status) == 0)));
        EXPECT_TRUE(runUntil([&] { return !processRuns(server); }, 2s)) << killed;
        if (processRuns(server))
            ::kill(server, SIGKILL);
    }
}

// Two shells with their own studio folders on one machine: the second must not take the
// port from the first one's live server; it falls back with the usual warning.
TEST(SuperviseTool, ASecondShellLeavesTheFirstOnesServerAlone)
{
    FakeResources resources({});
    auto launchTool = [&](const std::string& data) {
        setenv("XDG_DATA_HOME", resources.scratch(data).c_str(), 1);
        return std::make_unique<TestProcess>(Args{QUILLBAY_BIN_DIR "/quillbay-supervise", "--resources", resources.resourceDir()});
    };
    auto first = launchTool("one");
    auto lines = first->readUntil("state ready", 10s);
    ASSERT_EQ(lines.back(), "state ready") << ::testing::PrintToString(lines);
    ASSERT_EQ(lines[1], "port 8765");
    pid_t firstServer = fakePid(lines);

    auto second = launchTool("two");
    lines = second->readUntil("state ready", 10s);
    ASSERT_EQ(lines.back(), "state ready") << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[1], "port 8766");
    EXPECT_TRUE(lines[2].starts_with("log warning: port 8765 is in use by another program; using 8766.")) << lines[2];
    EXPECT_TRUE(processRuns(firstServer));
    first->send("quit");
    EXPECT_EQ(first->readUntil("state", 2s).back(), "state idle") << "its server was still running";

    second->send("quit");
    for (auto* tool : {first.get(), second.get()}) {
        auto status = tool->waitForExit(6s);
        EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    }
}
