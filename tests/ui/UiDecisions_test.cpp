// The plain decisions behind the window: what it shows, sizes, remembers and counts.

#include "ui/cards/LogBoxFeed.hpp"
#include "ui/cards/ServerCardContent.hpp"
#include "ui/cards/SlowStart.hpp"
#include "ui/cards/StartAttempts.hpp"
#include "ui/find/FindBarLogic.hpp"
#include "ui/output/OutputLog.hpp"
#include "ui/preferences/Preferences.hpp"
#include "ui/preferences/StudioPage.hpp"
#include "ui/preferences/ZoomLevel.hpp"
#include "ui/window/LayerChoice.hpp"
#include "ui/window/StalledLoad.hpp"
#include "ui/window/WindowSizing.hpp"

#include "tests/support/FakeClock.hpp"
#include "tests/support/TestSupport.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>

#include <sys/stat.h>

namespace quillbay {
namespace {

namespace fs = std::filesystem;
using Card = LayerChoice::Card;

TEST(ZoomLevel, StepsLikeABrowserAndStaysInRange)
{
    const struct { double from, larger, smaller; } cases[] = {
        {1.0, 1.1, 0.9}, {0.5, 0.67, 0.5}, {3.0, 3.0, 2.75}, {1.25, 1.5, 1.1},
        {1.3, 1.5, 1.25},  // off the steps: to the nearest step in that direction
        {9.0, 3.0, 2.75}, {0.1, 0.67, 0.5}, {NAN, 1.1, 0.9},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::pair(ZoomLevel::larger(c.from), ZoomLevel::smaller(c.from)), std::pair(c.larger, c.smaller)) << c.from;
    EXPECT_DOUBLE_EQ(ZoomLevel::sanitised(INFINITY), 1.0);
}

TEST(Preferences, KeepPageZoomAndWindowTogetherAndSurviveDamageFifosAndLinks)
{
    const testing::TempDir folder{"quillbay-prefs"};
    const std::string path = folder / "Quillbay/preferences.ini";
    Preferences preferences(path);
    const auto read = [](const Preferences& p) { return std::tuple(p.pageRaw(), p.zoom(), p.window()); };
    EXPECT_EQ(read(preferences), std::tuple("desk", 1.0, WindowState{}));

    // Each store keeps what the others stored, and what someone else wrote.
    ASSERT_TRUE(Preferences(path).storePage(StudioPage::Room));
    std::ofstream(path, std::ios::app) << "# kept\nother=1\n";
    ASSERT_TRUE(preferences.storeZoom(1.75));
    ASSERT_TRUE(preferences.storeWindow({1111, 777, true}));
    EXPECT_EQ(read(Preferences(path)), std::tuple("room", 1.75, WindowState{1111, 777, true}));
    EXPECT_NE(testing::readFile(path).find("# kept\nother=1"), std::string::npos) << testing::readFile(path);

    const struct { std::string text, page; double zoom; WindowState window; } damaged[] = {
        {"[Preferences]\nstudio.page=Room\nview.zoom=lots\nwindow.width=wide\nwindow.height=600\nwindow.maximized=maybe\n", "Room",
         1.0, {WindowState::kDefaultWidth, 600, false}},
        {"[Preferences]\nview.zoom=40\n", "desk", 3.0, {}},
        {"\x01 not a key file [[[", "desk", 1.0, {}},
    };
    for (const auto& c : damaged) {
        std::ofstream(path, std::ios::trunc) << c.text;
        EXPECT_EQ(read(preferences), std::tuple(c.page, c.zoom, c.window)) << c.text;
    }
    ASSERT_TRUE(preferences.storePage(StudioPage::Room));  // over the damaged text
    EXPECT_EQ(preferences.page(), StudioPage::Room);
    EXPECT_FALSE(Preferences(path + "/inner/preferences.ini").storePage(StudioPage::Room));

    // A FIFO or a link where the file belongs would block start-up or redirect writes: neither read nor replaced.
    const fs::path odd = folder.path();
    std::ofstream(odd / "elsewhere.ini") << "[Preferences]\nstudio.page=room\n";
    fs::create_symlink(odd / "elsewhere.ini", odd / "link.ini");
    ASSERT_EQ(mkfifo((odd / "fifo.ini").c_str(), 0600), 0);
    for (const char* name : {"fifo.ini", "link.ini"}) {
        Preferences other((odd / name).string());
        EXPECT_EQ(other.pageRaw(), "desk") << name;
        EXPECT_FALSE(other.storeZoom(2.0)) << name;
    }
    EXPECT_EQ(fs::status(odd / "fifo.ini").type(), fs::file_type::fifo);
    EXPECT_TRUE(fs::is_symlink(odd / "link.ini"));
    EXPECT_EQ(Preferences((odd / "elsewhere.ini").string()).zoom(), 1.0);
}

TEST(WindowSizing, TheMinimumShrinksOnlyWhereTheWorkAreaIsSmallerAndAShrunkSizeIsNotStored)
{
    const Extent chrome{10, 80};  // title and menu bars
    const struct { const char* screen; WindowState stored; Extent workArea, contentMinimum; WindowState opening; } cases[] = {
        {"unknown monitor", {1150, 780, false}, {}, {960, 620}, {1150, 780, false}},
        {"1400x900", {1150, 780, false}, {1400, 900}, {960, 620}, {1150, 780, false}},
        {"1400x900, tiny stored size", {100, 100, true}, {1400, 900}, {960, 620}, {970, 700, true}},
        {"nonsense stored size", {0, -3, false}, {}, {960, 620}, {WindowState::kDefaultWidth, WindowState::kDefaultHeight, false}},
        {"too wide a stored size", {100000, 700, false}, {}, {960, 620}, {WindowState::kDefaultWidth, 700, false}},
        {"1400x900 at scale 2", {1150, 780, false}, {700, 450}, {690, 370}, {700, 450, false}},
        {"1080p at 150 % with a panel", {1280, 820, false}, {1280, 690}, {960, 610}, {1280, 690, false}},
        {"smaller than the chrome", {1150, 780, false}, {5, 50}, {1, 1}, {5, 50, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        const WindowSizing sizing = WindowSizing::fit(c.stored, c.workArea, chrome);
        EXPECT_EQ(sizing.contentMinimum, c.contentMinimum);
        EXPECT_EQ(sizing.opening, c.opening);
        // Closed at the size it opened with, the window leaves the remembered size in place.
        WindowState closed = sizing.opening;
        closed.maximized = !c.stored.maximized;
        EXPECT_EQ(sizing.toStore(closed), (WindowState{sizing.remembered.width, sizing.remembered.height, closed.maximized}));
    }

    // A size the user chose after the window was shrunk is remembered.
    const WindowSizing low = WindowSizing::fit({1150, 780, false}, {1400, 720}, chrome);
    ASSERT_EQ(low.opening, (WindowState{1150, 720, false}));
    EXPECT_EQ(low.toStore({1100, 700, false}), (WindowState{1100, 700, false}));
}

TEST(FindBarLogic, Status)
{
    using Status = FindBarLogic::Status;
    const std::optional<unsigned> none;
    const struct {
        const char* query;
        std::optional<unsigned> matches, current;
        Status status;
    } rows[] = {
        {"", 3u, 1u, {}},
        {"x", none, none, {"No matches", true}},
        {"x", 0u, none, {"No matches", true}},
        {"x", 1u, none, {"1 match", false}},
        {"x", 7u, none, {"7 matches", false}},
        {"x", 7u, 2u, {"2 of 7", false}},
        {"x", 7u, 8u, {"7 matches", false}},  // a position past the end is not believed
        {"x", G_MAXUINT, 2u, {"More than 1000 matches", false}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FindBarLogic::status(row.query, row.matches, row.current, 1000), row.status) << row.status.text;
}

TEST(StartAttempts, EachFailedRestartReadsDifferentlyAndKeepsTheMessage)
{
    int tick = 0;
    StartAttempts attempts([&] { return "14:03:0" + std::to_string(++tick); });
    const auto failed = ServerState::failed("The studio server stopped (status 1).");
    auto card = [&](const ServerState& state) {
        attempts.observe(state);
        return serverCardContent(state, {}, attempts);
    };

    EXPECT_EQ(card(ServerState::starting()).attempt, "");
    const ServerCardContent first = card(failed);
    EXPECT_EQ(first.attempt, "Attempt 1 at 14:03:01");
    EXPECT_EQ(first.message, "The studio server stopped (status 1).");
    EXPECT_EQ(card(failed), first);  // published again (new log lines): the same attempt

    card(ServerState::idle());
    EXPECT_EQ(card(ServerState::starting()).attempt, "");
    const ServerCardContent second = card(failed);
    EXPECT_EQ(second.attempt, "Attempt 2 at 14:03:02");
    EXPECT_EQ(second.message, first.message);

    // A card that first sees an already failed server counts that as the first attempt.
    StartAttempts late([] { return "09:00:00"; });
    late.observe(failed);
    EXPECT_EQ(late.failureLine(), "Attempt 1 at 09:00:00");
}

// A quick start looks as it always did; a slow one shows its time each second and tells a
// screen reader about it no more than once in a while.
TEST(SlowStart, ExplainsItselfAfterFiveSecondsAndAnnouncesPolitely)
{
    using namespace std::chrono_literals;
    testing::FakeClock clock;
    int ticks = 0;
    SlowStart slow(clock, [&] { ++ticks; });
    const std::string time12 = "The studio server has been starting for 12 seconds.";
    struct Step {
        std::chrono::milliseconds advance;
        std::string newestLine;
        bool shown;
        std::string announced;
    };
    slow.observe(true);
    const Step steps[] = {
        {4900ms, "", false, ""},
        {100ms, "", true, "The studio server has been starting for 5 seconds."},
        {1s, "", true, ""},                                        // nothing new
        {1s, "loading packs", true, ""},                           // new, but too soon after the last
        {5s, "loading packs", true, time12 + " Newest output: loading packs"},
        {4s, "checking ffmpeg", true, ""},
        {1s, "checking ffmpeg", true, "The studio server has been starting for 17 seconds. Newest output: checking ffmpeg"},
        {29s, "checking ffmpeg", true, ""},                        // the same line, and quiet for less than 30 s
        {1s, "checking ffmpeg", true, "The studio server has been starting for 47 seconds. Newest output: checking ffmpeg"},
    };
    for (const Step& step : steps) {
        clock.advance(step.advance);
        SCOPED_TRACE(slow.elapsedText());
        EXPECT_EQ(slow.shown(), step.shown);
        EXPECT_EQ(slow.announcement(step.newestLine), step.announced);
    }
    EXPECT_EQ(slow.elapsedText(), "Starting for 47 seconds");
    EXPECT_EQ(ticks, 47 - 4);  // each second once shown

    // A start that ends stops the ticks; the next one begins at nought and is quick again.
    slow.observe(false);
    clock.advance(10s);
    EXPECT_EQ(ticks, 43);
    slow.observe(true);
    clock.advance(3s);
    EXPECT_FALSE(slow.shown());
    EXPECT_EQ(slow.announcement("x"), "");
    clock.advance(2s);
    EXPECT_EQ(slow.announcement(""), "The studio server has been starting for 5 seconds.");
}

// Only ten seconds without any progress count as a silent server; each stall is told once.
TEST(StalledLoad, TellsOnceWhenALoadMakesNoProgressForTenSeconds)
{
    using namespace std::chrono_literals;
    struct Step {
        std::chrono::milliseconds advance;
        bool loading;
        double progress;
        int told;  // in all, after the step
    };
    const Step steps[] = {
        {0ms, true, 0.1, 0},   {9s, true, 0.1, 0},    {0ms, true, 0.3, 0},  // progress: the wait starts again
        {9s, true, 0.3, 0},    {1s, true, 0.3, 1},    {30s, true, 0.3, 1},  // once per stall
        {0ms, false, 1.0, 1},  {0ms, true, 0.1, 1},   {9s, false, 1.0, 1},  // a finished load is not told
        {20s, false, 1.0, 1},  {0ms, true, 0.1, 1},   {10s, true, 0.1, 2},
    };
    testing::FakeClock clock;
    int told = 0;
    StalledLoad stalled(clock, [&](std::chrono::seconds quiet) {
        EXPECT_EQ(quiet, 10s);
        ++told;
    });
    int row = 0;
    for (const Step& step : steps) {
        clock.advance(step.advance);
        stalled.observe(step.loading, step.progress);
        EXPECT_EQ(told, step.told) << "row " << row++;
    }
}

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
    const std::string full(kLogBoxLineChars, 'x');
    EXPECT_EQ(logBoxLine(full), full);
    EXPECT_EQ(logBoxLine(std::string(70000, 'x')), full + "\u2026");
    std::string accents;  // characters, not bytes: a cut never splits one
    while (accents.size() < 2 * (kLogBoxLineChars + 1))
        accents += "\u00e9";
    EXPECT_EQ(logBoxLine(accents), accents.substr(0, 2 * kLogBoxLineChars) + "\u2026");
}

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
        return std::deque<std::string>(tail.end() - static_cast<long>(std::min(tail.size(), kLogBoxLines)), tail.end());
    };
    LogBoxFeed feed;
    std::deque<std::string> box;  // the box text, as the card edits it
    const auto apply = [&](const LogBoxEdit& edit) {
        if (edit.replace)
            box.clear();
        box.erase(box.begin(), box.begin() + static_cast<long>(edit.dropFirst));
        box.insert(box.end(), edit.append.begin(), edit.append.end());
    };
    // The first look shows what is there; nothing new: nothing to do; then appended at the end, the oldest
    // going past forty; a whole box of new lines is shown afresh.
    const struct { int printed; bool replace; std::size_t dropFirst, appended; } steps[] = {
        {3, true, 0, 3}, {0, false, 0, 0}, {2, false, 0, 2}, {36, false, 1, 36}, {39, false, 39, 39}, {40, true, 0, 40}, {250, true, 0, 40},
    };
    for (const auto& step : steps) {
        print(step.printed);
        const LogBoxEdit edit = feed.update(tail, count);
        EXPECT_EQ(std::tuple(edit.replace, edit.dropFirst, edit.append.size()), std::tuple(step.replace, step.dropFirst, step.appended))
            << step.printed;
        apply(edit);
        EXPECT_EQ(box, newest()) << step.printed;
    }

    // A new run starts its count again; so does a reset card.
    tail = {"fresh"};
    count = 1;
    apply(feed.update(tail, count));
    EXPECT_EQ(box, tail);
    feed.reset();
    EXPECT_TRUE(feed.update(tail, count).replace);
}

// The output window: the newest lines as edits of what is shown, cut for display, found in any case,
// and the shell's events marked and timed between the lines they came after.
TEST(OutputLog, KeepsTheNewestLinesCutAndFindsThemWithTheShellsEventsBetween)
{
    OutputLog log(3);
    std::deque<OutputLine> view;
    const auto apply = [&](const OutputEdit& edit) {
        if (edit.replace)
            view.clear();
        view.erase(view.begin(), view.begin() + static_cast<long>(edit.dropFirst));
        view.insert(view.end(), edit.append.begin(), edit.append.end());
        return std::tuple(edit.replace, edit.dropFirst, edit.append.size());
    };
    // Shown afresh; nothing new; the oldest dropped as two come; more than it holds: afresh.
    const struct { int added; std::tuple<bool, std::size_t, std::size_t> edit; } steps[] = {
        {2, {true, 0, 2}}, {0, {false, 0, 0}}, {2, {false, 1, 2}}, {5, {true, 0, 3}},
    };
    int count = 0;
    for (const auto& step : steps) {
        for (int i = 0; i < step.added; ++i)
            log.add(outputLine("line " + std::to_string(++count)));
        EXPECT_EQ(apply(log.takeEdit()), step.edit) << count;
        EXPECT_EQ(view, log.lines()) << count;
    }
    EXPECT_EQ(log.text(), "line 7\nline 8\nline 9\n");
    EXPECT_EQ(outputLine(std::string(5000, 'x')), (OutputLine{std::string(kOutputLineChars, 'x') + "\u2026", false}));

    OutputLog found;
    for (const char* line : {"GET /Room 200", "nothing here", "room ROOM r\u00f6om"})
        found.add(outputLine(line));
    EXPECT_EQ(found.find("rOOm", 10), (std::vector<OutputLog::Match>{{0, 5, 4}, {2, 0, 4}, {2, 5, 4}}));
    EXPECT_EQ(found.find("room", 2).size(), 2u);
    EXPECT_TRUE(found.find("", 10).empty());

    std::tm local{};
    local.tm_year = 126, local.tm_mon = 11, local.tm_mday = 8, local.tm_hour = 14, local.tm_min = 3, local.tm_sec = 9;
    local.tm_isdst = -1;
    const auto at = std::chrono::system_clock::from_time_t(std::mktime(&local));
    using Kind = ServerEvent::Kind;
    const std::pair<ServerEvent, const char*> events[] = {
        {{Kind::Starting, 0, "", at, 0}, "Starting the server"},
        {{Kind::Ready, 8766, "", at, 2}, "Ready on port 8766"},
        {{Kind::Signalled, 9, "Killed", at, 3}, "Ended by signal 9 (Killed)"},
        {{Kind::Failed, 0, "Bad\x1b[31m", at, 3}, "Bad\\u001B[31m"},
        {{Kind::Notice, 0, "Took 8766", at, 1}, "Took 8766"},
    };
    std::deque<ServerEvent> told;
    for (const auto& [event, text] : events) {
        EXPECT_EQ(eventLine(event), (OutputLine{std::string("\u25B8 14:03:09 ") + text, true}));
        told.push_back(event);
    }
    std::stable_sort(told.begin(), told.end(), [](const auto& a, const auto& b) { return a.afterLine < b.afterLine; });
    // Lines 2 (the notice) and 3 of three are left in the tail.
    std::vector<std::string> merged;
    for (const OutputLine& line : earlierOutput({"Took 8766", "three"}, 3, told))
        merged.push_back(line.event ? line.text.substr(line.text.rfind(' ') + 1) : line.text);
    EXPECT_EQ(merged, (std::vector<std::string>{"server", "8766", "8766", "three", "(Killed)", "Bad\\u001B[31m"}));
}

TEST(StudioPage, OnlyExactRawValuesAndStudioAddressesNameAPage)
{
    for (const char* other : {"Desk", "ROOM", " desk", "room ", "", "lobby"})
        EXPECT_EQ(studioPageFromRaw(other), std::nullopt) << other;
    EXPECT_EQ(studioPageOrDesk("Room"), StudioPage::Desk);
    EXPECT_EQ(pageURL(8765, StudioPage::Desk), "http://127.0.0.1:8765/");
    EXPECT_EQ(pageURL(8770, StudioPage::Room), "http://127.0.0.1:8770/room/");

    const std::string base = "http://127.0.0.1:8765/";
    const std::pair<std::optional<StudioPage>, std::vector<std::string>> cases[] = {
        {StudioPage::Desk, {base, "http://127.0.0.1:8765", base + "?take=2#mixer"}},
        {StudioPage::Room, {base + "room/", base + "room", "HTTP://127.0.0.1:8765/room/#board"}},
        {std::nullopt, {base + "room/deck", base + "ROOM/", base + "rooms", base + "api/pid", "http://127.0.0.1:8766/room/",
                        "http://localhost:8765/", "https://127.0.0.1:8765/", "file:///room/", "about:blank", ""}},
    };
    for (const auto& [page, urls] : cases)
        for (const std::string& url : urls)
            EXPECT_EQ(studioPageAt(url, base), page) << url;
    EXPECT_EQ(studioPageAt("http://127.0.0.1:8770/room/", "http://127.0.0.1:8770"), StudioPage::Room);
}

} // namespace
} // namespace quillbay
