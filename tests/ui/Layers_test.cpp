#include "ui/LayerChoice.hpp"
#include "ui/ServerCardContent.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using Card = LayerChoice::Card;

TEST(LayerChoice, OnlyAReadyServerShowsThePageWithAnyLoadErrorOverIt)
{
    const std::optional<std::string> error = std::string("Download failed: disk full");
    for (const ServerState& state : {ServerState::idle(), ServerState::starting(), ServerState::failed("It stopped.")})
        for (bool loading : {false, true})
            for (const auto& loadError : {std::optional<std::string>(), error})
                EXPECT_EQ(chooseLayers(state, loadError, loading), (LayerChoice{0.0, false, Card::Server, ""}));

    EXPECT_EQ(chooseLayers(ServerState::ready(), std::nullopt, false), (LayerChoice{1.0, false, Card::None, ""}));
    EXPECT_EQ(chooseLayers(ServerState::ready(), std::nullopt, true), (LayerChoice{1.0, true, Card::None, ""}));
    EXPECT_EQ(chooseLayers(ServerState::ready(), error, true), (LayerChoice{1.0, true, Card::LoadError, *error}));
}

TEST(ServerCardContent, EachStateShowsItsCard)
{
    const ServerCardContent idle = serverCardContent(ServerState::idle(), {"line"});
    EXPECT_EQ(idle, serverCardContent(ServerState::starting(), {}));
    EXPECT_EQ(idle.kind, ServerCardContent::Kind::Warming);
    EXPECT_EQ(idle.headline, "WARMING UP THE ROOM");
    EXPECT_EQ(idle.explanation, "Building the cart packs and checking ffmpeg. First launch takes a little longer.");
    EXPECT_FALSE(idle.logText || idle.buttons);

    const ServerCardContent dark =
        serverCardContent(ServerState::failed("The studio server stopped (status 1)."), {"a", "b", "c"});
    EXPECT_EQ(dark.kind, ServerCardContent::Kind::Dark);
    EXPECT_EQ(dark.headline, "THE ROOM IS DARK");
    EXPECT_EQ(dark.message, "The studio server stopped (status 1).");
    EXPECT_EQ(dark.logText, std::optional<std::string>("a\nb\nc"));
    EXPECT_TRUE(dark.buttons);

    const ServerCardContent silent = serverCardContent(ServerState::failed("No interpreter."), {});
    EXPECT_FALSE(silent.logText);
    EXPECT_TRUE(silent.buttons);

    const ServerCardContent ready = serverCardContent(ServerState::ready(), {"a"});
    EXPECT_EQ(ready.kind, ServerCardContent::Kind::IconOnly);
    EXPECT_FALSE(ready.buttons);
}

TEST(ServerCardContent, LogBoxShowsTheNewestFortyLines)
{
    std::deque<std::string> tail;
    for (int i = 1; i <= 200; ++i)
        tail.push_back("line " + std::to_string(i));
    const std::string text = logBoxText(tail);
    EXPECT_EQ(text.rfind("line 161\n", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 8), "line 200");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 39);
    EXPECT_EQ(logBoxText({"", "x", ""}), "\nx\n");
    EXPECT_EQ(logBoxText({}), "");
}

} // namespace
} // namespace quillbay
