#include "web/NavigationPolicy.hpp"
#include "web/WebViewModel.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using Kind = NavigationDecision::Kind;
using Frame = TargetFrame;

constexpr long long kPort = 8765;
const std::optional<long long> kNoPort;

TEST(NavigationPolicy, LoopbackNeedsTheHostAndTheExplicitAllowedPort)
{
    const struct { const char* url; std::optional<long long> port; bool loopback; } cases[] = {
        {"http://127.0.0.1:8765/", kPort, true},
        {"HTTP://127.0.0.1:8765/", kPort, true},
        // The studio is plain http: other schemes on its host and port are not it.
        {"https://127.0.0.1:8765/", kPort, false},
        {"file://127.0.0.1:8765/etc/passwd", kPort, false},
        {"ftp://127.0.0.1:8765/", kPort, false},
        {"ws://127.0.0.1:8765/", kPort, false},
        {"http://127.0.0.1:8766/", kPort, false},
        {"http://127.0.0.1/", kPort, false},       // no explicit port
        {"http://[::1]:8765/", kPort, false},
        {"http://127.0.0.2:8765/", kPort, false},
        {"http://127.0.0.1.example.com:8765/", kPort, false},
        {"127.0.0.1:8765/", kPort, false},         // not an absolute address
        {"", kPort, false},
        {"http://127.0.0.1:8765/", kNoPort, false},  // no server yet
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isLoopbackURL(c.url, c.port), c.loopback) << c.url;
        EXPECT_EQ(allowsMediaCapture(c.url, c.port), c.loopback) << c.url;
    }
    // "localhost" may be another user's listener on ::1: it only ever stands
    // for the studio's own address, and the microphone is never its.
    EXPECT_TRUE(isLoopbackURL("http://localhost:8765/room/", kPort));
    EXPECT_FALSE(allowsMediaCapture("http://localhost:8765/room/", kPort));
    EXPECT_EQ(studioAddressFor("http://localhost:8765/room/?a=1#b", kPort), "http://127.0.0.1:8765/room/?a=1#b");
    EXPECT_EQ(studioAddressFor("http://localhost:8766/", kPort), std::nullopt);
    EXPECT_EQ(studioAddressFor("http://127.0.0.1:8765/", kPort), std::nullopt);
    // The model's own predicate: a loopback host with any explicit port.
    EXPECT_TRUE(WebViewModel::isLoopback("http://localhost:8770/"));
    EXPECT_FALSE(WebViewModel::isLoopback("http://localhost/"));
    EXPECT_FALSE(WebViewModel::isLoopback("http://[::1]:8765/"));
}

TEST(NavigationPolicy, RulesApplyInOrder)
{
    const std::string studio = "http://127.0.0.1:8765/room/";
    const std::string foreign = "https://example.com/docs";
    const struct {
        std::optional<std::string> url;
        Frame target;
        bool download;
        std::optional<long long> port;
        NavigationDecision expected;
        bool gesture = false;
    } cases[] = {
        // No address: nothing happens, whatever else the request says.
        {std::nullopt, Frame::Main, true, kPort, {Kind::Ignore, ""}},
        {"", Frame::None, false, kPort, {Kind::Ignore, ""}},
        // A download request wins over every address rule, also for a new window.
        {foreign, Frame::Main, true, kPort, {Kind::Download, ""}},
        {foreign, Frame::None, true, kPort, {Kind::Download, ""}},
        // New windows never open a view: the studio replaces the page, the rest goes out.
        {studio, Frame::None, false, kPort, {Kind::LoadInView, studio}},
        {foreign, Frame::None, false, kPort, {Kind::OpenExternally, foreign}},
        {"about:blank", Frame::None, false, kPort, {Kind::Ignore, ""}, true},
        {"http://localhost:8765/x", Frame::None, false, kPort, {Kind::LoadInView, "http://127.0.0.1:8765/x"}},
        {studio, Frame::None, false, kNoPort, {Kind::OpenExternally, studio}},
        // In-page schemes (any case) and the studio stay in the view, in any frame.
        {"DATA:text/html,x", Frame::Main, false, kPort, {Kind::Allow, ""}},
        {"Blob:http://127.0.0.1:8765/1", Frame::Main, false, kPort, {Kind::Allow, ""}},
        {studio, Frame::Main, false, kPort, {Kind::Allow, ""}},
        {"http://localhost:8765/x", Frame::Main, false, kPort, {Kind::LoadInView, "http://127.0.0.1:8765/x"}},
        {"http://localhost:8765/x", Frame::Unknown, false, kPort, {Kind::Allow, ""}},  // the rules stop it
        // Only web addresses leave for the browser on their own; other schemes
        // need a click and the user's yes, and local files never leave.
        {"https://example.com/", Frame::Main, false, kPort, {Kind::OpenExternally, "https://example.com/"}},
        {"mailto:a@example.com", Frame::Unknown, false, kPort, {Kind::Ignore, ""}},
        {"mailto:a@example.com", Frame::Unknown, false, kPort, {Kind::AskToOpen, "mailto:a@example.com"}, true},
        {"ftp://127.0.0.1:8765/", Frame::None, false, kPort, {Kind::AskToOpen, "ftp://127.0.0.1:8765/"}, true},
        {"file:///etc/passwd", Frame::Main, false, kPort, {Kind::Ignore, ""}, true},
        {"FILE:///home/", Frame::None, false, kPort, {Kind::Ignore, ""}, true},
        // Foreign content: in place in a subframe, out in the main frame; an
        // unknown frame starts and the response decides.
        {foreign, Frame::Sub, false, kPort, {Kind::Allow, ""}},
        {foreign, Frame::Main, false, kPort, {Kind::OpenExternally, foreign}},
        {foreign, Frame::Unknown, false, kPort, {Kind::Allow, ""}},
        // The server fell back to 8766: the old port is foreign now.
        {studio, Frame::Main, false, 8766, {Kind::OpenExternally, studio}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decideNavigation({c.url, c.download, c.target, c.gesture}, c.port), c.expected)
            << c.url.value_or("(none)") << " target " << int(c.target);
    }
}

TEST(NavigationPolicy, RedirectsNameTheirFrameThroughTheirFetchDestination)
{
    const struct { const char* destination; Frame frame; } cases[] = {
        {"document", Frame::Main}, {"iframe", Frame::Sub}, {"frame", Frame::Sub},
        {"", Frame::Unknown}, {"image", Frame::Unknown}, {"Document", Frame::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(redirectTarget(c.destination), c.frame) << c.destination;
    }
}

TEST(NavigationPolicy, ResponsesKeepForeignMainFramesOutAndDownloadWhatCannotBeShown)
{
    const std::string studio = "http://127.0.0.1:8765/export/take.zip";
    const std::string foreign = "https://example.com/page";
    const struct { std::string url; bool mainFrame, showable; NavigationDecision expected; } cases[] = {
        {studio, true, true, {Kind::Allow, ""}},
        {studio, true, false, {Kind::Download, ""}},
        {foreign, false, false, {Kind::Download, ""}},
        {foreign, false, true, {Kind::Allow, ""}},
        {foreign, true, false, {Kind::OpenExternally, foreign}},  // before the type matters
        {"data:text/html,x", true, true, {Kind::Allow, ""}},
        {"http://localhost:8765/", true, true, {Kind::OpenExternally, "http://localhost:8765/"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decideResponse(c.url, c.mainFrame, c.showable, kPort), c.expected) << c.url;
    }
}

} // namespace
} // namespace quillbay
