#include "ui/LayerChoice.hpp"
#include "ui/Palette.hpp"
#include "ui/ServerCardContent.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using Card = LayerChoice::Card;

TEST(LayerChoice, OnlyAReadyServerShowsThePage)
{
    const std::optional<std::string> error = std::string("Could not connect: Connection refused");
    for (const ServerState& state : {ServerState::idle(), ServerState::starting(), ServerState::failed("It stopped.")}) {
        for (bool loading : {false, true}) {
            for (const auto& loadError : {std::optional<std::string>(), error}) {
                const LayerChoice choice = chooseLayers(state, loadError, loading);
                EXPECT_EQ(choice.webOpacity, 0.0);
                EXPECT_FALSE(choice.loadingBar);
                EXPECT_EQ(choice.card, Card::Server);
            }
        }
    }
}

TEST(LayerChoice, ReadyShowsThePageWithTheLoadErrorOverIt)
{
    LayerChoice plain = chooseLayers(ServerState::ready(), std::nullopt, false);
    EXPECT_EQ(plain, (LayerChoice{1.0, false, Card::None, ""}));

    LayerChoice loading = chooseLayers(ServerState::ready(), std::nullopt, true);
    EXPECT_EQ(loading, (LayerChoice{1.0, true, Card::None, ""}));

    LayerChoice failedLoad = chooseLayers(ServerState::ready(), std::string("Download failed: disk full"), true);
    EXPECT_EQ(failedLoad, (LayerChoice{1.0, true, Card::LoadError, "Download failed: disk full"}));
}

TEST(ServerCardContent, IdleAndStartingLookTheSame)
{
    const std::deque<std::string> tail{"line"};
    const ServerCardContent idle = serverCardContent(ServerState::idle(), tail);
    EXPECT_EQ(idle, serverCardContent(ServerState::starting(), {}));
    EXPECT_EQ(idle.kind, ServerCardContent::Kind::Warming);
    EXPECT_EQ(idle.headline, "WARMING UP THE ROOM");
    EXPECT_EQ(idle.explanation, "Building the cart packs and checking ffmpeg. First launch takes a little longer.");
    EXPECT_FALSE(idle.logText);
    EXPECT_FALSE(idle.buttons);
}

TEST(ServerCardContent, FailedShowsMessageLogAndButtons)
{
    const ServerCardContent dark =
        serverCardContent(ServerState::failed("The studio server stopped (status 1)."), {"a", "b", "c"});
    EXPECT_EQ(dark.kind, ServerCardContent::Kind::Dark);
    EXPECT_EQ(dark.headline, "THE ROOM IS DARK");
    EXPECT_EQ(dark.message, "The studio server stopped (status 1).");
    EXPECT_EQ(dark.logText, std::optional<std::string>("a\nb\nc"));
    EXPECT_TRUE(dark.buttons);
    EXPECT_TRUE(dark.explanation.empty());

    const ServerCardContent silent = serverCardContent(ServerState::failed("No interpreter."), {});
    EXPECT_FALSE(silent.logText);
    EXPECT_TRUE(silent.buttons);

    const ServerCardContent ready = serverCardContent(ServerState::ready(), {"a"});
    EXPECT_EQ(ready.kind, ServerCardContent::Kind::IconOnly);
    EXPECT_TRUE(ready.headline.empty());
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

    tail.resize(40);
    EXPECT_EQ(logBoxText(tail).rfind("line 1\n", 0), 0u);
    EXPECT_EQ(logBoxText({"", "x", ""}), "\nx\n");
    EXPECT_EQ(logBoxText({}), "");
}

TEST(Palette, ExactComponentsAndCss)
{
    EXPECT_EQ(Palette::charcoal(), (Colour{0.09, 0.094, 0.086}));
    EXPECT_EQ(Palette::ivory(), (Colour{0.824, 0.765, 0.635}));
    EXPECT_EQ(Palette::amber(), (Colour{0.898, 0.647, 0.267}));
    EXPECT_EQ(&Palette::amber(), &Palette::amber());
    EXPECT_EQ(Palette::charcoal().css(0.92), "rgba(9%, 9.4%, 8.6%, 0.92)");
    EXPECT_EQ(Palette::ivory().css(), "rgba(82.4%, 76.5%, 63.5%, 1)");
}

} // namespace
} // namespace quillbay
