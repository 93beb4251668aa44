#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quillbay;
using namespace quillbay::testing;

TEST(ServerProbe, ReadyAtOnceAndAStartWhileRunningChangesNothing)
{
    // A proxy in the environment must not catch requests to 127.0.0.1.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        setenv(name, "http://127.0.0.1:9/", 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    FakeResources resources({});
    ServerProcess server(resources.config());
    auto began = std::chrono::steady_clock::now();
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);
    EXPECT_EQ(server.baseURL(), "http://127.0.0.1:" + std::to_string(kTestPreferred) + "/");
    auto pid = fakePidFromTail(server.logTail().get());

    Recorder seen(server);
    server.start();
    runFor(300ms);
    EXPECT_TRUE(seen.states.empty());
    EXPECT_EQ(seen.portWrites, 0);
    EXPECT_TRUE(server.hasChild());
    EXPECT_EQ(fakePidFromTail(server.logTail().get()), pid) << "the same child keeps its tail";
    server.stop();
}

TEST(ServerProbe, WaitsQuietlyForALateServer)
{
    FakeResources resources({"--delay", "1.2"});
    ServerProcess server(resources.config());
    Recorder seen(server);
    auto began = std::chrono::steady_clock::now();
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_GE(took, 1200ms);
    EXPECT_LT(took, 1200ms + 1s);
    ASSERT_EQ(seen.states.size(), 2u) << "starting, then ready; nothing in between";
    EXPECT_TRUE(seen.states[0].isStarting());
    server.stop();
}

TEST(ServerProbe, GivesUpOnAnswersThatAreNotOursAndKeepsTheChild)
{
    const std::vector<std::vector<std::string>> servers = {
        {"--app", "Mixdown"},   // another application
        {"--status", "503"},    // our name, wrong status
        {"--hang"},             // accepts, never answers
    };
    for (const auto& args : servers) {
        SCOPED_TRACE(args.front());
        FakeResources resources(args);
        ServerProcess server(resources.config());
        Recorder seen(server);
        auto began = std::chrono::steady_clock::now();
        server.start();
        ASSERT_TRUE(runUntil([&] { return !server.state()->isStarting(); }, 6s));
        auto took = std::chrono::steady_clock::now() - began;

        EXPECT_EQ(server.state().get(),
                  ServerState::failed("The studio server did not answer within 3 s. See the server log."));
        EXPECT_GE(took, 3s);
        EXPECT_LT(took, 3s + 1s + 150ms + 500ms);
        EXPECT_EQ(seen.states.size(), 2u);
        // The child still runs, so a start does nothing; a restart would stop it first.
        EXPECT_TRUE(server.hasChild());
        server.start();
        EXPECT_EQ(seen.states.size(), 2u);

        bool stopped = false;
        server.stop([&] { stopped = true; });
        EXPECT_TRUE(server.state()->isIdle());
        ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));
    }
}
