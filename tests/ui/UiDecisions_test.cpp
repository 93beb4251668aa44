#include "ui/window/LayerChoice.hpp"
#include "ui/cards/LogBoxFeed.hpp"
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

TEST(LogBoxFeed, LongLinesAreCutWhereAPersonStillReadsThem)
{
    const std::string cut = std::string(kLogBoxLineChars, 'x') + "\u2026";
    EXPECT_EQ(logBoxLine(std::string(kLogBoxLineChars, 'x')), std::string(kLogBoxLineChars, 'x'));
    EXPECT_EQ(logBoxLine(std::string(70000, 'x')), cut);
    // Characters, not bytes: a cut never splits one.
    std::string accents;
    for (std::size_t i = 0; i < kLogBoxLineChars + 1; ++i)
        accents += "\u00e9";
    EXPECT_EQ(logBoxLine(accents), accents.substr(0, 2 * kLogBoxLineChars) + "\u2026");
}

// The box text an edit sequence leads to, as the card applies it.
struct Box {
    std::deque<std::string> lines;
    void apply(const LogBoxEdit& edit)
    {
        if (edit.replace)
            lines.clear();
        lines.erase(lines.begin(), lines.begin() + static_cast<long>(edit.dropFirst));
        lines.insert(lines.end(), edit.append.begin(), edit.append.end());
    }
};

TEST(LogBoxFeed, EachChangeOfTheTailBecomesAnEditOfTheNewestFortyLines)
{
    std::deque<std::string> tail;
    std::uint64_t count = 0;
    const auto print = [&](int lines) {
        for (int i = 0; i < lines; ++i) {
            tail.push_back("line " + std::to_string(++count));
            if (tail.size() > 200)
                tail.pop_front();
        }
    };
    const auto newest = [&] {
        const std::size_t first = tail.size() > kLogBoxLines ? tail.size() - kLogBoxLines : 0;
        return std::deque<std::string>(tail.begin() + static_cast<long>(first), tail.end());
    };
    LogBoxFeed feed;
    Box box;
    const struct {
        int printed;
        bool replace;
        std::size_t dropFirst;
        std::size_t appended;
    } steps[] = {
        {3, true, 0, 3},     // the first look shows what is there
        {0, false, 0, 0},    // nothing new: nothing to do
        {2, false, 0, 2},    // appended at the end
        {36, false, 1, 36},  // past forty: the oldest go
        {39, false, 39, 39},
        {40, true, 0, 40},   // a whole box of new lines: shown afresh
        {250, true, 0, 40},
    };
    for (const auto& step : steps) {
        print(step.printed);
        const LogBoxEdit edit = feed.update(tail, count);
        EXPECT_EQ(edit.replace, step.replace) << step.printed;
        EXPECT_EQ(edit.dropFirst, step.dropFirst) << step.printed;
        EXPECT_EQ(edit.append.size(), step.appended) << step.printed;
        box.apply(edit);
        EXPECT_EQ(box.lines, newest()) << step.printed;
    }

    // A new run starts its count again; so does a reset card.
    tail = {"fresh"};
    count = 1;
    box.apply(feed.update(tail, count));
    EXPECT_EQ(box.lines, tail);
    feed.reset();
    EXPECT_TRUE(feed.update(tail, count).replace);
}

TEST(StudioPage, OnlyTheExactRawValuesNameAPage)
{
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
