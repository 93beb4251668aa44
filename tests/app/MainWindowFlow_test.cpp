// The window and the quit path against a real ServerProcess running the fake server and real WebKit.

#include "tests/support/WindowFixture.hpp"

#include "app/lifecycle/AppDelegate.hpp"

#include <netinet/in.h>
#include <sys/socket.h>


namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

using MainWindowFlow = WindowTest;
const std::string kRoomRemembered = "[Preferences]\nstudio.page=room\n";

TEST_F(MainWindowFlow, AFailedStartShowsTheCrashAndStaysFailed)
{
    useAppServer(fake_.emplace(Args{"--crash-at-start"}).resourceDir());
    openWindow(kRoomRemembered);
    server_->start();
    ASSERT_TRUE(runUntil([&] { return server_->state()->isFailed(); }, 20s));
    runFor(300ms);  // the card follows the log at its own pace
    EXPECT_NE(content().serverCard().logText().find("Traceback"), std::string::npos) << content().serverCard().logText();
    EXPECT_FALSE(content().toolbar().themeButton().get_sensitive());

    // The window appearing again does not restart a failed server.
    AppDelegate().windowAppeared(server_);
    EXPECT_TRUE(server_->state()->isFailed());
}

// The app builds its window a main-loop turn after starting the server, which may be ready by then.
// The usual port (one of the kernel's choice here) is held by a stranger: the window says once why.
// Open in Browser hands the shown page over; a second quit while quitting is ignored.
TEST_F(MainWindowFlow, AWindowMadeAfterTheServerIsReadyShowsTheRememberedPageAndTheFallbackPortAndQuitsOnce)
{
    const int stranger = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const std::shared_ptr<void> closeAtEnd(nullptr, [stranger](void*) { close(stranger); });
    sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t length = sizeof address;
    ASSERT_TRUE(bind(stranger, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(stranger, 4) == 0 &&
                getsockname(stranger, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    const long long usual = ntohs(address.sin_port);
    useServer(fake_.emplace(Args{"--delay=0"}).config(usual));
    writeFile(preferencePath(), kRoomRemembered);

    server_->start();
    ASSERT_TRUE(runUntil([&] { return server_->state()->isReady(); }, 30s));
    openWindow();
    AppDelegate delegate;
    delegate.windowAppeared(server_);
    const std::string room = server_->baseURL() + "room/";
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == room; }, 20s))
        << "shown: " << web_.currentURL().get().value_or("none") << ", error: " << web_.loadError().get().value_or("none");
    ASSERT_TRUE(content().notice().shown());
    EXPECT_EQ(std::string(content().notice().text()), server_->logTail()->front());
    EXPECT_NE(content().notice().text().find("port " + std::to_string(usual)), std::string::npos);
    EXPECT_TRUE(content().toolbar().themeButton().get_sensitive());
    content().openInBrowser();
    ASSERT_TRUE(runUntil([&] { return !desktop_.opened().empty(); }, 5s));
    EXPECT_EQ(desktop_.opened(), std::vector<std::string>{room});

    bool exited = false;
    int repeats = 0;
    delegate.requestQuit([&] { exited = true; });
    delegate.requestQuit([&] { ++repeats; });  // a second request while quitting is ignored
    EXPECT_FALSE(exited);
    ASSERT_TRUE(runUntil([&] { return exited; }, 15s));
    EXPECT_EQ(repeats, 0);
    EXPECT_FALSE(server_->hasChild());
}

} // namespace
} // namespace quillbay
