#include "web/LoadFailure.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using Kind = FailureOutcome::Kind;

constexpr long long kPort = 8765;
const std::string kStudio = "http://127.0.0.1:8765/";

TEST(LoadFailure, CancelledAndPolicyStoppedLoadsAreNotErrors)
{
    EXPECT_EQ(decideLoadFailure({kNetworkErrorDomain, kNetworkErrorCancelled, "Load request cancelled"},
                                kStudio, kPort).kind,
              Kind::Ignore);
    EXPECT_EQ(decideLoadFailure({kPolicyErrorDomain, kPolicyErrorInterrupted, "Frame load interrupted"},
                                "https://example.com/", kPort).kind,
              Kind::Ignore);
    // Same numbers in other domains are real failures.
    EXPECT_EQ(decideLoadFailure({kPolicyErrorDomain, kNetworkErrorCancelled, "x"}, kStudio, kPort).kind,
              Kind::Report);
    EXPECT_EQ(decideLoadFailure({kNetworkErrorDomain, kPolicyErrorInterrupted, "x"}, kStudio, kPort).kind,
              Kind::Report);
}

TEST(LoadFailure, OtherFailuresOfStudioPagesReportTheEnginesWords)
{
    const EngineError refused{"g-io-error-quark", 39, "Could not connect to 127.0.0.1: Connection refused"};
    EXPECT_EQ(decideLoadFailure(refused, kStudio, kPort), (FailureOutcome{Kind::Report, refused.message}));
    EXPECT_EQ(decideLoadFailure(refused, "", kPort).kind, Kind::Report);
    // A foreign page that failed would have gone to the browser anyway.
    EXPECT_EQ(decideLoadFailure(refused, "http://127.0.0.1:8766/", kPort),
              (FailureOutcome{Kind::OpenExternally, "http://127.0.0.1:8766/"}));
}

TEST(LoadFailure, DownloadFailuresAreReportedUnlessCancelledOnPurpose)
{
    EXPECT_EQ(downloadFailureText({kDownloadErrorDomain, 499, "Connection terminated unexpectedly"}),
              "Download failed: Connection terminated unexpectedly");
    EXPECT_EQ(downloadFailureText({kDownloadErrorDomain, kDownloadErrorCancelledByUser, "cancelled"}),
              std::nullopt);
    EXPECT_EQ(downloadFailureText({kNetworkErrorDomain, kDownloadErrorCancelledByUser, "odd"}),
              "Download failed: odd");
}

} // namespace
} // namespace quillbay
