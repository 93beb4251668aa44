#pragma once

// Runs tests/fixtures/theme_server.py as a child on an ephemeral port of 127.0.0.1.

#include "tests/support/TestProcess.hpp"

#include <string>

namespace quillbay::testing {

struct ThemeServerFixture {
    ThemeServerFixture() { port = std::atol(server.readUntil("", 10s).front().c_str()); }
    std::string base(const std::string& caseName) const
    {
        return "http://127.0.0.1:" + std::to_string(port) + "/" + caseName + "/";
    }

    TestProcess server{{"/usr/bin/python3", QUILLBAY_FIXTURES_DIR "/theme_server.py"}};
    long port = 0;
};

// A base URL on 127.0.0.1 where nothing listens any more.
inline std::string baseWithoutServer() { return ThemeServerFixture().base("gone"); }

} // namespace quillbay::testing
