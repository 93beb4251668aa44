#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

TEST(ServerProbe, WaitsQuietlyForALateServerAndAStartWhileRunningChangesNothing)
{
    // A proxy in the environment must not catch requests to 127.0.0.1.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        setenv(name, "http://127.0.0.1:9/", 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    FakeResources resources({"--delay", "1.2"});
    ServerProcess server(resources.config());
    Recorder seen(server);
    auto began = std::chrono::steady_clock::now();
    server.start();
    ASSERT_TRUE(waitReady(server));
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_GE(took, 1200ms);
    EXPECT_LT(took, 1200ms + 1s);
    ASSERT_EQ(seen.states.size(), 2u) << "starting, then ready; nothing in between";
    EXPECT_TRUE(seen.states[0].isStarting());
    EXPECT_EQ(server.baseURL(), "http://127.0.0.1:" + std::to_string(kTestPreferred) + "/");

    pid_t pid = fakePid(server.logTail().get());
    int portWrites = seen.portWrites;
    server.start();
    runFor(300ms);
    EXPECT_EQ(seen.states.size(), 2u);
    EXPECT_EQ(seen.portWrites, portWrites);
    EXPECT_EQ(fakePid(server.logTail().get()), pid) << "the same child keeps its tail";
    server.stop();
}

TEST(ServerProbe, GivesUpOnAnswersThatAreNotOursAndKeepsTheChild)
{
    // Another application, our name with the wrong status, and an answer that never comes.
    for (const auto& args : std::vector<std::vector<std::string>>{{"--app", "Mixdown"}, {"--status", "503"},
                                                                   {"--answer-delay", "60"}}) {
        SCOPED_TRACE(args.front());
        FakeResources resources(args);
        ServerProcess server(resources.config());
        auto began = std::chrono::steady_clock::now();
        server.start();
        ASSERT_TRUE(runUntil([&] { return !server.state()->isStarting(); }, 6s));
        auto took = std::chrono::steady_clock::now() - began;
        EXPECT_EQ(server.state()->message(), "The studio server did not answer within 3 s. See the server log.");
        EXPECT_GE(took, 3s);
        EXPECT_LT(took, 3s + 1s + 150ms + 500ms);
        EXPECT_TRUE(server.hasChild()) << "it still runs, so a start does nothing; a restart stops it first";
        server.start();
        EXPECT_TRUE(server.state()->isFailed());

        bool stopped = false;
        server.stop([&] { stopped = true; });
        EXPECT_TRUE(server.state()->isIdle());
        ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));
    }
}
