#include "server/ListenerCheck.hpp"
#include "server/ProcessTable.hpp"
#include "server/ShellParent.hpp"

#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;

// A process that ends while its /proc entry is being read counts as gone; nothing throws.
TEST(ProcessChecks, AProcessThatEndsWhileItIsReadCountsAsGone)
{
    TestProcess sleeper({"/bin/sleep", "60"});
    ASSERT_TRUE(ProcessTable::isRunning(sleeper.pid()));
    const std::string stat = "/proc/" + std::to_string(sleeper.pid()) + "/stat";
    int fd = ::open(stat.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::kill(sleeper.pid(), SIGKILL);
    EXPECT_TRUE(runUntil([&] { return !ProcessTable::isRunning(sleeper.pid()); }, 2s)) << "a zombie is gone";
    ASSERT_TRUE(sleeper.waitForExit(2s));
    EXPECT_FALSE(ProcessTable::readFrom(fd)) << "ESRCH, and no exception";
    ::close(fd);
    EXPECT_FALSE(ProcessTable::isRunning(sleeper.pid()));
    EXPECT_FALSE(processRuns(sleeper.pid()));
    EXPECT_TRUE(ProcessTable::socketInodes(sleeper.pid()).empty());

    // The name may hold spaces and parentheses; the fields after it still count.
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
    for (const std::string& program : {std::string("/usr/bin/python3.12"), std::string("/sbin/init"),
                                      std::string("/usr/bin/quillbay-server"), std::string("/tmp/quillbay/sh"),
                                      std::string("")})
        EXPECT_FALSE(ShellParent::isShellProgram(program, own)) << program;

    TestProcess child({"/bin/sleep", "60"});
    EXPECT_TRUE(ShellParent::isSupervised(child.pid())) << "its parent is this test: our own program";
    OrphanFake orphan(kTestPreferred);
    EXPECT_FALSE(ShellParent::isSupervised(orphan.pid())) << "adopted by init";
}
