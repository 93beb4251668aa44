#include "server/PortChooser.hpp"

#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <list>

#include <sys/wait.h>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

PortChooser chooser(long long preferred, PortChooser::Timing timing = {})
{
    timing.politeStep = 20ms;
    timing.killWait = 200ms;
    return PortChooser({preferred, preferred + 1, preferred + 10}, timing);
}

const long long P = kTestPreferred;

} // namespace

TEST(PortChoice, TakesTheFreePreferredPortWithoutWarning)
{
    ASSERT_TRUE(PortChooser::isFree(P));
    auto choice = chooser(P).choose();
    EXPECT_EQ(choice.port, P);
    EXPECT_FALSE(choice.warning);
    EXPECT_TRUE(PortChooser::isFree(P)) << "the test only asks; nothing keeps listening";
}

TEST(PortChoice, ReclaimsThePortFromAnEarlierServerThatEndsOnTerm)
{
    setenv("http_proxy", "http://127.0.0.1:9/", 1);  // must not catch the identity question
    unsetenv("no_proxy");
    auto earlier = startFakeOn(P);
    ASSERT_FALSE(PortChooser::isFree(P));

    auto choice = chooser(P).choose();

    EXPECT_EQ(choice.port, P);
    EXPECT_FALSE(choice.warning);
    auto status = earlier->waitForExit(2s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status)) << "it ended politely, no SIGKILL was needed";
}

TEST(PortChoice, KillsAnEarlierServerThatIgnoresTermAfterThePoliteWait)
{
    auto earlier = startFakeOn(P, {"--ignore-term"});
    ASSERT_FALSE(PortChooser::isFree(P));

    auto began = std::chrono::steady_clock::now();
    auto choice = chooser(P).choose();
    auto took = std::chrono::steady_clock::now() - began;

    EXPECT_EQ(choice.port, P);
    EXPECT_FALSE(choice.warning);
    EXPECT_GE(took, 20 * 20ms);
    auto status = earlier->waitForExit(2s);
    ASSERT_TRUE(status);
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), SIGKILL);
}

TEST(PortChoice, NeverSignalsAStrangerOrAPidItCannotVouchFor)
{
    TestProcess bystander({"/bin/sleep", "60"});
    struct Case {
        const char* what;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"another application", {"--app", "Mixdown"}},
        {"our name, a bystander's pid", {"--pid", std::to_string(bystander.pid())}},
        {"our name, pid 1", {"--pid", "1"}},
        {"our name, pid 0", {"--pid", "0"}},
        {"our name, negative pid", {"--pid", "-7"}},
        {"our name, pid beyond 32 bits", {"--pid", "4294967296"}},
        {"status 503 naming a bystander", {"--status", "503", "--pid", std::to_string(bystander.pid())}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto holder = startFakeOn(P, c.args);
        ASSERT_FALSE(PortChooser::isFree(P));
        auto choice = chooser(P).choose();
        EXPECT_EQ(choice.port, P + 1);
        EXPECT_TRUE(holder->running());
        EXPECT_TRUE(bystander.running());
    }
}

TEST(PortChoice, SkipsTakenFallbacksAndKeepsThePreferredWhenAllAreTaken)
{
    std::list<PortHolder> holders;
    for (long long port = P; port <= P + 4; ++port)
        ASSERT_TRUE(holders.emplace_back(port).holding());
    PortChooser::Timing quick;
    quick.identityRequestTimeout = 300ms;
    quick.identityWait = 400ms;

    auto choice = chooser(P, quick).choose();
    EXPECT_EQ(choice.port, P + 5);
    ASSERT_TRUE(choice.warning);
    EXPECT_EQ(*choice.warning, "warning: port " + std::to_string(P) + " is in use by another program; using " +
                                   std::to_string(P + 5) +
                                   ". Desk projects stored under the usual port will not be visible until it is free.");

    for (long long port = P + 5; port <= P + 10; ++port)
        ASSERT_TRUE(holders.emplace_back(port).holding());
    choice = chooser(P, quick).choose();
    EXPECT_EQ(choice.port, P);
    EXPECT_FALSE(choice.warning);
}

TEST(PortChoice, StopsWaitingForASlowIdentityAnswer)
{
    auto slow = startFakeOn(P, {"--answer-delay", "3"});
    ASSERT_FALSE(PortChooser::isFree(P));

    // The request itself would wait long enough for the (valid) answer; the caller must not.
    auto began = std::chrono::steady_clock::now();
    auto orphan = PortChooser::orphanPid(P, 5000ms, 2000ms);
    auto took = std::chrono::steady_clock::now() - began;

    EXPECT_FALSE(orphan);
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 2600ms);
    EXPECT_TRUE(slow->running());

    // With the default timings the whole choice falls back, with no signal sent.
    began = std::chrono::steady_clock::now();
    auto choice = chooser(P).choose();
    EXPECT_EQ(choice.port, P + 1);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2600ms);
    runFor(1500ms);  // the late answers arrive and are ignored
    EXPECT_TRUE(slow->running());
}

TEST(PortChoice, AStartBesideAStrangerOnTheUsualPortWarnsFirstInTheTail)
{
    auto stranger = startFakeOn(8765, {"--app", "Mixdown"});
    ASSERT_FALSE(PortChooser::isFree(8765));
    ASSERT_TRUE(PortChooser::isFree(8766)) << "the test needs 8766";
    FakeResources resources({});
    auto config = resources.config(8765);
    config.timing.identityRequestTimeout = 1500ms;
    config.timing.identityWait = 2000ms;
    ServerProcess server(config);

    server.start();
    EXPECT_EQ(server.port().get(), 8766);
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));
    ASSERT_FALSE(server.logTail()->empty());
    EXPECT_EQ(server.logTail()->front(),
              "warning: port 8765 is in use by another program; using 8766. Desk projects stored under the usual "
              "port will not be visible until it is free.");
    EXPECT_EQ(readFile(server.serverLogPath()).find("warning:"), std::string::npos)
        << "the warning is for the tail only";
    EXPECT_TRUE(stranger->running());
    server.stop();
}
