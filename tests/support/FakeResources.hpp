#pragma once

// A resource folder whose studio server is tests/fixtures/fake_studio_server.py, which misbehaves on request.

#include "tests/support/TestSupport.hpp"

#include "server/ServerProcess.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace quillbay::testing {

// Each test program gets a range of ports of its own from the build, so programs that
// ctest runs side by side never meet on a port.
#ifndef QUILLBAY_TEST_PORT
#define QUILLBAY_TEST_PORT 28765
#endif
constexpr long long kTestPreferred = QUILLBAY_TEST_PORT;
constexpr std::chrono::milliseconds kTestStopGrace{800};
inline const std::string kFixture = QUILLBAY_FIXTURES_DIR "/fake_studio_server.py";

// A private folder holding a fake resource folder R, which runs the fake server with `fakeArgs` after the Python
// `prelude` (os, sys, json imported), and the studio folder S.
class FakeResources {
public:
    explicit FakeResources(const Args& fakeArgs, const std::string& prelude = {})
    {
        std::string args = "'" + kFixture + "'";
        for (const auto& arg : fakeArgs)
            args += ", '" + arg + "'";
        writeFile(resourceDir() + "/shim/quillbay_server.py",
                  "import os, sys, json\n" + prelude + "\nos.execv(sys.executable, [sys.executable, " + args + "])\n");
        std::filesystem::create_directories(resourceDir() + "/python/bin");
        std::filesystem::create_symlink("/usr/bin/python3", resourceDir() + "/python/bin/python3.12");
    }
    std::string resourceDir() const { return root_ / "R"; }
    std::string stateDir() const { return root_ / "S"; }
    std::string scratch(const std::string& name) const { return root_ / name; }

    // Short waits keep the suite quick; the probe still leaves a loaded machine seconds to start Python.
    ServerProcess::Config config(long long preferred = kTestPreferred) const
    {
        return {resourceDir(), stateDir(), {preferred, preferred + 1, preferred + 10},
                {.probe = {.limit = 6000ms},
                 .portChoice = {.identityRequestTimeout = 500ms, .identityWait = 700ms, .politeStep = 20ms, .killWait = 200ms},
                 .stopGrace = kTestStopGrace}};
    }

private:
    TempDir root_{"quillbay-server"};
};

// The previous test's servers end in their own time: each test waits until the tests' ports are free again.
class StudioPortsFree : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (long long first : {kTestPreferred, ServerProcess::kPreferredPort})
            for (long long port = first; port <= first + 10; ++port)
                for (auto end = std::chrono::steady_clock::now() + 10s;
                     !PortChooser::isFree(port) && std::chrono::steady_clock::now() < end;)
                    std::this_thread::sleep_for(20ms);
    }
};
inline ::testing::Environment* const kStudioPortsFree = ::testing::AddGlobalTestEnvironment(new StudioPortsFree);

} // namespace quillbay::testing
