// The plain decisions behind the window's desktop features.

#include "ui/find/FindBarLogic.hpp"
#include "ui/cards/ServerCardContent.hpp"
#include "ui/cards/StartAttempts.hpp"
#include "ui/preferences/Preferences.hpp"
#include "ui/preferences/ZoomLevel.hpp"

#include "tests/support/TestSupport.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace quillbay {
namespace {

TEST(ZoomLevel, StepsLikeABrowserAndStaysInRange)
{
    struct Case {
        double from, larger, smaller;
    } cases[] = {
        {1.0, 1.1, 0.9}, {0.5, 0.67, 0.5}, {3.0, 3.0, 2.75}, {1.25, 1.5, 1.1},
        {1.3, 1.5, 1.25},  // off the steps: to the nearest step in that direction
        {9.0, 3.0, 2.75}, {0.1, 0.67, 0.5}, {NAN, 1.1, 0.9},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(ZoomLevel::larger(c.from), c.larger) << c.from;
        EXPECT_DOUBLE_EQ(ZoomLevel::smaller(c.from), c.smaller) << c.from;
    }
    EXPECT_DOUBLE_EQ(ZoomLevel::sanitised(INFINITY), 1.0);
}

TEST(Preferences, KeepPageZoomAndWindowTogetherAndSurviveDamage)
{
    const testing::TempDir folder{"quillbay-prefs"};
    const std::string path = folder / "Quillbay/preferences.ini";
    Preferences preferences(path);
    EXPECT_EQ(preferences.pageRaw(), "desk");
    EXPECT_EQ(preferences.zoom(), 1.0);
    EXPECT_EQ(preferences.window(), WindowState{});

    // Each store keeps what the others stored, and what someone else wrote.
    ASSERT_TRUE(Preferences(path).storePage(StudioPage::Room));
    std::ofstream(path, std::ios::app) << "# kept\nother=1\n";
    ASSERT_TRUE(preferences.storeZoom(1.75));
    ASSERT_TRUE(preferences.storeWindow({1111, 777, true}));
    const Preferences again(path);
    EXPECT_EQ(again.page(), StudioPage::Room);
    EXPECT_EQ(again.zoom(), 1.75);
    EXPECT_EQ(again.window(), (WindowState{1111, 777, true}));
    EXPECT_NE(testing::readFile(path).find("# kept\nother=1"), std::string::npos) << testing::readFile(path);

    struct Case {
        std::string text;
        std::string page;
        double zoom;
        WindowState window;
    } damaged[] = {
        {"[Preferences]\nstudio.page=Room\nview.zoom=lots\nwindow.width=wide\nwindow.height=600\nwindow.maximized=maybe\n", "Room",
         1.0, {WindowState::kDefaultWidth, 600, false}},
        {"[Preferences]\nview.zoom=40\n", "desk", 3.0, {}},
        {"\x01 not a key file [[[", "desk", 1.0, {}},
    };
    for (const Case& c : damaged) {
        std::ofstream(path, std::ios::trunc) << c.text;
        EXPECT_EQ(preferences.pageRaw(), c.page) << c.text;
        EXPECT_EQ(preferences.zoom(), c.zoom) << c.text;
        EXPECT_EQ(preferences.window(), c.window) << c.text;
    }
    EXPECT_EQ(preferences.page(), StudioPage::Desk);  // a text that names no page
    ASSERT_TRUE(preferences.storePage(StudioPage::Room));
    EXPECT_EQ(preferences.page(), StudioPage::Room);
    EXPECT_FALSE(Preferences(path + "/inner/preferences.ini").storePage(StudioPage::Room));
}

// A FIFO or a link where the file belongs would block start-up or redirect
// writes: the defaults apply and the thing stays as it is.
TEST(Preferences, ANonRegularFileIsNeitherReadNorReplaced)
{
    const testing::TempDir temp{"quillbay-prefs-odd"};
    const std::filesystem::path folder = temp.path();
    std::ofstream(folder / "elsewhere.ini") << "[Preferences]\nstudio.page=room\n";
    std::filesystem::create_symlink(folder / "elsewhere.ini", folder / "link.ini");
    ASSERT_EQ(mkfifo((folder / "fifo.ini").c_str(), 0600), 0);
    for (const char* name : {"fifo.ini", "link.ini"}) {
        Preferences preferences((folder / name).string());
        EXPECT_EQ(preferences.pageRaw(), "desk") << name;
        EXPECT_FALSE(preferences.storeZoom(2.0)) << name;
    }
    EXPECT_EQ(std::filesystem::status(folder / "fifo.ini").type(), std::filesystem::file_type::fifo);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.ini"));
    EXPECT_EQ(Preferences((folder / "elsewhere.ini").string()).zoom(), 1.0);
}

TEST(WindowState, RestorableSizesRespectTheMinimumAndRejectNonsense)
{
    struct Case {
        WindowState stored, restored;
    } cases[] = {
        {{1200, 800, true}, {1200, 800, true}},
        {{100, 100, false}, {960, 620, false}},
        {{0, -3, false}, {WindowState::kDefaultWidth, WindowState::kDefaultHeight, false}},
        {{100000, 700, false}, {WindowState::kDefaultWidth, 700, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.stored.restorable(960, 620), c.restored) << c.stored.width << "x" << c.stored.height;
}

TEST(FindBarLogic, Status)
{
    using Status = FindBarLogic::Status;
    EXPECT_EQ(FindBarLogic::status("", std::nullopt, 1000), Status{});
    EXPECT_EQ(FindBarLogic::status("x", std::nullopt, 1000), (Status{"No matches", true}));
    EXPECT_EQ(FindBarLogic::status("x", 0u, 1000), (Status{"No matches", true}));
    EXPECT_EQ(FindBarLogic::status("x", 1u, 1000), (Status{"1 match", false}));
    EXPECT_EQ(FindBarLogic::status("x", 7u, 1000), (Status{"7 matches", false}));
    EXPECT_EQ(FindBarLogic::status("x", G_MAXUINT, 1000), (Status{"More than 1000 matches", false}));
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
    // The same failure published again (new log lines) is the same attempt.
    EXPECT_EQ(card(failed), first);

    card(ServerState::idle());
    EXPECT_EQ(card(ServerState::starting()).attempt, "");
    const ServerCardContent second = card(failed);
    EXPECT_EQ(second.attempt, "Attempt 2 at 14:03:02");
    EXPECT_EQ(second.message, first.message);
    EXPECT_NE(second, first);

    // A card that first sees an already failed server counts that as the first attempt.
    StartAttempts late([] { return "09:00:00"; });
    late.observe(failed);
    EXPECT_EQ(late.failureLine(), "Attempt 1 at 09:00:00");
}

} // namespace
} // namespace quillbay
