#include "ShellFixture.hpp"

#include "app/lifecycle/Microphone.hpp"

#include "tests/support/ShownDialog.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

TEST(Microphone, RefusalShowsTheAlertWhoseFirstButtonOpensTheSettings)
{
    ensureGtk();
    int settingsOpened = 0;
    // A refusal delivered from another thread, as a platform would.
    Microphone::Platform refusing;
    refusing.request = [](Microphone::Answer answer) { std::thread([answer] { answer(false); }).detach(); };
    refusing.openSettings = [&] { ++settingsOpened; };

    for (int response : {1000, 1001}) {
        Microphone::ask(refusing);
        ASSERT_TRUE(runUntil([] { return shownMessageDialog() != nullptr; }, 5s));
        auto* alert = shownMessageDialog();
        alert->response(response);
        EXPECT_TRUE(runUntil([] { return shownMessageDialog() == nullptr; }, 2s));
        runFor(100ms);
        EXPECT_EQ(settingsOpened, 1) << "after response " << response;
    }

    // On Linux the platform answers granted: no alert.
    Microphone::Platform plain;
    Microphone::ask(plain);
    runFor(200ms);
    EXPECT_EQ(shownMessageDialog(), nullptr);
}
