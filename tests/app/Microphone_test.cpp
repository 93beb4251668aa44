#include "ShellFixture.hpp"

#include "app/lifecycle/Microphone.hpp"

#include <gtkmm/button.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>
#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

TEST(Microphone, RefusalShowsTheAlertWhoseFirstButtonOpensTheSettings)
{
    ASSERT_TRUE(startGtk());
    int settingsOpened = 0;
    // A refusal delivered from another thread, as a platform would.
    Microphone::Platform refusing;
    refusing.request = [](Microphone::Answer answer) { std::thread([answer] { answer(false); }).detach(); };
    refusing.openSettings = [&] { ++settingsOpened; };

    for (int response : {1000, 1001}) {
        Microphone::ask(refusing);
        ASSERT_TRUE(runUntil([] { return shownMessageDialog() != nullptr; }, 5s));
        auto* alert = shownMessageDialog();
        EXPECT_EQ(alert->property_text().get_value(), "Microphone access is off for Quillbay");
        EXPECT_EQ(alert->property_secondary_text().get_value(),
                  "The live room cannot hear the desk until it is allowed in System Settings \u203A Privacy & "
                  "Security \u203A Microphone.");
        auto* open = dynamic_cast<Gtk::Button*>(alert->get_widget_for_response(1000));
        auto* later = dynamic_cast<Gtk::Button*>(alert->get_widget_for_response(1001));
        ASSERT_TRUE(open && later);
        EXPECT_EQ(open->get_label() + later->get_label(), "Open System SettingsLater");
        EXPECT_EQ(open->get_next_sibling(), later);
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
