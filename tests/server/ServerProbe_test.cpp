#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

TEST(ServerProbe, WaitsQuietlyForALateServerAndAStopWaitsOutTheGrace)
{
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        setenv(name, "http://127.0.0.1:9/", 1);  // must not catch requests to 127.0.0.1
    unsetenv("no_proxy"), unsetenv("NO_PROXY");
    FakeResources resources({"--delay", "1.2"});
    ServerProcess server(resources.config());
    Recorder seen(server);
    auto began = std::chrono::steady_clock::now();
    server.start();
    ASSERT_TRUE(waitReady(server));
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_TRUE(took >= 1200ms && took < 5s) << "ready soon after the late server listens";
    ASSERT_EQ(seen.states.size(), 2u) << "starting, then ready; nothing in between";
    EXPECT_EQ(server.baseURL(), "http://127.0.0.1:" + std::to_string(kTestPreferred) + "/");

    pid_t pid = fakePid(server.logTail().get());
    int portWrites = seen.portWrites;
    server.start();
    runFor(300ms);
    EXPECT_EQ(seen.states.size(), 2u);
    EXPECT_EQ(seen.portWrites, portWrites);
    EXPECT_EQ(fakePid(server.logTail().get()), pid) << "the same child keeps its tail";

    // A polite server leaves at once; the continuation still waits for the grace.
    bool continued = false;
    began = std::chrono::steady_clock::now();
    server.stop([&] { continued = true; });
    EXPECT_TRUE(server.state()->isIdle() && !server.hasChild());
    EXPECT_TRUE(runUntil([&] { return !processRuns(pid); }, kTestStopGrace / 2));
    EXPECT_FALSE(continued);
    ASSERT_TRUE(runUntil([&] { return continued; }, kTestStopGrace + 1s));
    EXPECT_GE(std::chrono::steady_clock::now() - began, kTestStopGrace);
}

TEST(ServerProbe, GivesUpOnAnswersThatAreNotOursAndKeepsTheChild)
{
    // Another application, our name with the wrong status, an answer that never comes, and a
    // correct answer from a process outside the child's tree while the child never listens.
    for (const auto& args : {Args{"--app", "Mixdown"}, Args{"--status", "503"}, Args{"--answer-delay", "60"},
                             Args{"--stranger-listens"}}) {
        FakeResources resources(args);
        ServerProcess::Config config = resources.config();
        config.timing.probeLimit = 3s;
        ServerProcess server(config);
        auto began = std::chrono::steady_clock::now();
        server.start();
        ASSERT_TRUE(runUntil([&] { return !server.state()->isStarting(); }, 10s)) << args[0];
        auto took = std::chrono::steady_clock::now() - began;
        EXPECT_EQ(server.state()->message(), "The studio server did not answer within 3 s. See the server log.");
        EXPECT_TRUE(took >= 3s && took < 8s) << args[0];
        EXPECT_TRUE(server.hasChild()) << "it still runs, so a start does nothing; a restart stops it first";
        server.start();
        EXPECT_TRUE(server.state()->isFailed());
        const auto tail = server.logTail().get();
        bool stopped = false;
        server.stop([&] { stopped = true; });
        EXPECT_TRUE(server.state()->isIdle());
        ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));
        for (const auto& line : tail)
            if (line.starts_with("stranger pid="))
                ::kill(std::atoi(line.c_str() + 13), SIGKILL);
    }
}
