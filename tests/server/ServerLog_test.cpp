#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

// How many tail lines start with `prefix`.
long countStarting(const ServerProcess::LogTail& tail, const std::string& prefix)
{
    return std::count_if(tail.begin(), tail.end(), [&](const std::string& line) { return line.starts_with(prefix); });
}

} // namespace

// The log is never written through a link or into anything but a regular file of ours with
// one name; a rotation that fails keeps the last generation and appends to it. Each case
// still starts the server and says once in the tail what became of the log.
TEST(ServerLog, NeverWritesThroughALinkAndKeepsTheLogWhenRotationFails)
{
    struct Case {
        const char* name;
        std::function<void(const std::string& logs, const std::string& victim)> arrange;
        std::string notice;      // the start of the one warning in the tail, or empty
        bool previousBlocked;    // server.previous.log is a folder with something in it
        std::string logStarts;   // what server.log starts with afterwards, when it is a file
    };
    const std::string notWritten = "warning: the server log ";
    const std::vector<Case> cases = {
        {"link, rotation fails",
         [](auto& logs, auto& victim) { fs::create_symlink(victim, logs + "/server.log"); },
         notWritten, true, ""},
        {"link, rotation moves the link", [](auto& logs, auto& victim) { fs::create_symlink(victim, logs + "/server.log"); },
         "", false, "fake studio server pid="},
        {"hard link, rotation fails", [](auto& logs, auto& victim) { fs::create_hard_link(victim, logs + "/server.log"); },
         notWritten, true, ""},
        {"a folder, rotation fails",
         [](auto& logs, auto&) { fs::create_directories(logs + "/server.log/inside"); }, notWritten, true, ""},
        {"a FIFO, rotation fails",  // must not block the start
         [](auto& logs, auto&) { ::mkfifo((logs + "/server.log").c_str(), 0600); }, notWritten, true, ""},
        {"the last log, rotation fails",
         [](auto& logs, auto&) { std::ofstream(logs + "/server.log") << "earlier run\n"; },
         "warning: the server log could not be rotated (", true, "earlier run\nfake studio server pid="},
    };
    long long port = kTestPreferred + 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A port of its own for each row, so no row can meet the one before it.
        port += 11;
        FakeResources resources({});
        const std::string logs = resources.stateDir() + "/logs", victim = resources.scratch("victim.txt");
        fs::create_directories(logs);
        std::ofstream(victim) << "precious\n";
        if (c.previousBlocked)
            fs::create_directories(logs + "/server.previous.log/kept");
        c.arrange(logs, victim);

        ServerProcess server(resources.config(port));
        server.start();
        ASSERT_TRUE(waitReady(server)) << server.state()->message();
        const auto& tail = server.logTail().get();
        EXPECT_EQ(countStarting(tail, "warning: the server log "), c.notice.empty() ? 0 : 1);
        if (!c.notice.empty()) {
            EXPECT_EQ(countStarting(tail, c.notice), 1) << ::testing::PrintToString(tail);
        }
        EXPECT_EQ(readFile(victim), "precious\n");
        if (!c.logStarts.empty()) {
            EXPECT_TRUE(readFile(server.serverLogPath()).starts_with(c.logStarts)) << readFile(server.serverLogPath());
        }
        if (c.previousBlocked) {
            EXPECT_TRUE(fs::exists(logs + "/server.previous.log/kept"));
        }
        server.stop();
    }
}

// A log that stops taking bytes (here: over the file size limit, as on a full disk) is said
// once in the tail; the server keeps running and its output keeps reaching the tail.
TEST(ServerLog, AFailingWriteIsToldOnceAndTheServerRunsOn)
{
    FakeResources resources({"--lines", "100"});
    ServerProcess server(resources.config());
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;  // over it, a write raises SIGXFSZ, which must not end this process
    small.rlim_cur = 400;
    ::setrlimit(RLIMIT_FSIZE, &small);
    server.start();
    bool ready = waitReady(server);
    ::setrlimit(RLIMIT_FSIZE, &saved);

    ASSERT_TRUE(ready) << server.state()->message();
    const auto& tail = server.logTail().get();
    EXPECT_EQ(countStarting(tail, "warning: the server log " + server.serverLogPath() +
                                      " is not being written (File too large). The server keeps running"),
              1)
        << ::testing::PrintToString(tail);
    EXPECT_EQ(countStarting(tail, "line 100"), 1);
    EXPECT_LE(fs::file_size(server.serverLogPath()), 400u);
    server.stop();
}
