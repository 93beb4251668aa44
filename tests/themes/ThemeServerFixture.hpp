#pragma once

// Runs tests/fixtures/theme_server.py as a child process on an ephemeral
// port of 127.0.0.1 and stops it again.

#include <glib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

namespace quillbay::testing {

class ThemeServerFixture {
public:
    // The server prints its port and pid on its first line.
    ThemeServerFixture() : output_(popen("exec python3 " QUILLBAY_FIXTURES_DIR "/theme_server.py", "r"))
    {
        if (!output_ || fscanf(output_, "%ld %d", &port_, &pid_) != 2)
            port_ = 0;
    }
    ~ThemeServerFixture()
    {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
        if (output_)
            pclose(output_);
    }

    long port() const { return port_; }
    std::string base(const std::string& caseName) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + caseName + "/";
    }

private:
    FILE* output_;
    long port_ = 0;
    pid_t pid_ = -1;
};

// A base URL on 127.0.0.1 where nothing listens any more.
inline std::string baseWithoutServer()
{
    return ThemeServerFixture().base("gone");
}

// Runs the default main context until `done` holds or `limit` passes.
inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return true;
}

} // namespace quillbay::testing
