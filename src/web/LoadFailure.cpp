#include "web/LoadFailure.hpp"

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

std::optional<std::string> shortDownloadText(unsigned long long declaredLength,
                                             unsigned long long receivedLength,
                                             const std::string& contentEncoding)
{
    const bool encoded = !contentEncoding.empty() && g_ascii_strcasecmp(contentEncoding.c_str(), "identity") != 0;
    if (declaredLength == 0 || encoded || receivedLength >= declaredLength) {
        return std::nullopt;
    }
    gchar* text = g_strdup_printf(_("The connection closed after %llu of %llu bytes."),
                                  receivedLength, declaredLength);
    std::string message = text;
    g_free(text);
    return downloadFailureText({kDownloadErrorDomain, 0, message});
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
    return _("Pages are not shown: the rules that keep the view on the studio could not be set up (")
           + reason + ").";
}

std::string loadTimeoutText(long long seconds)
{
    gchar* text = g_strdup_printf(_("The page did not load within %lld seconds."), seconds);
    std::string result = text;
    g_free(text);
    return result;
}

} // namespace quillbay
