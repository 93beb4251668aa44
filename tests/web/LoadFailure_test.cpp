#include "web/LoadFailure.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using Kind = FailureOutcome::Kind;

TEST(LoadFailure, CancelledAndPolicyStoppedLoadsAreIgnoredAndTheRestReported)
{
    const std::string studio = "http://127.0.0.1:8765/";
    const std::string refused = "Could not connect to 127.0.0.1: Connection refused";
    const struct { EngineError error; std::string url; FailureOutcome expected; } cases[] = {
        {{kNetworkErrorDomain, kNetworkErrorCancelled, "cancelled"}, studio, {Kind::Ignore, ""}},
        {{kPolicyErrorDomain, kPolicyErrorInterrupted, "x"}, "https://example.com/", {Kind::Ignore, ""}},
        // The same numbers in the other domain are real failures.
        {{kPolicyErrorDomain, kNetworkErrorCancelled, "x"}, studio, {Kind::Report, "x"}},
        {{kNetworkErrorDomain, kPolicyErrorInterrupted, "x"}, studio, {Kind::Report, "x"}},
        {{"g-io-error-quark", 39, refused}, studio, {Kind::Report, refused}},
        {{"g-io-error-quark", 39, refused}, "", {Kind::Report, refused}},
        // A foreign page that failed would have gone to the browser anyway, and
        // one that the studio's content rules stopped goes there now.
        {{kPolicyErrorDomain, kPolicyErrorBlockedByContentRules, "blocked"}, "http://127.0.0.1:9999/x",
         {Kind::OpenExternally, "http://127.0.0.1:9999/x"}},
        {{"g-io-error-quark", 39, refused}, "http://127.0.0.1:8766/",
         {Kind::OpenExternally, "http://127.0.0.1:8766/"}},
        // The rules stop a top-frame "localhost" too: it goes to the studio's own address.
        {{kPolicyErrorDomain, kPolicyErrorBlockedByContentRules, "blocked"}, "http://localhost:8765/room/",
         {Kind::LoadInView, "http://127.0.0.1:8765/room/"}},
        // Other schemes were settled when the page asked for them.
        {{"g-io-error-quark", 1, "unsupported"}, "mailto:a@example.com", {Kind::Ignore, ""}},
        {{"g-io-error-quark", 1, "unsupported"}, "file:///home/", {Kind::Ignore, ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decideLoadFailure(c.error, c.url, 8765), c.expected) << c.error.domain << c.error.code;
    }

    EXPECT_EQ(downloadFailureText({kDownloadErrorDomain, 499, "Connection terminated"}),
              "Download failed: Connection terminated");
    EXPECT_EQ(downloadFailureText({kDownloadErrorDomain, kDownloadErrorCancelledByUser, "x"}), std::nullopt);
    EXPECT_EQ(downloadFailureText({kNetworkErrorDomain, kDownloadErrorCancelledByUser, "odd"}),
              "Download failed: odd");

    // Complete, unknown or encoded lengths are no failure; a short plain body is.
    EXPECT_EQ(shortDownloadText(2000, 2000, ""), std::nullopt);
    EXPECT_EQ(shortDownloadText(0, 2000, ""), std::nullopt);
    EXPECT_EQ(shortDownloadText(10000000, 2000, "gzip"), std::nullopt);
    EXPECT_EQ(shortDownloadText(10000000, 2000, "identity"),
              "Download failed: The connection closed after 2000 of 10000000 bytes.");
    EXPECT_EQ(shortDownloadText(10000000, 0, ""),
              "Download failed: The connection closed after 0 of 10000000 bytes.");
}

} // namespace
} // namespace quillbay
