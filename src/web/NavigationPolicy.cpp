#include "web/NavigationPolicy.hpp"

#include <glib.h>

#include <array>
#include <vector>
#include <memory>

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

// Pages of the studio and in-page content stay in the view.
bool belongsInView(const std::string& url, std::optional<long long> allowedPort)
{
    return hasInPageScheme(url) || isLoopbackURL(url, allowedPort);
}

} // namespace

bool isLoopbackURL(const std::string& url, std::optional<long long> allowedPort)
{
    const UriPtr uri = parse(url);
    if (!uri || !allowedPort) {
        return false;
    }
    // The studio serves plain http; file:, ftp: or https: on its port are not its pages.
    if (g_ascii_strcasecmp(g_uri_get_scheme(uri.get()), "http") != 0) {
        return false;
    }
    const char* host = g_uri_get_host(uri.get());
    if (!host) {
        return false;
    }
    const std::string hostText = host;
    if (hostText != "127.0.0.1" && hostText != "localhost") {
        return false;
    }
    const int port = g_uri_get_port(uri.get());  // -1 when not written
    return port >= 0 && port == *allowedPort;
}

bool hasInPageScheme(const std::string& url)
{
    const char* scheme = g_uri_peek_scheme(url.c_str());  // lower-cased and interned, or null
    const std::string lowered = scheme ? scheme : "";
    static constexpr std::array<const char*, 3> inPage{"about", "blob", "data"};
    for (const char* name : inPage) {
        if (lowered == name) {
            return true;
        }
    }
    return false;
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
        allowed.push_back("^http://localhost:" + port + "/");
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
    if (request.target == TargetFrame::None) {
        // A new window is never opened: a studio page replaces the view's page,
        // anything else goes to the default application.
        if (isLoopbackURL(url, allowedPort)) {
            return decision(Kind::LoadInView, url);
        }
        return decision(Kind::OpenExternally, url);
    }
    if (belongsInView(url, allowedPort)) {
        return decision(Kind::Allow);
    }
    switch (request.target) {
    case TargetFrame::Sub:
    case TargetFrame::Unknown:
        return decision(Kind::Allow);
    case TargetFrame::Main:
    case TargetFrame::None:
        break;
    }
    return decision(Kind::OpenExternally, url);
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
    return isLoopbackURL(originURL, allowedPort);
}

} // namespace quillbay
