#pragma once

// Which proxy the web view's network session uses, decided from the
// environment. The studio on the loopback address is never reached through a
// proxy; everything else keeps the proxy the user configured.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillbay {

struct ProxyChoice {
    enum class Mode {
        System,  // no proxy in the environment: the desktop's settings apply
        None,    // no_proxy=* : no proxy for anything
        Custom,  // the environment's proxies, with the loopback hosts left out
    };
    Mode mode = Mode::System;
    std::string defaultProxy;  // for schemes without their own; empty: direct
    std::vector<std::pair<std::string, std::string>> schemeProxies;  // (scheme, proxy)
    std::vector<std::string> ignoreHosts;

    bool operator==(const ProxyChoice&) const = default;
};

// Looks up an environment variable; none when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// Reads http_proxy, https_proxy, all_proxy and no_proxy (each also in capitals,
// the lower-case name first).
ProxyChoice proxyChoiceFor(const EnvironmentLookup& environment);

// The same, from this process's environment.
ProxyChoice proxyChoiceFromEnvironment();

} // namespace quillbay
