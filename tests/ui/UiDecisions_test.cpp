#include "ui/window/LayerChoice.hpp"
#include "ui/cards/ServerCardContent.hpp"
#include "ui/preferences/StudioPage.hpp"

#include "tests/support/TestSupport.hpp"

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
    EXPECT_EQ(chooseLayers(ServerState::ready(), std::nullopt, true), (LayerChoice{1.0, true, Card::None, ""}));
    EXPECT_EQ(chooseLayers(ServerState::ready(), error, true), (LayerChoice{1.0, true, Card::LoadError, *error}));
}

TEST(ServerCardContent, EachStateShowsItsCardAndTheNewestFortyLogLines)
{
    const ServerCardContent idle = serverCardContent(ServerState::idle(), {"line"});
    EXPECT_EQ(idle, serverCardContent(ServerState::starting(), {}));
    EXPECT_EQ(idle.headline, "WARMING UP THE ROOM");
    EXPECT_EQ(idle.explanation, "Building the cart packs and checking ffmpeg. First launch takes a little longer.");
    EXPECT_FALSE(idle.logText || idle.buttons);

    const ServerCardContent dark = serverCardContent(ServerState::failed("The studio server stopped (status 1)."), {"a", "b"});
    EXPECT_EQ(dark.headline, "THE ROOM IS DARK");
    EXPECT_EQ(dark.message, "The studio server stopped (status 1).");
    EXPECT_EQ(dark.logText, std::optional<std::string>("a\nb"));
    EXPECT_TRUE(dark.buttons);
    EXPECT_FALSE(serverCardContent(ServerState::failed("No interpreter."), {}).logText);
    EXPECT_EQ(serverCardContent(ServerState::ready(), {"a"}).kind, ServerCardContent::Kind::IconOnly);

    std::deque<std::string> tail;
    for (int i = 1; i <= 200; ++i)
        tail.push_back("line " + std::to_string(i));
    const std::string text = logBoxText(tail);
    EXPECT_EQ(text.rfind("line 161\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 39);
    EXPECT_EQ(logBoxText({"", "x", ""}), "\nx\n");
}

TEST(StudioPage, RawValuesAndAddressesConvertExactly)
{
    for (StudioPage page : kAllStudioPages)
        EXPECT_EQ(studioPageFromRaw(rawValue(page)), page);
    for (const char* other : {"Desk", "ROOM", " desk", "room ", "", "lobby"})
        EXPECT_EQ(studioPageFromRaw(other), std::nullopt) << other;
    EXPECT_EQ(studioPageOrDesk("Room"), StudioPage::Desk);
    EXPECT_EQ(pageURL("http://127.0.0.1:8765/", StudioPage::Desk), "http://127.0.0.1:8765/");
    EXPECT_EQ(pageURL("http://127.0.0.1:8770", StudioPage::Room), "http://127.0.0.1:8770/room/");
}

TEST(StudioPage, TheShownStudioAddressNamesThePage)
{
    const std::string base = "http://127.0.0.1:8765/";
    const struct {
        const char* url;
        std::optional<StudioPage> page;
    } cases[] = {
        {"http://127.0.0.1:8765/", StudioPage::Desk},
        {"http://127.0.0.1:8765", StudioPage::Desk},
        {"http://127.0.0.1:8765/?take=2#mixer", StudioPage::Desk},
        {"http://127.0.0.1:8765/room/", StudioPage::Room},
        {"http://127.0.0.1:8765/room", StudioPage::Room},
        {"HTTP://127.0.0.1:8765/room/#board", StudioPage::Room},
        {"http://127.0.0.1:8765/room/deck", std::nullopt},
        {"http://127.0.0.1:8765/ROOM/", std::nullopt},
        {"http://127.0.0.1:8765/rooms", std::nullopt},
        {"http://127.0.0.1:8765/api/pid", std::nullopt},
        {"http://127.0.0.1:8766/room/", std::nullopt},
        {"http://localhost:8765/", std::nullopt},
        {"https://127.0.0.1:8765/", std::nullopt},
        {"file:///room/", std::nullopt},
        {"about:blank", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(studioPageAt(c.url, base), c.page) << c.url;
    EXPECT_EQ(studioPageAt("http://127.0.0.1:8770/room/", "http://127.0.0.1:8770"), StudioPage::Room);
}

} // namespace
} // namespace quillbay
