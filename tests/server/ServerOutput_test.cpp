#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

bool settled(const ServerProcess& server)
{
    return server.state()->isFailed() || server.state()->isReady();
}

} // namespace

TEST(ServerOutput, KeepsEveryByteInTheLogAndReadableLinesInTheTail)
{
    FakeResources resources({"--tricky-output"});
    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 5s));

    EXPECT_EQ(server.state().get(), ServerState::failed("The studio server exited during startup (exit 0)."));
    ServerProcess::LogTail expected = {
        "fake studio server pid=" + std::to_string(*fakePidFromTail(server.logTail().get())) + " port=" +
            std::to_string(kTestPreferred),
        "abcdef",
        "second line",
        "caf\xC3\xA9 spl\xC3\xA9 done",
        "bad \xEF\xBF\xBD byte",
        "no line feed at the end",
    };
    EXPECT_EQ(server.logTail().get(), expected);

    std::string log = readFile(server.serverLogPath());
    EXPECT_NE(log.find("abcdef\nsecond line\ncaf\xC3\xA9 spl\xC3\xA9 done\n\n\n\nbad \xFF byte\nno line feed at the end"),
              std::string::npos);
    EXPECT_EQ(log.back(), 'd') << "the log holds the raw bytes, nothing added";
}

TEST(ServerOutput, TailKeepsTheNewest200LinesAndNotifiesPerLineAndPerTrim)
{
    FakeResources resources({"--lines", "250"});
    ServerProcess server(resources.config());
    Recorder seen(server);
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));
    runFor(200ms);  // let the request line of the probe arrive
    server.stop();

    const auto& tail = server.logTail().get();
    ASSERT_EQ(tail.size(), 200u);
    auto last = std::find(tail.begin(), tail.end(), "line 250");
    ASSERT_NE(last, tail.end());
    // Consecutive numbered lines end at 250, oldest first.
    int expected = 250;
    for (auto it = last;; --it, --expected) {
        EXPECT_EQ(*it, "line " + std::to_string(expected));
        if (it == tail.begin())
            break;
    }

    // One notification for emptying, one per line, and one per trim.
    std::size_t lines = 0;
    for (char c : readFile(server.serverLogPath()))
        lines += (c == '\n');
    EXPECT_EQ(seen.tailSizes.size(), 1 + lines + (lines - 200));
    EXPECT_EQ(std::count(seen.tailSizes.begin(), seen.tailSizes.end(), 201u), static_cast<long>(lines - 200));
}

TEST(ServerOutput, ACrashAtStartLeavesItsLastWordsAndStaysReported)
{
    FakeResources resources({"--crash-at-start"});
    ServerProcess server(resources.config());
    ServerProcess::LogTail tailWhenFailed;
    server.state().signalChanged().connect([&] {
        if (server.state()->isFailed())
            tailWhenFailed = server.logTail().get();
    });
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 5s));

    EXPECT_EQ(server.state().get(), ServerState::failed("The studio server exited during startup (exit 3)."));
    EXPECT_EQ(lastLine(tailWhenFailed), "RuntimeError: the room is on fire")
        << "the whole output is read before the exit is handled";
    std::string log = readFile(server.serverLogPath());
    EXPECT_TRUE(log.ends_with("warming up 2999\nTraceback (most recent call last):\n"
                              "  File \"quillbay_server.py\", line 1, in <module>\n"
                              "RuntimeError: the room is on fire\n"));
    EXPECT_FALSE(server.hasChild());

    // The probe ended with its child: nothing overwrites the message later.
    runFor(3500ms);
    EXPECT_EQ(server.state().get(), ServerState::failed("The studio server exited during startup (exit 3)."));
}

TEST(ServerOutput, AnExitIsHandledEvenWhenAGrandchildKeepsTheOutputOpen)
{
    FakeResources resources({"--leave-grandchild"});
    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 6s));
    EXPECT_EQ(server.state().get(), ServerState::failed("The studio server exited during startup (exit 5)."));
    EXPECT_FALSE(server.hasChild());
    for (const auto& line : server.logTail().get()) {
        if (line.rfind("grandchild pid=", 0) == 0)
            ::kill(std::atoi(line.c_str() + 15), SIGKILL);
    }
}

TEST(ServerOutput, AServerThatEndsWhileReadyNamesItsExitCodeOrSignal)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--exit-when-ready", "4"}, "The studio server stopped (exit 4)."},
        {{"--kill-self-when-ready"}, "The studio server stopped (exit 9)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        FakeResources resources(c.args);
        ServerProcess server(resources.config());
        Recorder seen(server);
        server.start();
        ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 5s));
        EXPECT_EQ(server.state().get(), ServerState::failed(c.message));
        ASSERT_EQ(seen.states.size(), 3u);
        EXPECT_TRUE(seen.states[1].isReady());
        EXPECT_FALSE(server.hasChild());

        // From there a start begins afresh.
        server.start();
        EXPECT_TRUE(server.state()->isStarting() || settled(server));
        ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 5s));
        EXPECT_TRUE(server.hasChild() == false);
    }
}
