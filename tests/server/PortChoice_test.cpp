#include "server/ListenerCheck.hpp"
#include "server/PortChooser.hpp"

#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

#include <list>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const long long P = kTestPreferred;

PortChooser::Choice choose()
{
    return PortChooser({P, P + 1, P + 10}, {300ms, 400ms, 20ms, 20, 200ms}).choose();
}

} // namespace

TEST(PortChoice, TakesTheFreePortOrReclaimsItFromOurEarlierServer)
{
    auto choice = choose();
    EXPECT_EQ(choice.port, P);
    EXPECT_FALSE(choice.warning);
    EXPECT_TRUE(PortChooser::isFree(P)) << "the test only asks; nothing keeps listening";

    setenv("http_proxy", "http://127.0.0.1:9/", 1);  // must not catch the identity question
    unsetenv("no_proxy");
    for (bool ignoresTerm : {false, true}) {
        SCOPED_TRACE(ignoresTerm ? "ignores SIGTERM" : "ends on SIGTERM");
        auto earlier = startFakeOn(P, ignoresTerm ? std::vector<std::string>{"--ignore-term"} : std::vector<std::string>{});
        ASSERT_FALSE(PortChooser::isFree(P));
        auto began = std::chrono::steady_clock::now();
        choice = choose();
        EXPECT_EQ(choice.port, P);
        EXPECT_FALSE(choice.warning);
        auto status = earlier->waitForExit(2s);
        ASSERT_TRUE(status);
        if (ignoresTerm) {
            EXPECT_GE(std::chrono::steady_clock::now() - began, 20 * 20ms) << "the polite wait comes first";
            EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);
        } else {
            EXPECT_TRUE(WIFEXITED(*status)) << "no SIGKILL was needed";
        }
    }
}

// The identity answer is untrusted: only a pid of ours that holds the listener may be signalled.
TEST(PortChoice, NeverSignalsAStrangerOrAPidItCannotVouchFor)
{
    TestProcess bystander({"/bin/sleep", "60"});
    auto server = startFakeOn(P);
    EXPECT_TRUE(ListenerCheck::mayReclaim(server->pid(), P));
    EXPECT_FALSE(ListenerCheck::mayReclaim(server->pid(), P + 1)) << "not listening there";
    for (long long pid : {static_cast<long long>(bystander.pid()), 1LL, 0LL, -7LL, server->pid() + (1LL << 32)})
        EXPECT_FALSE(ListenerCheck::mayReclaim(pid, P)) << pid;
    server.reset();

    const std::vector<std::vector<std::string>> holders = {
        {"--app", "Mixdown"},
        {"--pid", std::to_string(bystander.pid())},
        {"--status", "503", "--pid", std::to_string(bystander.pid())},
    };
    for (const auto& args : holders) {
        SCOPED_TRACE(args.back());
        auto holder = startFakeOn(P, args);
        ASSERT_FALSE(PortChooser::isFree(P));
        EXPECT_EQ(choose().port, P + 1);
        EXPECT_TRUE(holder->running());
        EXPECT_TRUE(bystander.running());
    }
}

TEST(PortChoice, SkipsTakenFallbacksAndKeepsThePreferredWhenAllAreTaken)
{
    std::list<std::unique_ptr<TestProcess>> holders;
    for (long long port = P; port <= P + 10; ++port) {
        if (port == P + 5) {
            auto choice = choose();
            EXPECT_EQ(choice.port, P + 5);
            EXPECT_TRUE(choice.warning);
        }
        holders.push_back(startFakeOn(port, {"--app", "Mixdown"}));
    }
    auto choice = choose();
    EXPECT_EQ(choice.port, P);
    EXPECT_FALSE(choice.warning);
}

TEST(PortChoice, StopsWaitingForASlowIdentityAnswer)
{
    auto slow = startFakeOn(P, {"--answer-delay", "3"});
    // The request itself would wait long enough for the (valid) answer; the caller must not.
    auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(PortChooser::orphanPid(P, 5000ms, 2000ms));
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 2600ms);
    runFor(1500ms);  // the late answer arrives and is ignored
    EXPECT_TRUE(slow->running());
}

TEST(PortChoice, AStartBesideAStrangerOnTheUsualPortWarnsFirstInTheTail)
{
    auto stranger = startFakeOn(8765, {"--app", "Mixdown"});
    FakeResources resources({});
    ServerProcess server(resources.config(8765));
    server.start();
    EXPECT_EQ(server.port().get(), 8766);
    ASSERT_TRUE(waitReady(server));
    EXPECT_EQ(server.logTail()->front(),
              "warning: port 8765 is in use by another program; using 8766. Desk projects stored under the usual "
              "port will not be visible until it is free.");
    EXPECT_EQ(readFile(server.serverLogPath()).find("warning:"), std::string::npos) << "for the tail only";
    EXPECT_TRUE(stranger->running());
    server.stop();
}
