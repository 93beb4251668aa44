#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const auto kGrace = fastTiming().stopGrace;

pid_t startReady(ServerProcess& server)
{
    server.start();
    if (!runUntil([&] { return server.state()->isReady(); }, 5s))
        return 0;
    return fakePidFromTail(server.logTail().get()).value_or(0);
}

} // namespace

TEST(ServerStop, APoliteServerEndsAtOnceAndTheContinuationWaitsForTheGrace)
{
    FakeResources resources({});
    ServerProcess server(resources.config());
    pid_t pid = startReady(server);
    ASSERT_GT(pid, 0);

    bool continued = false;
    auto began = std::chrono::steady_clock::now();
    server.stop([&] { continued = true; });
    EXPECT_TRUE(server.state()->isIdle());
    EXPECT_FALSE(server.hasChild());

    EXPECT_TRUE(runUntil([&] { return !processExists(pid); }, kGrace / 2)) << "end of input ends it";
    EXPECT_FALSE(continued);
    ASSERT_TRUE(runUntil([&] { return continued; }, kGrace + 1s));
    EXPECT_GE(std::chrono::steady_clock::now() - began, kGrace);
    EXPECT_TRUE(server.state()->isIdle()) << "a stopped server's exit publishes nothing";
}

TEST(ServerStop, AServerIgnoringTermAndEndOfInputIsKilledAfterTheGrace)
{
    FakeResources resources({"--ignore-term"});
    ServerProcess server(resources.config());
    pid_t pid = startReady(server);
    ASSERT_GT(pid, 0);

    bool continued = false;
    server.stop([&] { continued = true; });
    runFor(kGrace - 200ms);
    EXPECT_TRUE(processExists(pid)) << "still within the grace";
    ASSERT_TRUE(runUntil([&] { return continued; }, 2s));
    EXPECT_TRUE(runUntil([&] { return !processExists(pid); }, 1s));
    runFor(200ms);
    EXPECT_TRUE(server.state()->isIdle());
}

TEST(ServerStop, StoppingWhileStartingEndsTheProbeAndStaysIdle)
{
    FakeResources resources({"--delay", "1"});
    ServerProcess server(resources.config());
    server.start();
    runFor(200ms);
    ASSERT_TRUE(server.state()->isStarting());
    Recorder seen(server);
    server.stop();
    runFor(fastTiming().probeLimit + 500ms);
    ASSERT_EQ(seen.states.size(), 1u);
    EXPECT_TRUE(seen.states[0].isIdle());
}

TEST(ServerStop, RestartWhileStartingBeginsAFreshStartAfterTheGrace)
{
    FakeResources resources({"--delay", "0.5"});
    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(runUntil([&] { return fakePidFromTail(server.logTail().get()).has_value(); }, 2s));
    ASSERT_TRUE(server.state()->isStarting());
    auto firstPid = fakePidFromTail(server.logTail().get());

    Recorder seen(server);
    auto began = std::chrono::steady_clock::now();
    server.restart();
    EXPECT_TRUE(server.state()->isIdle());
    ASSERT_TRUE(runUntil([&] { return server.state()->isStarting(); }, kGrace + 1s));
    EXPECT_GE(std::chrono::steady_clock::now() - began, kGrace);
    ASSERT_GE(seen.tailSizes.size(), 1u);
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));
    EXPECT_NE(fakePidFromTail(server.logTail().get()), firstPid);
    EXPECT_NE(readFile(resources.stateDir() + "/logs/server.previous.log").find("pid=" + std::to_string(*firstPid)),
              std::string::npos);
    server.stop();
}

TEST(ServerStop, TwoRestartsWithinOneGraceLeaveOneHealthyServer)
{
    FakeResources resources({"--ignore-term"});
    ServerProcess server(resources.config());
    pid_t first = startReady(server);
    ASSERT_GT(first, 0);

    server.restart();  // stops the first; its start is due after the grace
    EXPECT_TRUE(server.state()->isIdle());
    server.restart();  // no child now: starts at once
    EXPECT_TRUE(server.hasChild());
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));
    pid_t second = fakePidFromTail(server.logTail().get()).value_or(0);
    EXPECT_NE(second, first);

    // The first continuation finds a child and starts nothing; the first
    // child's late end does not touch the new start.
    Recorder seen(server);
    runFor(kGrace + 700ms);
    EXPECT_TRUE(seen.states.empty());
    EXPECT_TRUE(server.state()->isReady());
    EXPECT_FALSE(processExists(first));
    EXPECT_TRUE(processExists(second));

    bool stopped = false;
    server.stop([&] { stopped = true; });
    ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));
    EXPECT_TRUE(runUntil([&] { return !processExists(second); }, 1s));
}
