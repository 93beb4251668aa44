#include "app/lifecycle/QuitDecision.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kGrace{3000};

TEST(QuitDecision, EachStateAndARecentStop)
{
    EXPECT_TRUE(planQuit(std::nullopt, std::nullopt, kGrace).terminatesNow());
    EXPECT_TRUE(planQuit(ServerState::idle(), std::nullopt, kGrace).terminatesNow());
    // A stop long ago has finished its forced end.
    EXPECT_TRUE(planQuit(ServerState::idle(), milliseconds(60000), kGrace).terminatesNow());
    for (const ServerState& state : {ServerState::starting(), ServerState::ready(), ServerState::failed("Gone.")})
        EXPECT_EQ(planQuit(state, std::nullopt, kGrace), (QuitPlan{true, milliseconds(0)}));

    // Idle right after a restart: wait out the old child's forced end.
    EXPECT_EQ(planQuit(ServerState::idle(), milliseconds(1000), kGrace),
              (QuitPlan{false, kGrace + kForcedEndMargin - milliseconds(1000)}));
    const QuitPlan starting = planQuit(ServerState::starting(), milliseconds(10), kGrace);
    EXPECT_TRUE(starting.stopServer);
    EXPECT_GT(starting.holdAtLeast, kGrace);
}

} // namespace
} // namespace quillbay
