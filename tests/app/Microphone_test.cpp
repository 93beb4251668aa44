#include "ShellFixture.hpp"

#include "app/lifecycle/Microphone.hpp"

#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>
#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

namespace {

Gtk::MessageDialog* shownAlert()
{
    for (auto* window : Gtk::Window::list_toplevels())
        if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog && dialog->get_visible())
            return dialog;
    return nullptr;
}

} // namespace

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
        ASSERT_TRUE(runUntil([] { return shownAlert() != nullptr; }, 5s));
        auto* alert = shownAlert();
        alert->response(response);
        EXPECT_TRUE(runUntil([] { return shownAlert() == nullptr; }, 2s));
        runFor(100ms);
        EXPECT_EQ(settingsOpened, 1) << "after response " << response;
    }

    // On Linux the platform answers granted: no alert.
    Microphone::Platform plain;
    Microphone::ask(plain);
    runFor(200ms);
    EXPECT_EQ(shownAlert(), nullptr);
}
