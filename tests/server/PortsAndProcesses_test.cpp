#include "server/ListenerCheck.hpp"
#include "server/PortChooser.hpp"
#include "server/ProcessTable.hpp"
#include "server/ShellParent.hpp"

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

TEST(PortChoice, ReclaimsThePortFromOurEarlierServer)
{
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
            EXPECT_GE(since(began), 20 * 20ms) << "the polite wait comes first";
        else
            EXPECT_EQ(earlier.readUntil("ending", 1s).back(), "ending on SIGTERM") << "no SIGKILL was needed";
    }
}

// The identity answer is untrusted: only a pid of ours that holds the listener may be signalled.
TEST(PortChoice, NeverSignalsAStrangerOrAPidItCannotVouchFor)
{
    TestProcess bystander({"/bin/sleep", "60"});
    OrphanFake orphan(P + 12);  // adopted by init, so no shell vouches for it; ours, but listening elsewhere
    auto server = startFakeOn(P);
    EXPECT_TRUE(ListenerCheck::mayReclaim(server->pid(), P));
    expectChoice(P + 1, true);
    EXPECT_TRUE(server->running()) << "its parent, this test, is a running shell: not an orphan";
    EXPECT_FALSE(ListenerCheck::mayReclaim(server->pid(), P + 1)) << "not listening there";
    for (long long pid : {static_cast<long long>(bystander.pid()), 1LL, 0LL, -7LL, server->pid() + (1LL << 32)})
        EXPECT_FALSE(ListenerCheck::mayReclaim(pid, P)) << pid;
    server.reset();

    // Another user's listener is never ours, even to root, who could read its sockets and signal it.
    if (::getuid() == 0) {
        TestProcess foreign({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/python3",
                             "-c", "import socket, sys, time\ns = socket.socket()\ns.bind(('127.0.0.1', int(sys.argv[1])))\n"
                                   "s.listen()\nprint('listening', flush=True)\ntime.sleep(60)", std::to_string(P + 13)});
        ASSERT_EQ(foreign.readUntil("listening", 10s).back(), "listening");
        EXPECT_FALSE(ListenerCheck::mayReclaim(foreign.pid(), P + 13));
    }

    for (pid_t named : {bystander.pid(), orphan.pid()}) {
        auto poser = startFakeOn(P, {"--pid", std::to_string(named)});
        expectChoice(P + 1, true);
        EXPECT_TRUE(poser->running() && processRuns(named)) << named;
    }
}

TEST(PortChoice, TakesTheFirstFreePortAndKeepsThePreferredWhenAllAreTaken)
{
    std::list<std::unique_ptr<TestProcess>> strangers;
    for (long long port = P; port <= P + 10; ++port) {
        if (port == P || port == P + 1 || port == P + 5 || port == P + 10)
            expectChoice(port, port != P);
        EXPECT_TRUE(PortChooser::isFree(port)) << "the chooser only asks; nothing keeps listening";
        strangers.push_back(startFakeOn(port, {"--app", "Mixdown"}));
    }
    expectChoice(P, false);
    EXPECT_TRUE(strangers.front()->running());
}

TEST(PortChoice, StopsWaitingForASlowIdentityAnswer)
{
    auto slow = startFakeOn(P, {"--answer-delay", "3"});
    auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(PortChooser::orphanPid(P, 5000ms, 2000ms)) << "the request would wait for the valid answer; the caller must not";
    EXPECT_TRUE(since(began) >= 1900ms && since(began) < 2600ms);
    runFor(1500ms);  // the late answer arrives and is ignored
    EXPECT_TRUE(slow->running());
}

