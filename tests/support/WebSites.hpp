#pragma once

// tests/fixtures/web_site.py as a child: a "studio" and a "foreign" site on
// 127.0.0.1, ended with this object.

#include "tests/support/TestSupport.hpp"

#include <gio/gio.h>

#include <csignal>
#include <sstream>
#include <thread>

namespace quillbay::testing {

inline std::string localAddress(long long port, const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

class WebSites {
public:
    // The studio site on `studioPort`, or on an ephemeral port for 0.
    explicit WebSites(long long studioPort = 0)
    {
        const std::string script = QUILLBAY_FIXTURES_DIR "/web_site.py";
        const std::string portText = std::to_string(studioPort);
        const char* argv[] = {"python3", script.c_str(), state_.path().c_str(), portText.c_str(), nullptr};
        // The fixture also ends when its standard input closes, i.e. with us.
        process_ = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_STDIN_PIPE, nullptr);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (process_ && !std::filesystem::exists(state_ / "ports") && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        std::istringstream(readFile(state_ / "ports")) >> this->studioPort >> foreignPort;
    }
    ~WebSites()
    {
        if (!process_)
            return;
        g_subprocess_force_exit(process_);
        g_subprocess_wait(process_, nullptr, nullptr);
        g_object_unref(process_);
    }
    WebSites(const WebSites&) = delete;
    WebSites& operator=(const WebSites&) = delete;

    std::string studio(const std::string& path) const { return localAddress(studioPort, path); }
    std::string foreign(const std::string& path) const { return localAddress(foreignPort, path); }

    // Stopped, the servers still accept connections (the kernel does) but never answer.
    void freeze() { g_subprocess_send_signal(process_, SIGSTOP); }
    void thaw() { g_subprocess_send_signal(process_, SIGCONT); }

    // How many requests of any kind reached `port`.
    int requestsTo(long long port) const
    {
        std::istringstream lines(hits());
        int count = 0;
        for (std::string line; std::getline(lines, line);)
            count += line.starts_with(std::to_string(port) + " ") ? 1 : 0;
        return count;
    }

    // How often `port` was asked for `pathAndQuery`.
    int times(long long port, const std::string& pathAndQuery) const
    {
        const std::string text = "\n" + hits();
        const std::string line = "\n" + std::to_string(port) + " " + pathAndQuery + " | ";
        int count = 0;
        for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
            ++count;
        return count;
    }

    // Every request so far, one "PORT PATH?QUERY | USER-AGENT" line each.
    std::string hits() const { return readFile(state_ / "hits"); }

    long long studioPort = 0;
    long long foreignPort = 0;

private:
    TempDir state_{"quillbay-web"};
    GSubprocess* process_ = nullptr;
};

} // namespace quillbay::testing
