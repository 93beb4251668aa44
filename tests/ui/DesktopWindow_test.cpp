// The main window's desktop features against real parts: a real WebKit view
// under Xvfb showing tests/fixtures/web_site.py, the real key file, and a
// desktop without any application that could open a file or an address.

#include "server/ServerProcess.hpp"
#include "themes/ThemePacks.hpp"
#include "ui/window/MainWindow.hpp"
#include "web/PageZoom.hpp"
#include "web/WebViewModel.hpp"

#include "tests/support/WebSites.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtkmm/init.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include <unistd.h>

namespace quillbay {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing::readFile;
using testing::runFor;
using testing::runUntil;
using testing::TempDir;
using testing::WebSites;

// GTK once per process, with private XDG folders whose data folders hold
// everything of /usr/share but the applications: nothing can open anything.
bool startGtk()
{
    static const bool started = [] {
        static const TempDir home{"quillbay-desktop"};
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            setenv(name, (home / name).c_str(), 1);
        fs::create_directories(home / "share");
        for (const auto& entry : fs::directory_iterator("/usr/share"))
            if (entry.path().filename() != "applications")
                fs::create_symlink(entry.path(), fs::path(home / "share") / entry.path().filename());
        setenv("XDG_DATA_DIRS", (home / "share").c_str(), 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        setenv("GSK_RENDERER", "cairo", 0);
        setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
        if (!gtk_init_check())
            return false;
        Gtk::init_gtkmm_internals();
        return true;
    }();
    return started;
}

class DesktopWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(started_);
        // No interpreter in R: every start fails at once, without a child.
        config_.resourceDir = root_ / "R";
        config_.stateDir = root_ / "S";
        fs::create_directories(config_.resourceDir);
        server_ = std::make_unique<ServerProcess>(config_);
    }

    void TearDown() override
    {
        window_.reset();
    }

    void open(const std::string& preferences = {})
    {
        if (!preferences.empty()) {
            std::ofstream(prefsPath()) << preferences;
        }
        window_ = std::make_unique<MainWindow>(*server_, web_, themes_, ViewPreferences(prefsPath()));
        window_->present();
        runFor(100ms);
    }

    void loadAndSettle(const std::string& url)
    {
        web_.load(url);
        ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == url && !web_.isLoading().get(); }));
    }

    std::string prefsPath() const { return root_ / "preferences.ini"; }

    bool started_ = startGtk();
    TempDir root_{"quillbay-desktop"};
    ServerProcess::Config config_;
    std::unique_ptr<ServerProcess> server_;
    WebViewModel web_;
    ThemePacks themes_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(DesktopWindow, ZoomStepsApplyToTheViewAndAreRememberedAcrossWindows)
{
    open("[Preferences]\nstudio.page=room\nview.zoom=1.5\n");
    EXPECT_DOUBLE_EQ(pageZoom(web_), 1.5);

    window_->zoomIn();
    EXPECT_DOUBLE_EQ(pageZoom(web_), 1.75);
    for (int i = 0; i < 20; ++i)
        window_->zoomIn();
    EXPECT_DOUBLE_EQ(pageZoom(web_), 3.0);
    EXPECT_EQ(ViewPreferences(prefsPath()).zoom(), 3.0);

    ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(window_->gobj()), "win.zoom-out", nullptr));
    EXPECT_DOUBLE_EQ(pageZoom(web_), 2.75);

    // The next run finds it, and the page preference beside it is untouched.
    window_.reset();
    setPageZoom(web_, 1.0);
    open();
    EXPECT_DOUBLE_EQ(pageZoom(web_), 2.75);
    EXPECT_EQ(PagePreference(prefsPath()).raw(), "room");

    ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(window_->gobj()), "win.zoom-reset", nullptr));
    EXPECT_DOUBLE_EQ(pageZoom(web_), 1.0);
    EXPECT_EQ(ViewPreferences(prefsPath()).zoom(), 1.0);
}

TEST_F(DesktopWindow, FindBarCountsMatchesAndShowsWhenThereAreNone)
{
    WebSites site;
    open();
    web_.setAllowedPort(site.studioPort);
    loadAndSettle(site.studio("/landing-Apple-apple-APPLE"));

    ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(window_->gobj()), "win.find", nullptr));
    FindBar& bar = window_->findBar();
    EXPECT_TRUE(bar.isOpen());
    Gtk::Widget* focus = window_->get_focus();
    EXPECT_TRUE(focus && (focus == &bar.entry() || focus->is_ancestor(bar.entry())));

    bar.entry().set_text("apple");  // any case
    ASSERT_TRUE(runUntil([&] { return bar.status().text == "3 matches"; })) << bar.status().text;
    EXPECT_FALSE(bar.entry().has_css_class("error"));

    bar.entry().set_text("zzqx");
    ASSERT_TRUE(runUntil([&] { return bar.status().noMatches; })) << bar.status().text;
    EXPECT_EQ(bar.status().text, "No matches");
    EXPECT_TRUE(bar.entry().has_css_class("error"));

    bar.close();
    EXPECT_FALSE(bar.isOpen());
    EXPECT_FALSE(bar.entry().has_css_class("error"));
}

