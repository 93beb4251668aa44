#include "app/Microphone.hpp"

#include <gtkmm/button.h>
#include <gtkmm/init.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <chrono>
#include <thread>

using namespace quillbay;
using namespace std::chrono_literals;

namespace {

bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return true;
}

Gtk::MessageDialog* shownAlert()
{
    for (auto* window : Gtk::Window::list_toplevels())
        if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog && dialog->get_visible())
            return dialog;
    return nullptr;
}

class MicrophoneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gtk_init_check())
            GTEST_SKIP() << "no display";
        Gtk::init_gtkmm_internals();
    }

    // A refusal delivered from another thread, as a platform would.
    Microphone::Platform refusing()
    {
        Microphone::Platform platform;
        platform.request = [](Microphone::Answer answer) { std::thread([answer] { answer(false); }).detach(); };
        platform.openSettings = [this] { ++settingsOpened; };
        return platform;
    }

    int settingsOpened = 0;
};

} // namespace

TEST_F(MicrophoneTest, RefusalShowsTheAlertAndItsFirstButtonOpensTheSettings)
{
    Microphone::ask(refusing());
    ASSERT_TRUE(runUntil([] { return shownAlert() != nullptr; }, 5s));
    auto* alert = shownAlert();
    EXPECT_EQ(alert->property_text().get_value(), "Microphone access is off for Quillbay");
    EXPECT_EQ(alert->property_secondary_text().get_value(),
              "The live room cannot hear the desk until it is allowed in System Settings \u203A Privacy & Security "
              "\u203A Microphone.");
    auto* open = alert->get_widget_for_response(1000);
    auto* later = alert->get_widget_for_response(1001);
    ASSERT_TRUE(open && later);
    EXPECT_EQ(dynamic_cast<Gtk::Button*>(open)->get_label(), "Open System Settings");
    EXPECT_EQ(dynamic_cast<Gtk::Button*>(later)->get_label(), "Later");
    EXPECT_EQ(open->get_next_sibling(), later);

    alert->response(1000);
    EXPECT_TRUE(runUntil([] { return shownAlert() == nullptr; }, 2s));
    EXPECT_EQ(settingsOpened, 1);
}

TEST_F(MicrophoneTest, LaterClosesTheAlertAndOpensNothing)
{
    Microphone::ask(refusing());
    ASSERT_TRUE(runUntil([] { return shownAlert() != nullptr; }, 5s));
    shownAlert()->response(1001);
    EXPECT_TRUE(runUntil([] { return shownAlert() == nullptr; }, 2s));
    runUntil([] { return false; }, 100ms);
    EXPECT_EQ(settingsOpened, 0);
}

TEST_F(MicrophoneTest, TheLinuxPlatformAnswersGrantedAndNoAlertAppears)
{
    bool answered = false;
    bool granted = false;
    Microphone::platformRequest()([&](bool g) {
        answered = true;
        granted = g;
    });
    EXPECT_TRUE(answered);
    EXPECT_TRUE(granted);

    Microphone::Platform platform;
    platform.openSettings = [this] { ++settingsOpened; };
    Microphone::ask(platform);
    runUntil([] { return false; }, 200ms);
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(settingsOpened, 0);
}
