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

TEST(ServerStop, TheContinuationWaitsForTheGraceAndAStubbornServerIsKilled)
{
    for (bool stubborn : {false, true}) {
        SCOPED_TRACE(stubborn ? "ignores SIGTERM and end of input" : "polite");
        FakeResources resources(stubborn ? std::vector<std::string>{"--ignore-term"} : std::vector<std::string>{});
        ServerProcess server(resources.config());
        pid_t pid = startReady(server);
        ASSERT_GT(pid, 0);

        bool continued = false;
        auto began = std::chrono::steady_clock::now();
        server.stop([&] { continued = true; });
        EXPECT_TRUE(server.state()->isIdle());
        EXPECT_FALSE(server.hasChild());
        if (stubborn) {
            runFor(kGrace - 200ms);
            EXPECT_TRUE(processExists(pid)) << "still within the grace";
        } else {
            EXPECT_TRUE(runUntil([&] { return !processExists(pid); }, kGrace / 2));
        }
        EXPECT_FALSE(continued);
        ASSERT_TRUE(runUntil([&] { return continued; }, kGrace + 1s));
        EXPECT_GE(std::chrono::steady_clock::now() - began, kGrace);
        EXPECT_TRUE(runUntil([&] { return !processExists(pid); }, 1s));
        runFor(200ms);
        EXPECT_TRUE(server.state()->isIdle()) << "a stopped server's exit publishes nothing";
    }
}

// A stop ends the probe with its child; a restart starts afresh after the grace.
TEST(ServerStop, StopOrRestartWhileStarting)
{
    for (bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "restart" : "stop");
        FakeResources resources({"--delay", "0.5"});
        ServerProcess server(resources.config());
        server.start();
        ASSERT_TRUE(runUntil([&] { return fakePid(server.logTail().get()) > 0; }, 2s));
        ASSERT_TRUE(server.state()->isStarting());
        pid_t first = fakePid(server.logTail().get());
        Recorder seen(server);
        auto began = std::chrono::steady_clock::now();
        restart ? server.restart() : server.stop();
        EXPECT_TRUE(server.state()->isIdle());
        if (!restart) {
            runFor(resources.config().timing.probeLimit + 500ms);
            EXPECT_EQ(seen.states.size(), 1u);
            continue;
        }
        ASSERT_TRUE(runUntil([&] { return server.state()->isStarting(); }, kGrace + 1s));
        EXPECT_GE(std::chrono::steady_clock::now() - began, kGrace);
        ASSERT_TRUE(waitReady(server));
        EXPECT_NE(fakePid(server.logTail().get()), first);
        server.stop();
    }
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