TEST_F(DesktopWindow, WindowSizeAndMaximisedStateSurviveARun)
{
    open("[Preferences]\nwindow.width=1100\nwindow.height=700\nwindow.maximized=false\n");
    int width = 0, height = 0;
    window_->get_default_size(width, height);
    EXPECT_EQ(width, 1100);
    EXPECT_EQ(height, 700);

    window_->set_default_size(1010, 660);
    window_->set_visible(false);  // every way of quitting hides the window first
    EXPECT_EQ(ViewPreferences(prefsPath()).window(), (WindowState{1010, 660, false}));

    // A damaged or tiny stored size never makes the window smaller than its content minimum.
    window_.reset();
    open("[Preferences]\nwindow.width=200\nwindow.height=-5\nwindow.maximized=true\n");
    window_->get_default_size(width, height);
    EXPECT_GE(width, 960);
    EXPECT_LT(width, 1000);  // the window's own minimum, a little wider than its content's
    EXPECT_EQ(height, WindowState::kDefaultHeight);
    EXPECT_TRUE(runUntil([&] { return window_->is_maximized(); }, 5s));

    // Maximised, the size kept is the one to return to.
    window_.reset();
    open("[Preferences]\nwindow.width=1001\nwindow.height=801\nwindow.maximized=true\n");
    ASSERT_TRUE(runUntil([&] { return window_->is_maximized(); }, 5s));
    runFor(200ms);
    window_->set_visible(false);
    EXPECT_EQ(ViewPreferences(prefsPath()).window(), (WindowState{1001, 801, true}));
}

TEST_F(DesktopWindow, DownloadsEndInAToastNamingTheFile)
{
    WebSites site;
    open();
    web_.setAllowedPort(site.studioPort);
    const TempDir folder{"quillbay-desktop"};
    fs::path destination = folder / "saved archive.bin";
    web_.setDestinationChooser([&](const std::string&, WebViewModel::DestinationAnswer answer) { answer(destination.string()); });
    loadAndSettle(site.studio("/"));

    web_.load(site.studio("/archive.bin"));
    Toast& toast = window_->content().toast();
    ASSERT_TRUE(runUntil([&] { return toast.shown(); }));
    EXPECT_EQ(toast.text(), "Saved saved archive.bin");
    EXPECT_TRUE(toast.actionButton().get_visible());
    EXPECT_EQ(toast.actionButton().get_label(), "Show in Folder");
    EXPECT_EQ(fs::file_size(destination), 17u * 64u);

    // Nothing can show a folder here, so "Show in Folder" says so instead of doing nothing.
    ASSERT_TRUE(runUntil([&] { return toast.actionButton().get_mapped(); }));  // sliding in
    toast.actionButton().activate();  // a button activates once its pressed look has shown
    ASSERT_TRUE(runUntil([&] { return toast.shown() && toast.text().find("Saved") != 0; }));
    EXPECT_EQ(toast.text().find("No application could open saved archive.bin ("), 0u) << toast.text();

    toast.dismiss();
    destination = folder / "broken.bin";
    web_.load(site.studio("/broken.bin"));
    ASSERT_TRUE(runUntil([&] { return toast.shown(); }));
    EXPECT_EQ(toast.text().find("Could not save broken.bin: "), 0u) << toast.text();
    EXPECT_FALSE(toast.actionButton().get_visible());
}

TEST_F(DesktopWindow, OpeningWithNoApplicationTellsTheUser)
{
    open();
    server_->start();  // fails at once: the card offers "Show Server Log"
    ContentView& content = window_->content();
    runFor(100ms);
    content.serverCard().showLogButton().activate();
    ASSERT_TRUE(runUntil([&] { return content.toast().shown(); }));
    EXPECT_EQ(content.toast().text().find("No application could open server.log ("), 0u) << content.toast().text();

    content.toast().dismiss();
    content.openOrTell("http://127.0.0.1:9/");
    ASSERT_TRUE(content.toast().shown());
    EXPECT_EQ(content.toast().text().find("No application could open http://127.0.0.1:9/ ("), 0u) << content.toast().text();
}

TEST_F(DesktopWindow, ARestartThatFailsAgainReadsDifferently)
{
    open();
    server_->start();
    ServerCard& card = window_->content().serverCard();
    ASSERT_TRUE(server_->state()->isFailed());
    const ServerCardContent first = card.content();
    EXPECT_EQ(first.message, server_->state()->message());  // verbatim
    EXPECT_EQ(first.attempt.find("Attempt 1 at "), 0u) << first.attempt;

    card.restartButton().activate();
    ASSERT_TRUE(runUntil([&] { return server_->state()->isFailed() && card.content().attempt.find("Attempt 2 at ") == 0; }))
        << card.content().attempt;
    EXPECT_NE(card.content(), first);
    EXPECT_EQ(card.content().message, first.message);
}

} // namespace
} // namespace quillbay
