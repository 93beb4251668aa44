#include "app/QuitDecision.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kGrace{3000};

TEST(QuitDecision, NoServerOrIdleTerminatesNow)
{
    EXPECT_TRUE(planQuit(std::nullopt, std::nullopt, kGrace).terminatesNow());
    EXPECT_TRUE(planQuit(ServerState::idle(), std::nullopt, kGrace).terminatesNow());
    // A stop long ago has finished its forced end.
    EXPECT_TRUE(planQuit(ServerState::idle(), milliseconds(60000), kGrace).terminatesNow());
}

TEST(QuitDecision, EveryOtherStateStopsTheServerFirst)
{
    for (const ServerState& state : {ServerState::starting(), ServerState::ready(), ServerState::failed("Gone.")}) {
        const QuitPlan plan = planQuit(state, std::nullopt, kGrace);
        EXPECT_TRUE(plan.stopServer);
        EXPECT_EQ(plan.holdAtLeast, milliseconds(0));
        EXPECT_FALSE(plan.terminatesNow());
    }
}

TEST(QuitDecision, IdleRightAfterARestartWaitsForTheOldChildsForcedEnd)
{
    const QuitPlan plan = planQuit(ServerState::idle(), milliseconds(1000), kGrace);
    EXPECT_FALSE(plan.stopServer);
    EXPECT_EQ(plan.holdAtLeast, kGrace + kForcedEndMargin - milliseconds(1000));

    const QuitPlan starting = planQuit(ServerState::starting(), milliseconds(10), kGrace);
    EXPECT_TRUE(starting.stopServer);
    EXPECT_GT(starting.holdAtLeast, milliseconds(3000));
}

} // namespace
} // namespace quillbay
