#include "server/ListenerCheck.hpp"

#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

#include <csignal>

using namespace quillbay;
using namespace quillbay::testing;

TEST(ListenerCheck, ReadsOnlyListeningSocketsOfThePortFromTheTable)
{
    const std::string table =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
        "   0: 0100007F:223D 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 4242 1 0\n"
        "   1: 0100007F:223D 0100007F:9C40 01 00000000:00000000 00:00000000 00000000  1000        0 5151 1 0\n"
        "   2: 0100007F:223E 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 6161 1 0\n"
        "garbage line\n";
    EXPECT_EQ(ListenerCheck::listeningInodes(table, 8765), (std::set<unsigned long>{4242}));
    EXPECT_TRUE(ListenerCheck::listeningInodes(table, 8767).empty());
}

TEST(ListenerCheck, OnlyTheProcessHoldingTheListenerQualifies)
{
    const long long port = kTestPreferred;
    auto server = startFakeOn(port);
    ASSERT_FALSE(ServerProcess::isFree(port));
    TestProcess bystander({"/bin/sleep", "30"});

    EXPECT_TRUE(ListenerCheck::mayReclaim(server->pid(), port));
    EXPECT_FALSE(ListenerCheck::mayReclaim(server->pid(), port + 1)) << "not listening there";
    EXPECT_FALSE(ListenerCheck::mayReclaim(bystander.pid(), port)) << "ours, but holds no listener";
    EXPECT_FALSE(ListenerCheck::mayReclaim(1, port)) << "not ours";
    EXPECT_FALSE(ListenerCheck::mayReclaim(0, port));
    EXPECT_FALSE(ListenerCheck::mayReclaim(-1, port));
    EXPECT_FALSE(ListenerCheck::mayReclaim(server->pid() + (1LL << 32), port)) << "beyond 32 bits";
}
