#include "web/NavigationPolicy.hpp"
#include "web/WebViewModel.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using Kind = NavigationDecision::Kind;

constexpr long long kPort = 8765;

NavigationDecision action(std::optional<std::string> url, TargetFrame target,
                          bool download = false, std::optional<long long> port = kPort)
{
    return decideNavigation(NavigationRequest{std::move(url), download, target}, port);
}

TEST(NavigationPolicy, LoopbackNeedsTheHostAndTheExplicitAllowedPort)
{
    EXPECT_TRUE(isLoopbackURL("http://127.0.0.1:8765/", kPort));
    EXPECT_TRUE(isLoopbackURL("http://localhost:8765/room/", kPort));
    EXPECT_TRUE(isLoopbackURL("https://127.0.0.1:8765/", kPort));  // the scheme is not examined
    EXPECT_FALSE(isLoopbackURL("http://127.0.0.1:8766/", kPort));
    EXPECT_FALSE(isLoopbackURL("http://127.0.0.1/", kPort));       // no explicit port
    EXPECT_FALSE(isLoopbackURL("http://[::1]:8765/", kPort));
    EXPECT_FALSE(isLoopbackURL("http://127.0.0.2:8765/", kPort));
    EXPECT_FALSE(isLoopbackURL("http://example.com:8765/", kPort));
    EXPECT_FALSE(isLoopbackURL("http://127.0.0.1.example.com:8765/", kPort));
    EXPECT_FALSE(isLoopbackURL("127.0.0.1:8765/", kPort));         // not an absolute address
    EXPECT_FALSE(isLoopbackURL("", kPort));
    EXPECT_FALSE(isLoopbackURL("http://127.0.0.1:8765/", std::nullopt));  // no server yet

    // The model's own predicate: a loopback host with any explicit port.
    EXPECT_TRUE(WebViewModel::isLoopback("http://localhost:8770/"));
    EXPECT_FALSE(WebViewModel::isLoopback("http://localhost/"));
    EXPECT_FALSE(WebViewModel::isLoopback("http://[::1]:8765/"));
}

TEST(NavigationPolicy, InPageSchemesIgnoreCaseButNeedAScheme)
{
    EXPECT_TRUE(hasInPageScheme("about:blank"));
    EXPECT_TRUE(hasInPageScheme("DATA:text/plain,hi"));
    EXPECT_TRUE(hasInPageScheme("Blob:http://127.0.0.1:8765/1234"));
    EXPECT_FALSE(hasInPageScheme("javascript:alert(1)"));
    EXPECT_FALSE(hasInPageScheme("file:///etc/passwd"));
    EXPECT_FALSE(hasInPageScheme("data"));  // no scheme at all
}

TEST(NavigationPolicy, RulesApplyInOrder)
{
    // No address: nothing happens, whatever else the request says.
    EXPECT_EQ(action(std::nullopt, TargetFrame::Main, true).kind, Kind::Ignore);
    EXPECT_EQ(action("", TargetFrame::None).kind, Kind::Ignore);

    // A download request wins over every address rule, also for a foreign host.
    EXPECT_EQ(action("https://example.com/a.zip", TargetFrame::Main, true).kind, Kind::Download);
    EXPECT_EQ(action("https://example.com/a.zip", TargetFrame::None, true).kind, Kind::Download);

    // In-page schemes and the studio stay in the view, in any frame.
    EXPECT_EQ(action("DATA:text/html,x", TargetFrame::Main).kind, Kind::Allow);
    EXPECT_EQ(action("about:blank", TargetFrame::Sub).kind, Kind::Allow);
    EXPECT_EQ(action("http://127.0.0.1:8765/room/", TargetFrame::Main).kind, Kind::Allow);

    // Foreign content: in place in a subframe, to the default application in the main frame.
    const std::string foreign = "https://example.com/docs";
    EXPECT_EQ(action(foreign, TargetFrame::Sub).kind, Kind::Allow);
    EXPECT_EQ(action(foreign, TargetFrame::Main), (NavigationDecision{Kind::OpenExternally, foreign}));
    // Unknown frame: let it start; the response decides (see below).
    EXPECT_EQ(action(foreign, TargetFrame::Unknown).kind, Kind::Allow);

    // The server fell back to 8766: the old port is foreign now.
    EXPECT_EQ(decideNavigation({"http://127.0.0.1:8765/", false, TargetFrame::Main}, 8766).kind,
              Kind::OpenExternally);
}

TEST(NavigationPolicy, NewWindowsNeverOpenAView)
{
    EXPECT_EQ(action("http://127.0.0.1:8765/room/", TargetFrame::None),
              (NavigationDecision{Kind::LoadInView, "http://127.0.0.1:8765/room/"}));
    EXPECT_EQ(action("https://example.com/", TargetFrame::None),
              (NavigationDecision{Kind::OpenExternally, "https://example.com/"}));
    EXPECT_EQ(action("http://127.0.0.1:8766/", TargetFrame::None).kind, Kind::OpenExternally);
    EXPECT_EQ(action("about:blank", TargetFrame::None).kind, Kind::OpenExternally);
    EXPECT_EQ(action("http://127.0.0.1:8765/", TargetFrame::None, false, std::nullopt).kind,
              Kind::OpenExternally);
}

TEST(NavigationPolicy, ResponsesKeepForeignMainFramesOutAndDownloadWhatCannotBeShown)
{
    const std::string studio = "http://127.0.0.1:8765/export/take.zip";
    const std::string foreign = "https://example.com/page";
    EXPECT_EQ(decideResponse(studio, true, true, kPort).kind, Kind::Allow);
    // Not showable: downloaded, even from a studio page, in either frame.
    EXPECT_EQ(decideResponse(studio, true, false, kPort).kind, Kind::Download);
    EXPECT_EQ(decideResponse(foreign, false, false, kPort).kind, Kind::Download);
    // Foreign in a subframe stays; in the main frame it goes out, before the type matters.
    EXPECT_EQ(decideResponse(foreign, false, true, kPort).kind, Kind::Allow);
    EXPECT_EQ(decideResponse(foreign, true, false, kPort),
              (NavigationDecision{Kind::OpenExternally, foreign}));
    EXPECT_EQ(decideResponse("data:text/html,x", true, true, kPort).kind, Kind::Allow);
}

TEST(NavigationPolicy, MediaCaptureOnlyForTheStudioOrigin)
{
    EXPECT_TRUE(allowsMediaCapture("http://127.0.0.1:8765/room/", kPort));
    EXPECT_TRUE(allowsMediaCapture("http://localhost:8765/", kPort));
    EXPECT_FALSE(allowsMediaCapture("http://127.0.0.1:8766/room/", kPort));
    EXPECT_FALSE(allowsMediaCapture("https://example.com:8765/", kPort));
    EXPECT_FALSE(allowsMediaCapture("http://127.0.0.1:8765/", std::nullopt));
}

} // namespace
} // namespace quillbay
