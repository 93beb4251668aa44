#include "web/LoadFailure.hpp"

#include "support/Format.hpp"
#include "web/NavigationPolicy.hpp"

#include <glib.h>
#include <glib/gi18n.h>

namespace quillbay {

FailureOutcome decideLoadFailure(const EngineError& error, const std::string& failingURL,
                                 std::optional<long long> allowedPort)
{
    using Kind = FailureOutcome::Kind;
    if (error.domain == kNetworkErrorDomain && error.code == kNetworkErrorCancelled) {
        return {Kind::Ignore, {}};
    }
    if (error.domain == kPolicyErrorDomain && error.code == kPolicyErrorInterrupted) {
        return {Kind::Ignore, {}};
    }
    if (failingURL.empty() || hasInPageScheme(failingURL) || isStudioURL(failingURL, allowedPort)) {
        return {Kind::Report, error.message};
    }
    // A foreign page would have left the view had it answered; the content rules
    // stop it before that.
    if (const auto studio = studioAddressFor(failingURL, allowedPort)) {
        return {Kind::LoadInView, *studio};
    }
    const NavigationDecision handedOff = handOff(failingURL, false);
    if (handedOff.kind == NavigationDecision::Kind::OpenExternally) {
        return {Kind::OpenExternally, failingURL};
    }
    return {Kind::Ignore, {}};
}

std::optional<std::string> downloadFailureText(const EngineError& error)
{
    if (error.domain == kDownloadErrorDomain && error.code == kDownloadErrorCancelledByUser) {
        return std::nullopt;
    }
    return _("Download failed: ") + error.message;
}

namespace {

// The encodings the network library decodes before the engine counts the bytes.
bool isDecoded(const std::string& contentEncoding)
{
    static const char* const decoded[] = {"gzip", "x-gzip", "deflate", "br", "zstd"};
    gchar** codings = g_strsplit(contentEncoding.c_str(), ",", -1);
    bool found = false;
    for (gchar** coding = codings; *coding && !found; ++coding) {
        g_strstrip(*coding);
        for (const char* name : decoded) {
            found = found || g_ascii_strcasecmp(*coding, name) == 0;
        }
    }
    g_strfreev(codings);
    return found;
}

} // namespace

std::optional<std::string> incompleteDownloadText(const DownloadEnd& end)
{
    std::string reason;
    if (isDecoded(end.contentEncoding)) {
        reason = _("The server sent the file compressed, so whether all of it arrived cannot be checked.");
    } else if (!end.declaredLength) {
        reason = _("The server did not say how long the file is, so whether all of it arrived cannot be checked.");
    } else if (end.receivedLength != *end.declaredLength) {
        reason = format(_("The connection closed after %llu of %llu bytes."), end.receivedLength,
                        *end.declaredLength);
    } else {
        return std::nullopt;
    }
    return downloadFailureText({kDownloadErrorDomain, 0, reason});
}

std::string webProcessEndedText(bool exceededMemoryLimit)
{
    if (exceededMemoryLimit) {
        return _("The page was closed because it used too much memory.");
    }
    return _("The page stopped because the web content process ended unexpectedly.");
}

std::string rulesUnavailableText(const std::string& reason)
{
    return format(_("Pages are not shown: the rules that keep the view on the studio could not be set up (%s)."),
                  reason.c_str());
}

std::string loadTimeoutText(long long seconds)
{
    return format(_("The page did not load within %lld seconds."), seconds);
}

} // namespace quillbay
