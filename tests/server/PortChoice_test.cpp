#include "server/ListenerCheck.hpp"
#include "server/PortChooser.hpp"

#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

#include <list>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const long long P = kTestPreferred;

void expectChoice(long long port, bool warning)
{
    auto choice = PortChooser({P, P + 1, P + 10}, {300ms, 400ms, 20ms, 20, 200ms}).choose();
    EXPECT_EQ(choice.port, port);
    EXPECT_EQ(choice.warning.has_value(), warning);
}

} // namespace

TEST(PortChoice, TakesTheFreePortOrReclaimsItFromOurEarlierServer)
{
    expectChoice(P, false);
    EXPECT_TRUE(PortChooser::isFree(P)) << "the test only asks; nothing keeps listening";

    setenv("http_proxy", "http://127.0.0.1:9/", 1);  // must not catch the identity question
    unsetenv("no_proxy");
    for (bool ignoresTerm : {false, true}) {
        SCOPED_TRACE(ignoresTerm);
        OrphanFake earlier(P, ignoresTerm ? Args{"--ignore-term"} : Args{});
        ASSERT_GT(earlier.pid(), 0);
        auto began = std::chrono::steady_clock::now();
        expectChoice(P, false);
        EXPECT_FALSE(processRuns(earlier.pid()));
        if (ignoresTerm)
            EXPECT_GE(std::chrono::steady_clock::now() - began, 20 * 20ms) << "the polite wait comes first";
        else
            EXPECT_EQ(earlier.readUntil("ending", 1s).back(), "ending on SIGTERM") << "no SIGKILL was needed";
    }
}

// The identity answer is untrusted: only a pid of ours that holds the listener may be signalled.
TEST(PortChoice, NeverSignalsAStrangerOrAPidItCannotVouchFor)
{
    TestProcess bystander({"/bin/sleep", "60"});
    auto server = startFakeOn(P);
    EXPECT_TRUE(ListenerCheck::mayReclaim(server->pid(), P));
    expectChoice(P + 1, true);
    EXPECT_TRUE(server->running()) << "its parent, this test, is a running shell: not an orphan";
    EXPECT_FALSE(ListenerCheck::mayReclaim(server->pid(), P + 1)) << "not listening there";
    for (long long pid : {static_cast<long long>(bystander.pid()), 1LL, 0LL, -7LL, server->pid() + (1LL << 32)})
        EXPECT_FALSE(ListenerCheck::mayReclaim(pid, P)) << pid;
    server.reset();

    auto poser = startFakeOn(P, {"--pid", std::to_string(bystander.pid())});
    expectChoice(P + 1, true);
    EXPECT_TRUE(poser->running() && bystander.running());
}

TEST(PortChoice, FallsBackPastStrangersAndKeepsThePreferredWhenAllAreTaken)
{
    std::list<std::unique_ptr<TestProcess>> strangers;
    for (long long port = P; port <= P + 10; ++port) {
        if (port == P + 1 || port == P + 5)
            expectChoice(port, true);
        strangers.push_back(startFakeOn(port, {"--app", "Mixdown"}));
    }
    expectChoice(P, false);
    EXPECT_TRUE(strangers.front()->running());
}

TEST(PortChoice, StopsWaitingForASlowIdentityAnswer)
{
    auto slow = startFakeOn(P, {"--answer-delay", "3"});
    // The request itself would wait long enough for the (valid) answer; the caller must not.
    auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(PortChooser::orphanPid(P, 5000ms, 2000ms));
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_TRUE(took >= 1900ms && took < 2600ms);
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
    const std::string warning =
        "warning: port 8765 is in use by another program; using 8766. Desk projects stored under the usual "
        "port will not be visible until it is free.";
    EXPECT_EQ(server.logTail()->front(), warning);
    EXPECT_TRUE(readFile(server.serverLogPath()).starts_with(warning + "\nfake studio server pid="))
        << "the rotated log starts with it too";
    EXPECT_TRUE(stranger->running());
    server.stop();
}
