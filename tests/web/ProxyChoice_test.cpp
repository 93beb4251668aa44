#include "web/ProxyChoice.hpp"

#include <gtest/gtest.h>

#include <map>

namespace quillbay {
namespace {

using Mode = ProxyChoice::Mode;
using Env = std::map<std::string, std::string>;

ProxyChoice choiceFor(const Env& env)
{
    return proxyChoiceFor([&](const char* name) -> std::optional<std::string> {
        const auto found = env.find(name);
        return found == env.end() ? std::nullopt : std::optional(found->second);
    });
}

TEST(ProxyChoice, TheEnvironmentsProxyServesEverythingButTheLoopbackHosts)
{
    const std::vector<std::string> loopback{"localhost", "127.0.0.0/8", "::1"};
    const std::string dead = "http://127.0.0.1:9/";
    const struct { Env env; ProxyChoice expected; } cases[] = {
        // Nothing in the environment: the desktop's own settings.
        {{}, {Mode::System, "", {}, {}}},
        {{{"http_proxy", ""}, {"no_proxy", "example.com"}}, {Mode::System, "", {}, {}}},
        // The case that sent the studio to a dead proxy: no no_proxy at all.
        {{{"http_proxy", dead}}, {Mode::Custom, "", {{"http", dead}}, loopback}},
        {{{"HTTP_PROXY", dead}, {"HTTPS_PROXY", "http://p:3128"}},
         {Mode::Custom, "", {{"http", dead}, {"https", "http://p:3128"}}, loopback}},
        // The lower-case name wins; the user's own exemptions are kept.
        {{{"http_proxy", dead}, {"HTTP_PROXY", "http://other:1"}, {"no_proxy", " .corp, 10.0.0.0/8 ,,"}},
         {Mode::Custom, "", {{"http", dead}},
          {"localhost", "127.0.0.0/8", "::1", ".corp", "10.0.0.0/8"}}},
        // An empty lower-case name does not hide the capitals.
        {{{"http_proxy", ""}, {"HTTP_PROXY", dead}}, {Mode::Custom, "", {{"http", dead}}, loopback}},
        {{{"all_proxy", "socks5://p:1080"}}, {Mode::Custom, "socks5://p:1080", {}, loopback}},
        {{{"http_proxy", dead}, {"NO_PROXY", "*"}}, {Mode::None, "", {}, {}}},
    };
    for (const auto& c : cases) {
        const ProxyChoice choice = choiceFor(c.env);
        EXPECT_EQ(choice, c.expected) << "mode " << int(choice.mode) << " default " << choice.defaultProxy
                                      << " hosts " << choice.ignoreHosts.size();
    }
}

} // namespace
} // namespace quillbay
