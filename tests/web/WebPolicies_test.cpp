// The view's decisions as plain functions: navigation, load failures, downloads, the proxy,
// page dialogs, the shown address and the current match of a search.

#include "web/DialogGate.hpp"
#include "web/FindPosition.hpp"
#include "web/LoadFailure.hpp"
#include "web/NavigationPolicy.hpp"
#include "web/ProxyChoice.hpp"
#include "web/ShownAddress.hpp"

#include <gtest/gtest.h>

#include <map>

namespace quillbay {
namespace {

using Kind = NavigationDecision::Kind;
using Frame = TargetFrame;
using Outcome = FailureOutcome::Kind;

constexpr long long kPort = 8765;
const std::optional<long long> kNoPort;

TEST(NavigationPolicy, LoopbackNeedsTheHostAndTheExplicitAllowedPort)
{
    const struct { const char* url; std::optional<long long> port; bool loopback; } cases[] = {
        {"http://127.0.0.1:8765/", kPort, true}, {"HTTP://127.0.0.1:8765/", kPort, true},
        // The studio is plain http: other schemes on its host and port are not it.
        {"https://127.0.0.1:8765/", kPort, false}, {"file://127.0.0.1:8765/etc/passwd", kPort, false},
        {"http://127.0.0.1:8766/", kPort, false}, {"http://127.0.0.1/", kPort, false},
        {"http://[::1]:8765/", kPort, false}, {"http://127.0.0.2:8765/", kPort, false},
        {"http://127.0.0.1.example.com:8765/", kPort, false}, {"127.0.0.1:8765/", kPort, false},
        {"", kPort, false}, {"http://127.0.0.1:8765/", kNoPort, false},  // no server yet
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
}

TEST(NavigationPolicy, RequestsAndResponsesFollowTheRulesInOrder)
{
    const std::string studio = "http://127.0.0.1:8765/room/", foreign = "https://example.com/docs";
    const std::string mail = "mailto:a@example.com", localStudio = "http://localhost:8765/x";
    const NavigationDecision ignore{Kind::Ignore, ""}, allow{Kind::Allow, ""}, download{Kind::Download, ""};
    const NavigationDecision toStudio{Kind::LoadInView, "http://127.0.0.1:8765/x"};
    const struct {
        std::optional<std::string> url; Frame target; NavigationDecision expected;
        bool gesture = false, isDownload = false; std::optional<long long> port = kPort;
    } cases[] = {
        // No address: nothing happens, whatever else the request says.
        {std::nullopt, Frame::Main, ignore, false, true}, {"", Frame::None, ignore},
        // A download request wins over every address rule, also for a new window.
        {foreign, Frame::Main, download, false, true}, {foreign, Frame::None, download, false, true},
        // New windows never open a view: the studio replaces the page, the rest goes out.
        {studio, Frame::None, {Kind::LoadInView, studio}}, {foreign, Frame::None, {Kind::OpenExternally, foreign}},
        {"about:blank", Frame::None, ignore, true}, {localStudio, Frame::None, toStudio},
        {studio, Frame::None, {Kind::OpenExternally, studio}, false, false, kNoPort},
        // In-page schemes (any case) and the studio stay in the view, in any frame.
        {"DATA:text/html,x", Frame::Main, allow}, {"Blob:http://127.0.0.1:8765/1", Frame::Main, allow},
        {studio, Frame::Main, allow}, {localStudio, Frame::Main, toStudio},
        {localStudio, Frame::Unknown, allow},  // the rules stop it
        // Only web addresses leave for the browser on their own; other schemes
        // need a click and the user's yes, and local files never leave.
        {mail, Frame::Unknown, ignore}, {mail, Frame::Unknown, {Kind::AskToOpen, mail}, true},
        {"ftp://127.0.0.1:8765/", Frame::None, {Kind::AskToOpen, "ftp://127.0.0.1:8765/"}, true},
        {"file:///etc/passwd", Frame::Main, ignore, true}, {"FILE:///home/", Frame::None, ignore, true},
        // Foreign content: in place in a subframe, out in the main frame; an
        // unknown frame starts and the response decides.
        {foreign, Frame::Sub, allow}, {foreign, Frame::Main, {Kind::OpenExternally, foreign}},
        {foreign, Frame::Unknown, allow},
        // The server fell back to 8766: the old port is foreign now.
        {studio, Frame::Main, {Kind::OpenExternally, studio}, false, false, 8766},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decideNavigation({c.url, c.isDownload, c.target, c.gesture}, c.port), c.expected)
            << c.url.value_or("(none)") << " target " << int(c.target);

    // Redirects name their frame through their fetch destination.
    const std::pair<const char*, Frame> destinations[] = {
        {"document", Frame::Main}, {"iframe", Frame::Sub}, {"frame", Frame::Sub},
        {"", Frame::Unknown}, {"image", Frame::Unknown}, {"Document", Frame::Unknown},
    };
    for (const auto& [destination, frame] : destinations)
        EXPECT_EQ(redirectTarget(destination), frame) << destination;

    // Responses keep foreign main frames out and download what cannot be shown.
    const struct { std::string url; bool mainFrame, showable; NavigationDecision expected; } responses[] = {
        {studio, true, true, allow}, {studio, true, false, download},
        {foreign, false, false, download}, {foreign, false, true, allow},
        {foreign, true, false, {Kind::OpenExternally, foreign}},  // before the type matters
        {"data:text/html,x", true, true, allow},
        {"http://localhost:8765/", true, true, {Kind::OpenExternally, "http://localhost:8765/"}},
    };
    for (const auto& c : responses)
        EXPECT_EQ(decideResponse(c.url, c.mainFrame, c.showable, kPort), c.expected) << c.url;
}

TEST(LoadFailure, CancelledAndPolicyStoppedLoadsAreIgnoredAndTheRestReported)
{
    const std::string studio = "http://127.0.0.1:8765/", refused = "Could not connect: Connection refused";
    const EngineError refusal{"g-io-error-quark", 39, refused}, unsupported{"g-io-error-quark", 1, "unsupported"};
    const EngineError blocked{kPolicyErrorDomain, kPolicyErrorBlockedByContentRules, "blocked"};
    const FailureOutcome ignored{Outcome::Ignore, ""}, reported{Outcome::Report, "x"};
    const struct { EngineError error; std::string url; FailureOutcome expected; } cases[] = {
        {{kNetworkErrorDomain, kNetworkErrorCancelled, "x"}, studio, ignored},
        {{kPolicyErrorDomain, kPolicyErrorInterrupted, "x"}, "https://example.com/", ignored},
        // The same numbers in the other domain are real failures.
        {{kPolicyErrorDomain, kNetworkErrorCancelled, "x"}, studio, reported},
        {{kNetworkErrorDomain, kPolicyErrorInterrupted, "x"}, studio, reported},
        {refusal, studio, {Outcome::Report, refused}}, {refusal, "", {Outcome::Report, refused}},
        // A foreign page that failed would have gone to the browser anyway, and
        // one that the studio's content rules stopped goes there now.
        {blocked, "http://127.0.0.1:9999/x", {Outcome::OpenExternally, "http://127.0.0.1:9999/x"}},
        {refusal, "http://127.0.0.1:8766/", {Outcome::OpenExternally, "http://127.0.0.1:8766/"}},
        // The rules stop a top-frame "localhost" too: it goes to the studio's own address.
        {blocked, "http://localhost:8765/room/", {Outcome::LoadInView, "http://127.0.0.1:8765/room/"}},
        // Other schemes were settled when the page asked for them.
        {unsupported, "mailto:a@example.com", ignored}, {unsupported, "file:///home/", ignored},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decideLoadFailure(c.error, c.url, kPort), c.expected) << c.error.domain << c.error.code;

    EXPECT_EQ(downloadFailureText({kDownloadErrorDomain, 499, "Connection lost"}), "Download failed: Connection lost");
    EXPECT_EQ(downloadFailureText({kDownloadErrorDomain, kDownloadErrorCancelledByUser, "x"}), std::nullopt);
    EXPECT_EQ(downloadFailureText({kNetworkErrorDomain, kDownloadErrorCancelledByUser, "odd"}), "Download failed: odd");

    // Only a body framed by a length that was met, and not decoded on the way, is complete
    // (the view's test sends the other kinds of ends over the wire).
    EXPECT_EQ(incompleteDownloadText({0, 0, ""}), std::nullopt);
    EXPECT_EQ(incompleteDownloadText({10000, 10000, "identity"}), std::nullopt);
    EXPECT_EQ(incompleteDownloadText({916, 10000, "identity, GZIP"}).value_or("").rfind(
                  "Download failed: The server sent the file compressed,", 0), 0u);
}

TEST(ProxyChoice, TheEnvironmentsProxyServesEverythingButTheLoopbackHosts)
{
    using Env = std::map<std::string, std::string>;
    using Mode = ProxyChoice::Mode;
    const std::vector<std::string> loopback{"localhost", "127.0.0.0/8", "::1"};
    const std::string dead = "http://127.0.0.1:9/";
    const ProxyChoice system{Mode::System, "", {}, {}};
    const struct { Env env; ProxyChoice expected; } cases[] = {
        // Nothing in the environment: the desktop's own settings.
        {{}, system}, {{{"http_proxy", ""}, {"no_proxy", "example.com"}}, system},
        // The case that sent the studio to a dead proxy: no no_proxy at all.
        {{{"http_proxy", dead}}, {Mode::Custom, "", {{"http", dead}}, loopback}},
        {{{"HTTP_PROXY", dead}, {"HTTPS_PROXY", "http://p:3128"}},
         {Mode::Custom, "", {{"http", dead}, {"https", "http://p:3128"}}, loopback}},
        // The lower-case name wins; the user's own exemptions are kept.
        {{{"http_proxy", dead}, {"HTTP_PROXY", "http://other:1"}, {"no_proxy", " .corp, 10.0.0.0/8 ,,"}},
         {Mode::Custom, "", {{"http", dead}}, {"localhost", "127.0.0.0/8", "::1", ".corp", "10.0.0.0/8"}}},
        // An empty lower-case name does not hide the capitals.
        {{{"http_proxy", ""}, {"HTTP_PROXY", dead}}, {Mode::Custom, "", {{"http", dead}}, loopback}},
        {{{"all_proxy", "socks5://p:1080"}}, {Mode::Custom, "socks5://p:1080", {}, loopback}},
        {{{"http_proxy", dead}, {"NO_PROXY", "*"}}, {Mode::None, "", {}, {}}},
    };
    for (const auto& c : cases) {
        const ProxyChoice choice = proxyChoiceFor([&](const char* name) {
            return c.env.count(name) ? std::optional(c.env.at(name)) : std::nullopt;
        });
        EXPECT_EQ(choice, c.expected) << "mode " << int(choice.mode) << " default " << choice.defaultProxy
                                      << " hosts " << choice.ignoreHosts.size();
    }
}

TEST(ShownAddress, KeepsTheSchemeTheHostAndBothEndsOfTheRest)
{
    const auto run = [](char c, std::size_t n) { return std::string(n, c); };
    std::string accents;
    for (int i = 0; i < 100; ++i)
        accents += "\u00e9";
    const struct { std::string address, shown; } cases[] = {
        {"mailto:take@example.com", "mailto:take@example.com"},
        {run('a', 40), run('a', 40)},
        {"mailto:" + run('a', 100) + "@b", "mailto:" + run('a', 16) + "\u2026" + run('a', 14) + "@b"},
        {"ssh://host.example:22/" + run('p', 100) + "/end", "ssh://host.example:22/" + run('p', 8) + "\u2026" + run('p', 5) + "/end"},
        // A host that leaves too little room, and no scheme at all: cut in the middle.
        {"x-app://" + run('h', 100), "x-app://" + run('h', 12) + "\u2026" + run('h', 19)},
        {run('z', 41), run('z', 20) + "\u2026" + run('z', 19)},
        // Characters, not bytes; bytes that are not UTF-8 are replaced.
        {"magnet:?dn=" + accents, "magnet:?dn=" + accents.substr(0, 24) + "\u2026" + accents.substr(0, 32)},
        {"news:\xff", "news:\ufffd"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shownAddress(c.address, 40), c.shown) << c.address.substr(0, 20);
}

// The window's test presses for real; here the press that is too old.
TEST(DialogGate, APressInThePageAllowsOnePrintDialogForAFewSeconds)
{
    using Verdict = web::DialogGate::Verdict;
    const auto t = web::DialogGate::Clock::time_point{} + std::chrono::hours(1);
    web::DialogGate gate;
    gate.pressed(t);
    EXPECT_EQ(gate.askToPrint(t + web::DialogGate::kPress + std::chrono::seconds(1)), Verdict::Dismiss);
    EXPECT_EQ(gate.askToPrint(t + web::DialogGate::kPress), Verdict::Show);
    EXPECT_EQ(gate.askToPrint(t + web::DialogGate::kPress), Verdict::Dismiss);
}

TEST(FindPosition, OnlyASelectionOfTheTextCountedAsTheEngineDoesIsTheCurrentMatch)
{
    const struct { std::optional<FindReport> report; std::optional<unsigned> current; } cases[] = {
        {FindReport{"Apple", 1, 3}, 2u},
        {FindReport{"APPLE", 0, 3}, 1u},
        {std::nullopt, std::nullopt},
        {FindReport{"apples", 1, 3}, std::nullopt},  // the user's own selection of other text
        {FindReport{"apple", 1, 2}, std::nullopt},   // text the page counts otherwise (frames, hidden text)
        {FindReport{"apple", 3, 3}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(currentMatch(c.report, "apple", 3), c.current) << (c.report ? c.report->text : "none");
}

} // namespace
} // namespace quillbay
