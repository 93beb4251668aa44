#include "ServerTestSupport.hpp"

#include "app/lifecycle/AppDelegate.hpp"

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

void stopAndWait(ServerProcess& server)
{
    bool stopped = false;
    server.stop([&] { stopped = true; });
    EXPECT_TRUE(runUntil([&] { return stopped; }, kGrace + 3s));
}

} // namespace

// A server that ignores SIGTERM and end of input is killed once the grace is over, and the
// stop is done only when it is gone: what follows may end the process. Also on a busy machine.
TEST(ServerStop, AStubbornServerIsGoneBeforeTheStopIsDone)
{
    TestProcess busy({"/bin/sh", "-c", "while :; do :; done"});
    FakeResources resources({"--ignore-term"});
    ServerProcess server(resources.config());
    for (int round = 0; round < 3; ++round) {
        pid_t pid = startReady(server);
        ASSERT_GT(pid, 0);
        bool done = false, goneWhenDone = false;
        server.stop([&] { done = true, goneWhenDone = !processRuns(pid); });
        runFor(kGrace - 200ms);
        EXPECT_TRUE(processRuns(pid) && !done) << "still within the grace";
        ASSERT_TRUE(runUntil([&] { return done; }, 3s));
        EXPECT_TRUE(goneWhenDone) << round;
        EXPECT_TRUE(server.state()->isIdle()) << "a stopped server's exit publishes nothing";
    }
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
    runFor(resources.config().timing.probe.limit + 500ms);
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
    stopAndWait(server);
    EXPECT_FALSE(processRuns(second));
}

// A stop, or the application's quit, while a restart waits for its grace cancels it: no
// launch, no rotation, and the old child's forced end still comes. A launch during the
// quit calls the quit off: one new server once the old one is gone, both logs kept.
TEST(ServerStop, AStopOrQuitDuringARestartsGraceStartsNothingUnlessTheQuitIsCalledOff)
{
    enum Mode { Stop, Quit, QuitCalledOff };
    for (Mode mode : {Stop, Quit, QuitCalledOff}) {
        SCOPED_TRACE(mode);
        FakeResources resources({"--ignore-term"});
        auto server = std::make_shared<ServerProcess>(resources.config());
        AppDelegate delegate;
        delegate.windowAppeared(server);
        ASSERT_TRUE(waitReady(*server));
        pid_t first = fakePid(server->logTail().get());
        const std::string log = server->serverLogPath(), previous = resources.stateDir() + "/logs/server.previous.log";

        Recorder seen(*server);
        auto began = std::chrono::steady_clock::now();
        server->restart();
        runFor(kGrace / 4);
        bool done = false;
        if (mode == Stop)
            server->stop([&] { done = true; });
        else
            delegate.requestQuit([&] { done = true; });
        EXPECT_FALSE(done) << "the old child is still within its grace";
        if (mode == QuitCalledOff) {
            EXPECT_TRUE(delegate.resumeFromQuit());
            ASSERT_TRUE(waitReady(*server));
            EXPECT_GE(std::chrono::steady_clock::now() - began, kGrace) << "not beside the old child";
            EXPECT_FALSE(processRuns(first) || done);
            EXPECT_EQ(seen.states, (std::vector{ServerState::idle(), ServerState::starting(), ServerState::ready()}));
            EXPECT_EQ(fakePid(Args{readFile(previous)}), first);
            EXPECT_NE(fakePid(Args{readFile(log)}), first);
            stopAndWait(*server);
            continue;
        }
        ASSERT_TRUE(runUntil([&] { return done; }, kGrace + 1s));
        auto took = std::chrono::steady_clock::now() - began;
        EXPECT_TRUE(took >= kGrace && took < kGrace + 600ms);
        EXPECT_FALSE(processRuns(first)) << "killed at the end of the grace";
        runFor(300ms);
        EXPECT_EQ(seen.states, std::vector<ServerState>{ServerState::idle()});
        EXPECT_FALSE(server->hasChild());
        EXPECT_EQ(fakePid(Args{readFile(log)}), first);
        EXPECT_FALSE(fs::exists(previous));
    }
}
