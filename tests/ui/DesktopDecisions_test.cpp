// The plain decisions behind the window's desktop features.

#include "ui/messages/DownloadToastText.hpp"
#include "ui/find/FindBarLogic.hpp"
#include "ui/cards/ServerCardContent.hpp"
#include "ui/cards/StartAttempts.hpp"
#include "ui/preferences/ViewPreferences.hpp"
#include "ui/preferences/ZoomLevel.hpp"
#include "web/DownloadsFolder.hpp"

#include "tests/support/TestSupport.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

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

TEST(ViewPreferences, KeepsZoomAndWindowBesideThePageAndSurvivesDamage)
{
    const testing::TempDir folder{"quillbay-prefs"};
    const std::string path = folder / "Quillbay/preferences.ini";
    ViewPreferences preferences(path);
    EXPECT_EQ(preferences.zoom(), 1.0);
    EXPECT_EQ(preferences.window(), WindowState{});

    ASSERT_TRUE(PagePreference(path).store(StudioPage::Room));
    ASSERT_TRUE(preferences.storeZoom(1.75));
    ASSERT_TRUE(preferences.storeWindow({1111, 777, true}));
    EXPECT_EQ(ViewPreferences(path).zoom(), 1.75);
    EXPECT_EQ(ViewPreferences(path).window(), (WindowState{1111, 777, true}));
    EXPECT_EQ(PagePreference(path).raw(), "room");

    std::ofstream(path) << "[Preferences]\nview.zoom=lots\nwindow.width=wide\nwindow.height=600\nwindow.maximized=maybe\n";
    EXPECT_EQ(preferences.zoom(), 1.0);
    EXPECT_EQ(preferences.window(), (WindowState{WindowState::kDefaultWidth, 600, false}));
    std::ofstream(path) << "[Preferences]\nview.zoom=40\n";
    EXPECT_EQ(preferences.zoom(), 3.0);
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

TEST(DownloadToastText, NamesTheFile)
{
    EXPECT_EQ(downloadSavedText("/home/ann/Downloads/take 1.wav"), "Saved take 1.wav");
    EXPECT_EQ(downloadFailedText("take 1.wav", "Connection reset"), "Could not save take 1.wav: Connection reset");
    EXPECT_EQ(downloadFailedText("", "Connection reset"), "Download failed: Connection reset");
}

TEST(DownloadsFolder, TheUsersDownloadsFolderElseHome)
{
    const std::filesystem::path config = g_get_user_config_dir();
    const std::filesystem::path dirs = config / "user-dirs.dirs";
    ASSERT_FALSE(std::filesystem::exists(dirs)) << "a private configuration folder is expected";
    const std::filesystem::path downloads = config / ("Downloads-" + std::to_string(getpid()));
    std::filesystem::create_directories(downloads);
    std::ofstream(dirs) << "XDG_DOWNLOAD_DIR=\"" << downloads.string() << "\"\n";
    g_reload_user_special_dirs_cache();
    EXPECT_EQ(downloadsFolder(), downloads.string());

    // Set but gone: the home folder.
    std::filesystem::remove(downloads);
    EXPECT_EQ(downloadsFolder(), g_get_home_dir());
    std::filesystem::remove(dirs);
    g_reload_user_special_dirs_cache();
    EXPECT_EQ(downloadsFolder(), g_get_home_dir());
}

} // namespace
} // namespace quillbay
