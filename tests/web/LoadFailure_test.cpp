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

    // Only a body framed by a length that was met, and not decoded on the way, is complete.
    const std::string unchecked = "Download failed: The server did not say how long the file is,";
    const std::string compressed = "Download failed: The server sent the file compressed,";
    const struct { DownloadEnd end; std::optional<std::string> text; } ends[] = {
        {{2000, 2000, ""}, std::nullopt},
        {{0, 0, ""}, std::nullopt},
        {{10000, 10000, "x-quillbay"}, std::nullopt},
        {{10000, 3333, "x-quillbay"}, "Download failed: The connection closed after 3333 of 10000 bytes."},
        {{10000000, 2000, "identity"}, "Download failed: The connection closed after 2000 of 10000000 bytes."},
        {{std::nullopt, 3333, ""}, unchecked},
        {{916, 2932, "gzip"}, compressed},
        {{916, 10000, "identity, GZIP"}, compressed},
    };
    for (const auto& c : ends) {
        const auto text = incompleteDownloadText(c.end);
        EXPECT_EQ(text.has_value(), c.text.has_value()) << c.end.contentEncoding;
        EXPECT_EQ(text.value_or("").substr(0, c.text.value_or("").size()), c.text.value_or(""));
    }
}

} // namespace
} // namespace quillbay
