// How the window fits the monitor it opens on.

#include "ui/window/WindowSizing.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

TEST(WindowSizing, TheMinimumShrinksOnlyWhereTheWorkAreaIsSmallerAndAShrunkSizeIsNotStored)
{
    const Extent chrome{10, 80};  // title and menu bars
    struct Case {
        const char* screen;
        WindowState stored;
        Extent workArea;
        Extent contentMinimum;
        WindowState opening;
    } cases[] = {
        {"unknown monitor", {1150, 780, false}, {}, {960, 620}, {1150, 780, false}},
        {"1400x900", {1150, 780, false}, {1400, 900}, {960, 620}, {1150, 780, false}},
        {"1400x900, tiny stored size", {100, 100, true}, {1400, 900}, {960, 620}, {970, 700, true}},
        {"1400x900 at scale 2", {1150, 780, false}, {700, 450}, {690, 370}, {700, 450, false}},
        {"1080p at 150 % with a panel", {1280, 820, false}, {1280, 690}, {960, 610}, {1280, 690, false}},
        {"smaller than the chrome", {1150, 780, false}, {5, 50}, {1, 1}, {5, 50, false}},
    };
    for (const Case& c : cases) {
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

} // namespace
} // namespace quillbay
