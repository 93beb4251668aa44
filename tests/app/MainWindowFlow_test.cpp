// The window and the quit path against real parts: a real ServerProcess
// running the fake studio server, a real WebKit view under Xvfb.

#include "ShellFixture.hpp"

#include "app/lifecycle/AppDelegate.hpp"
#include "server/ServerProcess.hpp"
#include "themes/ThemePacks.hpp"
#include "ui/window/ContentView.hpp"
#include "web/WebViewModel.hpp"

#include <gtest/gtest.h>
#include <gtkmm/applicationwindow.h>

#include <regex>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

class MainWindowFlow : public ::testing::Test {
protected:
    void TearDown() override
    {
        content_.reset();
        window_.reset();
        stopAndRelease(server_);
    }

    // The window with room as the remembered page and a fake server run with `fakeOption`.
    void build(const std::string& fakeOption)
    {
        prepareServer(fakeOption);
        makeWindow();
    }

    void prepareServer(const std::string& fakeOption)
    {
        writeFakeResources(root_ / "R", {fakeOption});
        writeFile(root_ / "config/preferences.ini", "[Preferences]\nstudio.page=room\n");
        ServerProcess::Config config;
        config.resourceDir = root_ / "R";
        config.stateDir = root_ / "S";
        server_ = std::make_shared<ServerProcess>(config);
    }

    void makeWindow()
    {
        window_ = std::make_unique<Gtk::ApplicationWindow>();
        content_ = std::make_unique<ContentView>(*window_, *server_, web_, themes_, PagePreference(root_ / "config/preferences.ini"),
                                                 [this](const std::string& uri) { opened_.push_back(uri); });
        window_->set_child(*content_);
        window_->present();
    }

    void pressReturn() { ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(window_->gobj()), "default.activate", nullptr)); }

    bool gtkReady_ = (ensureGtk(), true);  // before the web view is made
    TempDir root_{"quillbay-shell"};
    WebViewModel web_;
    ThemePacks themes_;
    std::shared_ptr<ServerProcess> server_;
    std::unique_ptr<Gtk::ApplicationWindow> window_;
    std::unique_ptr<ContentView> content_;
    std::vector<std::string> opened_;
};

TEST_F(MainWindowFlow, FailedStartShowsTheDarkCardWithTheOutput)
{
    build("--crash-at-start");
    server_->start();
    ASSERT_TRUE(runUntil([&] { return server_->state()->isFailed(); }, 20s));
    runFor(300ms);  // the card follows the log at its own pace

    const ServerCardContent& card = content_->serverCard().content();
    EXPECT_EQ(card.headline, "THE ROOM IS DARK");
    EXPECT_NE(content_->serverCard().logText().find("Traceback"), std::string::npos) << content_->serverCard().logText();
    EXPECT_TRUE(content_->serverCard().logBoxShown());
    EXPECT_FALSE(content_->toolbar().themeButton().get_sensitive());

    // The window appearing again does not restart a failed server.
    AppDelegate(3000ms).windowAppeared(server_);
    EXPECT_TRUE(server_->state()->isFailed());

    content_->serverCard().showLogButton().activate();
    ASSERT_TRUE(runUntil([&] { return !opened_.empty(); }, 2s));
    EXPECT_EQ(opened_[0], "file://" + root_ / "S/logs/server.log");

    // Return restarts the server: the card goes back to warming as the state leaves failed.
    std::vector<std::string> headlines;
    auto watch = server_->state().signalChanged().connect([&] { headlines.push_back(content_->serverCard().content().headline); });
    pressReturn();
    runUntil([&] { return !headlines.empty(); }, 2s);
    watch.disconnect();
    ASSERT_FALSE(headlines.empty());
    EXPECT_EQ(headlines[0], "WARMING UP THE ROOM");
}

// The app builds its window a main-loop turn after starting the server, which
// may be ready by then.
TEST_F(MainWindowFlow, AWindowMadeAfterTheServerIsReadyShowsTheRememberedPage)
{
    prepareServer("--delay=0");
    server_->start();
    ASSERT_TRUE(runUntil([&] { return server_->state()->isReady(); }, 30s));
    makeWindow();
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == server_->baseURL() + "room/"; }, 20s))
        << "shown: " << web_.currentURL().get().value_or("none");
    EXPECT_TRUE(content_->toolbar().themeButton().get_sensitive());
}

// The fake ignores SIGTERM, so the quit after a restart must outlast the old child's forced end.
TEST_F(MainWindowFlow, ReadyShowsTheRememberedPageAndQuitAfterARestartOutlastsTheOldChild)
{
    build("--ignore-term");
    AppDelegate delegate(3000ms);
    delegate.windowAppeared(server_);
    ASSERT_TRUE(runUntil([&] { return server_->state()->isReady(); }, 30s));
    const std::string base = server_->baseURL();
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == base + "room/"; }, 20s));
    EXPECT_TRUE(content_->toolbar().themeButton().get_sensitive());

    content_->pickPage(StudioPage::Desk);
    EXPECT_EQ(PagePreference(root_ / "config/preferences.ini").raw(), "desk");
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == base && !web_.isLoading().get(); }, 20s))
        << "shown: " << web_.currentURL().get().value_or("none") << ", loading: " << web_.isLoading().get()
        << ", error: " << web_.loadError().get().value_or("none");
    content_->openInBrowser();
    EXPECT_EQ(opened_, std::vector<std::string>{base});

    std::string log;
    for (const auto& line : server_->logTail().get())
        log += line + "\n";
    std::smatch match;
    ASSERT_TRUE(std::regex_search(log, match, std::regex("pid=([0-9]+)")));
    const pid_t oldChild = std::stoi(match[1]);
    server_->restart();
    ASSERT_TRUE(server_->state()->isIdle());
    const auto asked = std::chrono::steady_clock::now();
    bool exited = false;
    int repeats = 0;
    delegate.requestQuit([&] { exited = true; });
    delegate.requestQuit([&] { ++repeats; });  // a second request while quitting is ignored
    EXPECT_FALSE(exited);
    ASSERT_TRUE(runUntil([&] { return exited; }, 15s));
    EXPECT_EQ(repeats, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 2900ms);
    EXPECT_FALSE(processRuns(oldChild));
    // The restart may have launched a new child meanwhile; the quit stopped that one too.
    EXPECT_FALSE(server_->hasChild());
}

} // namespace
} // namespace quillbay