// A process that ends while its /proc entry is being read counts as gone; nothing throws. The name in its
// status may hold spaces and parentheses; the fields after it still count.
TEST(ProcessChecks, AProcessThatEndsWhileItIsReadCountsAsGone)
{
    TestProcess sleeper({"/bin/sleep", "60"});
    ASSERT_TRUE(ProcessTable::isRunning(sleeper.pid()));
    int fd = ::open(("/proc/" + std::to_string(sleeper.pid()) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::kill(sleeper.pid(), SIGKILL);
    EXPECT_TRUE(runUntil([&] { return !ProcessTable::isRunning(sleeper.pid()); }, 2s)) << "a zombie is gone";
    ASSERT_TRUE(sleeper.waitForExit(2s));
    EXPECT_FALSE(ProcessTable::readFrom(fd)) << "ESRCH, and no exception";
    ::close(fd);
    EXPECT_TRUE(ProcessTable::socketInodes(sleeper.pid()).empty());

    EXPECT_EQ(ProcessTable::parseStatus("42 (a) b (c)) S 7 42 42 0")->parent, 7);
    EXPECT_EQ(ProcessTable::parseStatus("42 (x) Z 1 0")->state, 'Z');
    for (const char* bad : {"", "42 (x)", "42 (x) S", "42 (x) S -", "42 x S 1"})
        EXPECT_FALSE(ProcessTable::parseStatus(bad)) << bad;
}

TEST(ProcessChecks, OnlyListenersThatTake127001Count)
{
    const long long port = 0x1E6D;
    auto row = [](const std::string& local, const char* state, const char* inode) {
        return "   0: " + local + " 00000000:0000 " + state + " 00000000:00000000 00:00000000 00000000 0 0 " +
               inode + " 1 0000000000000000 100 0 0 10 0\n";
    };
    const std::string tcp = "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n" +
                            row("0100007F:1E6D", "0A", "11") + row("00000000:1E6D", "0A", "12") +
                            row("0200007F:1E6D", "0A", "13") +  // 127.0.0.2: another address
                            row("0100007F:1E6E", "0A", "14") + row("0100007F:1E6D", "01", "15") +
                            row("0100007F:1E6D", "0A", "0") + "garbage\n";
    EXPECT_EQ(ListenerCheck::listeningInodes(tcp, port), (std::set<unsigned long>{11, 12}));
    const std::string tcp6 = "header\n" + row("00000000000000000000000000000000:1E6D", "0A", "21") +
                             row("0000000000000000FFFF00000100007F:1E6D", "0A", "22") +
                             row("00000000000000000000000001000000:1E6D", "0A", "23");  // ::1
    EXPECT_EQ(ListenerCheck::listeningInodes(tcp6, port), (std::set<unsigned long>{21, 22}));
}

TEST(ProcessChecks, AShellIsOurProgramOrOneNamedLikeIt)
{
    const std::string own = "/opt/build/bin/server_tests";
    for (const std::string& program : {own, own + " (deleted)", std::string("/usr/bin/quillbay"),
                                      std::string("/home/u/qb/build/bin/quillbay-supervise (deleted)")})
        EXPECT_TRUE(ShellParent::isShellProgram(program, own)) << program;
    for (const std::string program : {"/usr/bin/python3.12", "/sbin/init", "/usr/bin/quillbay-server", "/tmp/quillbay/sh", ""})
        EXPECT_FALSE(ShellParent::isShellProgram(program, own)) << program;
    TestProcess child({"/bin/sleep", "60"});
    EXPECT_TRUE(ShellParent::isSupervised(child.pid())) << "its parent is this test: our own program";
    OrphanFake orphan(kTestPreferred);
    EXPECT_FALSE(ShellParent::isSupervised(orphan.pid())) << "adopted by init";
}

// quillbay-supervise as a child: commands in, one line per published change out. Beside another program on the
// usual port it falls back and says so first in its tail and its log. A quit leaves no server, even one that ignores
// SIGTERM on a busy machine: the tool exits only once it is gone. One that stays on end of input ends when it is killed.
// Its debug log says why it took the port when G_MESSAGES_DEBUG names Quillbay, and nothing otherwise.
TEST(SuperviseTool, ReportsTheStartQuitsCleanlyAndLeavesNoServerWhenKilled)
{
    TestProcess busy({"/bin/sh", "-c", "while :; do :; done"});
    auto stranger = startFakeOn(8765, {"--app", "Mixdown"});
    const std::string warning = "warning: port 8765 is in use by another program; using 8766. Desk projects stored "
                                "under the usual port will not be visible until it is free.";
    for (bool killed : {false, true}) {
        FakeResources resources(killed ? Args{"--ignore-eof"} : Args{"--ignore-term"});
        setenv("XDG_DATA_HOME", resources.scratch("data").c_str(), 1);
        killed ? unsetenv("G_MESSAGES_DEBUG") : setenv("G_MESSAGES_DEBUG", "Quillbay", 1);
        const std::string debugLog = resources.scratch("stderr");
        TestProcess tool({"/bin/sh", "-c", "exec \"$0\" --resources \"$1\" 2>\"$2\"", QUILLBAY_BIN_DIR "/quillbay-supervise",
                          resources.resourceDir(), debugLog});
        auto lines = tool.readUntil("state ready", 10s);
        ASSERT_EQ(lines.back(), "state ready") << ::testing::PrintToString(lines);
        EXPECT_TRUE(lines[0] == "state starting" && lines[1] == "port 8766" && lines[2] == "log " + warning)
            << ::testing::PrintToString(lines);
        pid_t server = fakePid(lines);
        ASSERT_GT(server, 0);
        EXPECT_TRUE(readFile(resources.scratch("data/Quillbay/logs/server.log")).starts_with(warning + "\nfake studio server pid="))
            << "the studio folder follows the user's data folder";
        const bool told = readFile(debugLog).find(": port: 8765 is held by another program: taking 8766") != std::string::npos;
        EXPECT_TRUE(killed ? readFile(debugLog).empty() : told) << readFile(debugLog);
        if (killed) {
            ::kill(tool.pid(), SIGKILL);
        } else {
            tool.send("quit");
            EXPECT_EQ(tool.readUntil("state idle", 2s).back(), "state idle");
        }
        auto status = tool.waitForExit(6s);
        EXPECT_TRUE(status && (killed || (WIFEXITED(*status) && WEXITSTATUS(*status) == 0)));
        EXPECT_TRUE(killed || !processRuns(server)) << "the tool left before its server was gone";
        EXPECT_TRUE(runUntil([&] { return !processRuns(server); }, 2s)) << killed;
        processRuns(server) && ::kill(server, SIGKILL);
    }
    EXPECT_TRUE(stranger->running());
}
