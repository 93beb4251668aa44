#include "web/ProxyChoice.hpp"

#include <glib.h>

#include <cstdlib>
#include <sstream>

namespace quillbay {
namespace {

// Loopback as GLib's proxy resolver understands host patterns.
const std::vector<std::string> kLoopbackHosts{"localhost", "127.0.0.0/8", "::1"};

std::string variable(const EnvironmentLookup& environment, const char* lowerName)
{
    if (auto value = environment(lowerName); value && !value->empty()) {
        return *value;
    }
    gchar* upper = g_ascii_strup(lowerName, -1);
    auto value = environment(upper);
    g_free(upper);
    return value.value_or("");
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> hostList(const std::string& noProxy)
{
    std::vector<std::string> hosts;
    std::istringstream entries(noProxy);
    for (std::string entry; std::getline(entries, entry, ',');) {
        if (auto host = trimmed(entry); !host.empty()) {
            hosts.push_back(std::move(host));
        }
    }
    return hosts;
}

} // namespace

ProxyChoice proxyChoiceFor(const EnvironmentLookup& environment)
{
    const std::string http = variable(environment, "http_proxy");
    const std::string https = variable(environment, "https_proxy");
    const std::string all = variable(environment, "all_proxy");
    const std::vector<std::string> exempt = hostList(variable(environment, "no_proxy"));

    ProxyChoice choice;
    if (http.empty() && https.empty() && all.empty()) {
        return choice;  // System
    }
    for (const auto& host : exempt) {
        if (host == "*") {
            choice.mode = ProxyChoice::Mode::None;
            return choice;
        }
    }
    choice.mode = ProxyChoice::Mode::Custom;
    choice.defaultProxy = all;
    if (!http.empty()) {
        choice.schemeProxies.emplace_back("http", http);
    }
    if (!https.empty()) {
        choice.schemeProxies.emplace_back("https", https);
    }
    choice.ignoreHosts = kLoopbackHosts;
    choice.ignoreHosts.insert(choice.ignoreHosts.end(), exempt.begin(), exempt.end());
    return choice;
}

ProxyChoice proxyChoiceFromEnvironment()
{
    return proxyChoiceFor([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    });
}

} // namespace quillbay
