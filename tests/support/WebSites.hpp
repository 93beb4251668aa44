#pragma once

// tests/fixtures/web_site.py as a child: a "studio" and a "foreign" site on 127.0.0.1, ended with this object.

#include "tests/support/TestProcess.hpp"

#include <sstream>

namespace quillbay::testing {

inline std::string localAddress(long long port, const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

class WebSites {
public:
    // The studio site on `studioPort`, or on an ephemeral port for 0.
    explicit WebSites(long long studioPort = 0)
        : process_({"/usr/bin/python3", QUILLBAY_FIXTURES_DIR "/web_site.py", state_.path(), std::to_string(studioPort)})
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (process_.running() && !std::filesystem::exists(state_ / "ports") && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        std::istringstream(readFile(state_ / "ports")) >> this->studioPort >> foreignPort;
    }

    std::string studio(const std::string& path) const { return localAddress(studioPort, path); }
    std::string foreign(const std::string& path) const { return localAddress(foreignPort, path); }
    // Stopped, the servers still accept connections (the kernel does) but never answer.
    void freeze() { ::kill(process_.pid(), SIGSTOP); }
    void thaw() { ::kill(process_.pid(), SIGCONT); }

    // How many requests of any kind reached `port`.
    int requestsTo(long long port) const { return count("\n" + std::to_string(port) + " "); }
    // How often `port` was asked for `pathAndQuery`.
    int times(long long port, const std::string& pathAndQuery) const
    {
        return count("\n" + std::to_string(port) + " " + pathAndQuery + " | ");
    }
    // Every request so far, one "PORT PATH?QUERY | USER-AGENT" line each.
    std::string hits() const { return readFile(state_ / "hits"); }

    long long studioPort = 0;
    long long foreignPort = 0;

private:
    int count(const std::string& lineStart) const
    {
        const std::string text = "\n" + hits();
        int found = 0;
        for (auto at = text.find(lineStart); at != std::string::npos; at = text.find(lineStart, at + 1))
            ++found;
        return found;
    }

    TempDir state_{"quillbay-web"};
    TestProcess process_;  // ends with its input, i.e. with us
};

} // namespace quillbay::testing
