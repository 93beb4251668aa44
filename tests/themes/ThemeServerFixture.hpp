#pragma once

// Runs tests/fixtures/theme_server.py as a child on an ephemeral port of 127.0.0.1.

#include "tests/support/TestSupport.hpp"

#include <csignal>
#include <cstdio>
#include <string>

namespace quillbay::testing {

struct ThemeServerFixture {
    ThemeServerFixture() : output(popen("exec python3 " QUILLBAY_FIXTURES_DIR "/theme_server.py", "r"))
    {
        if (!output || fscanf(output, "%ld %d", &port, &pid) != 2)
            port = 0;
    }
    ~ThemeServerFixture()
    {
        if (pid > 0)
            kill(pid, SIGTERM);
        if (output)
            pclose(output);
    }
    std::string base(const std::string& caseName) const
    {
        return "http://127.0.0.1:" + std::to_string(port) + "/" + caseName + "/";
    }

    FILE* output;
    long port = 0;
    pid_t pid = -1;
};

// A base URL on 127.0.0.1 where nothing listens any more.
inline std::string baseWithoutServer() { return ThemeServerFixture().base("gone"); }

} // namespace quillbay::testing
