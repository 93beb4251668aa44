#include "web/NavigationPolicy.hpp"

#include <glib.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace quillbay {
namespace {

using Kind = NavigationDecision::Kind;

struct UriDeleter {
    void operator()(GUri* uri) const { g_uri_unref(uri); }
};
using UriPtr = std::unique_ptr<GUri, UriDeleter>;

UriPtr parse(const std::string& url)
{
    return UriPtr(g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr));
}

NavigationDecision decision(Kind kind, std::string url = {})
{
    return NavigationDecision{kind, std::move(url)};
}

// The studio's own pages and in-page content stay in the view.
bool belongsInView(const std::string& url, std::optional<long long> allowedPort)
{
    return hasInPageScheme(url) || isStudioURL(url, allowedPort);
}

// The parsed address when it is http on a loopback host name and `allowedPort`.
UriPtr loopbackURI(const std::string& url, std::optional<long long> allowedPort)
{
    // The studio serves plain http; file:, ftp: or https: on its port are not its pages.
    UriPtr uri = parse(url);
    if (!uri || !allowedPort || g_ascii_strcasecmp(g_uri_get_scheme(uri.get()), "http") != 0) {
        return nullptr;
    }
    const char* host = g_uri_get_host(uri.get());
    const std::string hostText = host ? host : "";
    const int port = g_uri_get_port(uri.get());  // -1 when not written
    if ((hostText != "127.0.0.1" && hostText != "localhost") || port < 0 || port != *allowedPort) {
        return nullptr;
    }
    return uri;
}

std::string lowerScheme(const std::string& url)
{
    const char* scheme = g_uri_peek_scheme(url.c_str());  // lower-cased and interned, or null
    return scheme ? scheme : "";
}

} // namespace

bool isLoopbackURL(const std::string& url, std::optional<long long> allowedPort)
{
    return loopbackURI(url, allowedPort) != nullptr;
}

bool isStudioURL(const std::string& url, std::optional<long long> allowedPort)
{
    const UriPtr uri = loopbackURI(url, allowedPort);
    return uri && std::string(g_uri_get_host(uri.get())) == "127.0.0.1";
}

std::optional<std::string> studioAddressFor(const std::string& url,
                                            std::optional<long long> allowedPort)
{
    const UriPtr uri = loopbackURI(url, allowedPort);
    if (!uri || std::string(g_uri_get_host(uri.get())) != "localhost") {
        return std::nullopt;
    }
    const UriPtr studio(g_uri_build(G_URI_FLAGS_NONE, "http", g_uri_get_userinfo(uri.get()), "127.0.0.1",
                                    g_uri_get_port(uri.get()), g_uri_get_path(uri.get()),
                                    g_uri_get_query(uri.get()), g_uri_get_fragment(uri.get())));
    gchar* text = g_uri_to_string(studio.get());
    std::string result = text;
    g_free(text);
    return result;
}

bool hasInPageScheme(const std::string& url)
{
    static constexpr std::array<const char*, 3> inPage{"about", "blob", "data"};
    const std::string scheme = lowerScheme(url);
    return std::any_of(inPage.begin(), inPage.end(), [&](const char* name) { return scheme == name; });
}

NavigationDecision handOff(const std::string& url, bool userGesture)
{
    const std::string scheme = lowerScheme(url);
    if (scheme == "http" || scheme == "https") {
        return decision(Kind::OpenExternally, url);
    }
    // A local file or folder would open in whatever the desktop picks for it.
    if (scheme.empty() || scheme == "file" || hasInPageScheme(url) || !userGesture) {
        return decision(Kind::Ignore);
    }
    return decision(Kind::AskToOpen, url);
}

TargetFrame redirectTarget(const std::string& fetchDestination)
{
    if (fetchDestination == "document") {
        return TargetFrame::Main;
    }
    if (fetchDestination == "iframe" || fetchDestination == "frame") {
        return TargetFrame::Sub;
    }
    return TargetFrame::Unknown;
}

std::string topFrameRules(std::optional<long long> allowedPort)
{
    // The rules' patterns know no alternatives: one rule per allowed prefix.
    std::vector<std::string> allowed{"^about:", "^blob:", "^data:"};
    if (allowedPort) {
        const std::string port = std::to_string(*allowedPort);
        allowed.push_back(R"(^http://127\\.0\\.0\\.1:)" + port + "/");
    }
    auto rule = [](const std::string& filter, const char* action) {
        return R"({"trigger":{"url-filter":")" + filter
               + R"(","resource-type":["document"],"load-context":["top-frame"]},"action":{"type":")"
               + action + R"("}})";
    };
    std::string rules = "[" + rule(".*", "block");
    for (const auto& prefix : allowed) {
        rules += "," + rule(prefix, "ignore-previous-rules");
    }
    return rules + "]";
}

NavigationDecision decideNavigation(const NavigationRequest& request,
                                    std::optional<long long> allowedPort)
{
    if (!request.url || request.url->empty()) {
        return decision(Kind::Ignore);
    }
    const std::string& url = *request.url;
    if (request.isDownload) {
        return decision(Kind::Download);
    }
    const auto studio = isStudioURL(url, allowedPort) ? std::optional(url)
                                                      : studioAddressFor(url, allowedPort);
    if (request.target == TargetFrame::None) {
        // A new window is never opened: a studio page replaces the view's page,
        // anything else leaves the view.
        return studio ? decision(Kind::LoadInView, *studio) : handOff(url, request.userGesture);
    }
    if (belongsInView(url, allowedPort)) {
        return decision(Kind::Allow);
    }
    const std::string scheme = lowerScheme(url);
    const bool web = scheme == "http" || scheme == "https";
    switch (request.target) {
    case TargetFrame::Sub:
        return decision(Kind::Allow);
    case TargetFrame::Unknown:
        // The content rules stop a foreign top-frame document (localhost among
        // them) before its request leaves; other schemes cannot be shown anyway.
        return web ? decision(Kind::Allow) : handOff(url, request.userGesture);
    case TargetFrame::Main:
    case TargetFrame::None:
        break;
    }
    return studio ? decision(Kind::LoadInView, *studio) : handOff(url, request.userGesture);
}

NavigationDecision decideResponse(const std::string& url, bool mainFrame, bool canShowMIMEType,
                                  std::optional<long long> allowedPort)
{
    if (mainFrame && !belongsInView(url, allowedPort)) {
        return decision(Kind::OpenExternally, url);
    }
    if (!canShowMIMEType) {
        return decision(Kind::Download);
    }
    return decision(Kind::Allow);
}

bool allowsMediaCapture(const std::string& originURL, std::optional<long long> allowedPort)
{
    return isStudioURL(originURL, allowedPort);
}

} // namespace quillbay
