#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const auto kGrace = kTestStopGrace;

pid_t startReady(ServerProcess& server)
{
    server.start();
    return waitReady(server) ? fakePid(server.logTail().get()) : 0;
}

} // namespace

// A server that ignores SIGTERM and end of input is killed once the grace is over.
TEST(ServerStop, AStubbornServerIsKilledAfterTheGrace)
{
    FakeResources resources({"--ignore-term"});
    ServerProcess server(resources.config());
    pid_t pid = startReady(server);
    ASSERT_GT(pid, 0);
    bool continued = false;
    server.stop([&] { continued = true; });
    runFor(kGrace - 200ms);
    EXPECT_TRUE(processExists(pid) && !continued) << "still within the grace";
    ASSERT_TRUE(runUntil([&] { return continued; }, 1s + 200ms));
    EXPECT_TRUE(runUntil([&] { return !processExists(pid); }, 1s));
    runFor(200ms);
    EXPECT_TRUE(server.state()->isIdle()) << "a stopped server's exit publishes nothing";
}

// A stop ends the probe with its child; a restart starts afresh after the grace.
TEST(ServerStop, StopOrRestartWhileStarting)
{
    FakeResources resources({"--delay", "0.5"});
    ServerProcess server(resources.config());
    auto startChild = [&] {  // start clears the tail, so the pid seen is the new child's
        server.start();
        return runUntil([&] { return fakePid(server.logTail().get()) > 0; }, 2s) && server.state()->isStarting();
    };
    ASSERT_TRUE(startChild());
    Recorder seen(server);
    server.stop();
    runFor(resources.config().timing.probeLimit + 500ms);
    EXPECT_EQ(seen.states.size(), 1u) << "idle, and no probe failure after it";

    ASSERT_TRUE(startChild());
    pid_t second = fakePid(server.logTail().get());
    auto began = std::chrono::steady_clock::now();
    server.restart();
    EXPECT_TRUE(server.state()->isIdle());
    ASSERT_TRUE(runUntil([&] { return server.state()->isStarting(); }, kGrace + 1s));
    EXPECT_GE(std::chrono::steady_clock::now() - began, kGrace);
    ASSERT_TRUE(waitReady(server));
    EXPECT_NE(fakePid(server.logTail().get()), second);
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
    ASSERT_TRUE(waitReady(server));
    pid_t second = fakePid(server.logTail().get());
    EXPECT_NE(second, first);

    // The first continuation finds a child and starts nothing; the first
    // child's late end does not touch the new start.
    Recorder seen(server);
    runFor(kGrace + 700ms);
    EXPECT_TRUE(seen.states.empty());
    EXPECT_FALSE(processExists(first));
    EXPECT_TRUE(processExists(second));
    bool stopped = false;
    server.stop([&] { stopped = true; });
    ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));
    EXPECT_TRUE(runUntil([&] { return !processExists(second); }, 1s));
}
