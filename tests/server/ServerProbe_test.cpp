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
    // All at once, each on ports of its own, so the limit is waited for once.
    const std::vector<Args> cases = {{"--app", "Mixdown"}, {"--status", "503"}, {"--answer-delay", "60"},
                                     {"--stranger-listens"}};
    std::vector<std::unique_ptr<FakeResources>> resources;
    std::vector<std::unique_ptr<ServerProcess>> servers;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        resources.push_back(std::make_unique<FakeResources>(cases[i]));
        ServerProcess::Config config = resources.back()->config(kTestPreferred + 100 + 11 * static_cast<long long>(i));
        config.timing.probe.limit = 3s;
        servers.push_back(std::make_unique<ServerProcess>(config));
    }
    auto began = std::chrono::steady_clock::now();
    for (auto& server : servers)
        server->start();
    auto starting = [](auto& server) { return server->state()->isStarting(); };
    ASSERT_TRUE(runUntil([&] { return std::none_of(servers.begin(), servers.end(), starting); }, 10s));
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_TRUE(took >= 3s && took < 8s);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ServerProcess& server = *servers[i];
        SCOPED_TRACE(cases[i][0]);
        EXPECT_EQ(server.state()->message(), "The studio server did not answer within 3 s. See the server log.");
        EXPECT_TRUE(server.hasChild()) << "it still runs, so a start does nothing; a restart stops it first";
        server.start();
        EXPECT_TRUE(server.state()->isFailed());
        server.stop();
        EXPECT_TRUE(server.state()->isIdle() && !server.hasChild());
        for (const auto& line : server.logTail().get())
            if (line.starts_with("stranger pid="))
                ::kill(std::atoi(line.c_str() + 13), SIGKILL);
    }
}
