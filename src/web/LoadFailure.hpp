#pragma once

// How failures reported by the web engine become user-visible text.

#include <optional>
#include <string>

namespace quillbay {

// The parts of a GError from WebKit that matter here.
struct EngineError {
    std::string domain;   // the error quark's name, e.g. "WebKitNetworkError"
    int code = 0;
    std::string message;  // the engine's own wording
};

// Domains and codes as WebKitGTK names them.
inline constexpr const char* kNetworkErrorDomain = "WebKitNetworkError";
inline constexpr int kNetworkErrorCancelled = 302;
inline constexpr const char* kPolicyErrorDomain = "WebKitPolicyError";
inline constexpr int kPolicyErrorInterrupted = 102;  // frame load interrupted by policy change
inline constexpr int kPolicyErrorBlockedByContentRules = 104;  // a foreign top-frame document
inline constexpr const char* kDownloadErrorDomain = "WebKitDownloadError";
inline constexpr int kDownloadErrorCancelledByUser = 400;

struct FailureOutcome {
    enum class Kind {
        Ignore,          // nothing to report
        Report,          // `text` becomes the load error
        OpenExternally,  // a foreign web page: hand `text` (its address) to the browser
        LoadInView,      // a "localhost" studio address: load `text`, its 127.0.0.1 form
    };
    Kind kind = Kind::Ignore;
    std::string text;

    bool operator==(const FailureOutcome&) const = default;
};

// A failed page load of the main frame. A cancelled load and a load stopped by
// the navigation policy are ignored; a foreign web address that failed goes to
// the browser, as it would have had it answered.
FailureOutcome decideLoadFailure(const EngineError& error, const std::string& failingURL,
                                 std::optional<long long> allowedPort);

// A failed download: "Download failed: " plus the engine's message. A download
// cancelled on purpose (its save dialog was cancelled) reports nothing.
std::optional<std::string> downloadFailureText(const EngineError& error);

// What a download that ended without an engine error knows of its own end.
struct DownloadEnd {
    std::optional<unsigned long long> declaredLength;  // the Content-Length, when it framed the body
    unsigned long long receivedLength = 0;             // bytes the engine wrote
    std::string contentEncoding;                       // as the response named it
};

// None when the download is known to be complete: its body was framed by a
// length that was met, and not decoded on the way (a decoded body's length
// cannot be compared with the declared one). Otherwise the failure text:
// the engine takes a connection that closes early for the end of a chunked,
// compressed or unframed body, so such a download cannot count as saved.
std::optional<std::string> incompleteDownloadText(const DownloadEnd& end);

// What the view says when the engine's web process ended under the page.
std::string webProcessEndedText(bool exceededMemoryLimit);

// What the view says when the rules that keep it on the studio are missing,
// given the engine's reason.
std::string rulesUnavailableText(const std::string& reason);

// What the view says when a load has not committed in time.
std::string loadTimeoutText(long long seconds);

} // namespace quillbay
