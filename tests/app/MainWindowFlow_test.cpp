// The window and the quit path against real parts (tests/support/WindowFixture.hpp):
// a real ServerProcess running the fake studio server, a real WebKit view under Xvfb.

#include "tests/support/WindowFixture.hpp"

#include "app/lifecycle/AppDelegate.hpp"

#include <netinet/in.h>
#include <sys/socket.h>

#include <regex>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

class MainWindowFlow : public WindowTest {
protected:
    // The fake server with `fakeArgs` on the app's own ports and timings, room as the remembered page.
    void prepareServer(const Args& fakeArgs)
    {
        useAppServer(fake_.emplace(fakeArgs).resourceDir());
        writeFile(preferencePath(), "[Preferences]\nstudio.page=room\n");
    }
};

TEST_F(MainWindowFlow, AFailedStartShowsTheCrashAndStaysFailed)
{
    prepareServer({"--crash-at-start"});
    openWindow();
    server_->start();
    ASSERT_TRUE(runUntil([&] { return server_->state()->isFailed(); }, 20s));
    runFor(300ms);  // the card follows the log at its own pace
    EXPECT_NE(content().serverCard().logText().find("Traceback"), std::string::npos) << content().serverCard().logText();
    EXPECT_FALSE(content().toolbar().themeButton().get_sensitive());

    // The window appearing again does not restart a failed server.
    AppDelegate().windowAppeared(server_);
    EXPECT_TRUE(server_->state()->isFailed());
}

// The app builds its window a main-loop turn after starting the server, which
// may be ready by then. The usual port is held by a stranger here: the window
// says once why the studio is on another port.
TEST_F(MainWindowFlow, AWindowMadeAfterTheServerIsReadyShowsTheRememberedPageAndTheFallbackPort)
{
    // A port of the kernel's choice stands for the usual one, so no other test meets it.
    const int stranger = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const std::shared_ptr<void> closeAtEnd(nullptr, [stranger](void*) { close(stranger); });
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(stranger, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(stranger, 4), 0);
    ASSERT_EQ(getsockname(stranger, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const long long usual = ntohs(address.sin_port);
    useServer(fake_.emplace(Args{"--delay=0"}).config(usual));
    writeFile(preferencePath(), "[Preferences]\nstudio.page=room\n");

    server_->start();
    ASSERT_TRUE(runUntil([&] { return server_->state()->isReady(); }, 30s));
    openWindow();
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == server_->baseURL() + "room/"; }, 20s))
        << "shown: " << web_.currentURL().get().value_or("none");
    EXPECT_TRUE(content().toolbar().themeButton().get_sensitive());
    ASSERT_TRUE(content().notice().shown());
    EXPECT_EQ(std::string(content().notice().text()), server_->logTail()->front());
    EXPECT_NE(content().notice().text().find("port " + std::to_string(usual)), std::string::npos);
}

// The fake ignores SIGTERM, so the quit after a restart must outlast the old child's forced end.
TEST_F(MainWindowFlow, ReadyShowsTheRememberedPageAndQuitAfterARestartOutlastsTheOldChild)
{
    prepareServer({"--ignore-term"});
    openWindow();
    AppDelegate delegate;
    delegate.windowAppeared(server_);
    ASSERT_TRUE(runUntil([&] { return server_->state()->isReady(); }, 30s));
    const std::string base = server_->baseURL();
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == base + "room/"; }, 20s));
    EXPECT_TRUE(content().toolbar().themeButton().get_sensitive());

    content().pickPage(StudioPage::Desk);
    EXPECT_EQ(Preferences(preferencePath()).pageRaw(), "desk");
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == base && !web_.isLoading().get(); }, 20s))
        << "shown: " << web_.currentURL().get().value_or("none") << ", loading: " << web_.isLoading().get()
        << ", error: " << web_.loadError().get().value_or("none");
    content().openInBrowser();
    ASSERT_TRUE(runUntil([&] { return !desktop_.opened().empty(); }, 5s));
    EXPECT_EQ(desktop_.opened(), std::vector<std::string>{base});

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
