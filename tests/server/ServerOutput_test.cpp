#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::literals;

TEST(ServerOutput, KeepsEveryByteInTheLogAndReadableLinesInTheTail)
{
    FakeResources resources({"--tricky-output"});
    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 5s));
    EXPECT_EQ(server.state()->message(), "The studio server exited during startup (exit 0).");
    const auto& tail = server.logTail().get();
    const ServerProcess::LogTail expected = {
        "fake studio server pid=" + std::to_string(fakePid(tail)) + " port=" + std::to_string(kTestPreferred),
        "abcdef", "second line", "caf\xC3\xA9 \xC3\xA9 done", "bad \xEF\xBF\xBD \xEF\xBF\xBD",
        "no line feed, a cut character \xEF\xBF\xBD\xEF\xBF\xBD",
    };
    EXPECT_EQ(tail, expected);
    EXPECT_TRUE(readFile(server.serverLogPath())
                    .ends_with("abcdef\nsecond line\ncaf\xC3\xA9 \xC3\xA9 done\n\n\n\nbad \xFF \0\nno line feed, a cut character \xE2\x82"sv))
        << "the log holds the raw bytes, nothing added";
}

// Output far beyond the pipe's size, written as fast as the child can: every byte, in order.
TEST(ServerOutput, AFloodReachesTheLogByteForByte)
{
    constexpr std::size_t kBytes = 5'000'000;  // several pipes full, many reads
    FakeResources resources({"--flood", std::to_string(kBytes)});
    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 30s));
    EXPECT_EQ(server.state()->message(), "The studio server exited during startup (exit 0).");
    const std::string log = readFile(server.serverLogPath());
    ASSERT_EQ(log.size(), kBytes);
    std::string line(99, 'x');
    line += '\n';
    for (std::size_t at = 0; at < log.size(); at += line.size())
        ASSERT_EQ(log.compare(at, line.size(), line), 0) << "at byte " << at;
    EXPECT_EQ(server.logTail()->back(), std::string(99, 'x'));
}

// The pipe is read to its end before an exit is handled (the tail keeps the newest lines), the exit is handled
// even while a grandchild holds the pipe, and it ends that child's probe.
TEST(ServerOutput, AnExitNamesItsCodeOrSignalAfterTheLastWords)
{
    const std::vector<std::pair<Args, std::string>> cases = {
        {{"--crash-at-start"}, "The studio server exited during startup (exit 3)."},
        {{"--leave-grandchild"}, "The studio server exited during startup (exit 5)."},
        {{"--end-when-ready", "4"}, "The studio server stopped (exit 4)."},
        {{"--end-when-ready", "-9"}, "The studio server stopped by signal 9 (Killed)."},
    };
    for (const auto& [args, message] : cases) {
        FakeResources resources(args);
        // A loaded machine may take seconds to start Python: the exit must come
        // well inside the probe's limit, or the probe would fail the start first.
        ServerProcess::Config config = resources.config();
        config.timing.probe.limit = 8s;
        ServerProcess server(config);
        ServerProcess::LogTail tail;  // as it was when the failure was published
        server.state().signalChanged().connect([&] { if (server.state()->isFailed()) tail = server.logTail().get(); });
        server.start();
        ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 10s)) << message;
        EXPECT_EQ(server.state()->message(), message);
        EXPECT_FALSE(server.hasChild());
        for (const auto& line : tail)
            if (line.starts_with("grandchild pid="))
                ::kill(std::atoi(line.c_str() + 15), SIGKILL);
        if (args[0] != "--crash-at-start")
            continue;
        EXPECT_EQ(tail.size(), 200u);
        EXPECT_EQ(tail.front(), "warming up 2803") << "the newest 200 lines, oldest first";
        EXPECT_EQ(tail.back(), "RuntimeError: the room is on fire");
        EXPECT_TRUE(readFile(server.serverLogPath()).ends_with("warming up 2999\nTraceback (most recent call last):\n"
                                                               "  File \"quillbay_server.py\", line 1, in <module>\n"
                                                               "RuntimeError: the room is on fire\n"));
        runFor(config.timing.probe.limit + 500ms);
        EXPECT_EQ(server.state()->message(), message) << "no probe outlived its child";
    }
}
