#include "ServerTestSupport.hpp"

#include "app/lifecycle/AppDelegate.hpp"
#include "app/lifecycle/QuitDecision.hpp"

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
    EXPECT_TRUE(processRuns(pid) && !continued) << "still within the grace";
    ASSERT_TRUE(runUntil([&] { return continued; }, 1s + 200ms));
    EXPECT_TRUE(runUntil([&] { return !processRuns(pid); }, 1s));
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
        return runUntil([&] { return fakePid(server.logTail().get()) > 0; }, 8s) && server.state()->isStarting();
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

// Restarts that arrive while one waits for its grace join it: one new server, and the
// previous log keeps the generation that was running.
TEST(ServerStop, RestartsDuringAGraceJoinItAndKeepThePreviousLog)
{
    FakeResources resources({"--ignore-term"});
    ServerProcess server(resources.config());
    pid_t first = startReady(server);
    ASSERT_GT(first, 0);
    Recorder seen(server);
    for (int i = 0; i < 5; ++i)
        server.restart();
    EXPECT_TRUE(server.state()->isIdle() && !server.hasChild());
    ASSERT_TRUE(waitReady(server));
    pid_t second = fakePid(server.logTail().get());
    runFor(kGrace + 500ms);  // a straggling start would show by now
    const std::vector<ServerState> oneStart{ServerState::idle(), ServerState::starting(), ServerState::ready()};
    EXPECT_EQ(seen.states, oneStart);
    EXPECT_FALSE(processRuns(first));
    EXPECT_TRUE(processRuns(second));
    EXPECT_EQ(fakePid(Args{readFile(resources.stateDir() + "/logs/server.previous.log")}), first);
    EXPECT_EQ(fakePid(Args{readFile(server.serverLogPath())}), second);
    bool stopped = false;
    server.stop([&] { stopped = true; });
    ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));
    EXPECT_TRUE(runUntil([&] { return !processRuns(second); }, 1s));
}

// A stop, or the application's quit, while a restart waits for its grace cancels it: no
// launch, no rotation, and the old child's forced end still comes.
TEST(ServerStop, AStopOrQuitDuringARestartsGraceStartsNothing)
{
    for (bool quit : {false, true}) {
        SCOPED_TRACE(quit);
        FakeResources resources({"--ignore-term"});
        auto server = std::make_shared<ServerProcess>(resources.config());
        AppDelegate delegate(kGrace);
        delegate.windowAppeared(server);
        ASSERT_TRUE(waitReady(*server));
        pid_t first = fakePid(server->logTail().get());
        const std::string log = server->serverLogPath(), previous = resources.stateDir() + "/logs/server.previous.log";

        Recorder seen(*server);
        auto began = std::chrono::steady_clock::now();
        server->restart();
        runFor(kGrace / 4);
        bool done = false;
        if (quit)
            delegate.requestQuit([&] { done = true; });
        else
            server->stop([&] { done = true; });
        EXPECT_FALSE(done) << "the old child is still within its grace";
        ASSERT_TRUE(runUntil([&] { return done; }, kGrace + 1s));
        auto took = std::chrono::steady_clock::now() - began;
        EXPECT_TRUE(took >= kGrace && took < kGrace + kForcedEndMargin + 400ms);
        EXPECT_TRUE(runUntil([&] { return !processRuns(first); }, 1s)) << "killed at the end of the grace";
        runFor(300ms);
        EXPECT_EQ(seen.states, std::vector<ServerState>{ServerState::idle()});
        EXPECT_FALSE(server->hasChild());
        EXPECT_EQ(fakePid(Args{readFile(log)}), first);
        EXPECT_FALSE(fs::exists(previous));
    }
}
