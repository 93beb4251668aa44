#pragma once

// A resource folder whose studio server is tests/fixtures/fake_studio_server.py,
// which misbehaves on request.

#include "tests/support/TestSupport.hpp"

#include "server/ServerProcess.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quillbay::testing {

using Args = std::vector<std::string>;

// Ports of our own for the tests that do not need the real ones.
constexpr long long kTestPreferred = 28765;
constexpr std::chrono::milliseconds kTestStopGrace{800};
inline const std::string kFixture = QUILLBAY_FIXTURES_DIR "/fake_studio_server.py";

// Makes `resourceDir` a resource folder whose server script runs the fake
// studio server with `fakeArgs` after the Python `prelude` (os, sys and json imported).
inline void writeFakeResources(const std::string& resourceDir, const Args& fakeArgs, const std::string& prelude = {})
{
    std::string args = "'" + kFixture + "'";
    for (const auto& arg : fakeArgs)
        args += ", '" + arg + "'";
    writeFile(resourceDir + "/shim/quillbay_server.py", "import os, sys, json\n" + prelude +
                                                            "\nos.execv(sys.executable, [sys.executable, " + args + "])\n");
    std::filesystem::create_directories(resourceDir + "/python/bin");
    std::filesystem::create_symlink("/usr/bin/python3", resourceDir + "/python/bin/python3.12");
}

// A private folder holding a fake resource folder R and the studio folder S.
class FakeResources {
public:
    explicit FakeResources(const Args& fakeArgs, const std::string& prelude = {})
    {
        writeFakeResources(resourceDir(), fakeArgs, prelude);
    }
    std::string resourceDir() const { return root_ / "R"; }
    std::string stateDir() const { return root_ / "S"; }
    std::string scratch(const std::string& name) const { return root_ / name; }

    // Short waits so the suite stays quick; the app uses the defaults. The probe's
    // limit still leaves a loaded machine seconds to start Python.
    ServerProcess::Config config(long long preferred = kTestPreferred) const
    {
        return {resourceDir(), stateDir(), preferred, preferred + 1, preferred + 10,
                {.probeLimit = 6000ms, .stopGrace = kTestStopGrace, .identityRequestTimeout = 500ms,
                 .identityWait = 700ms, .politeStep = 20ms, .killWait = 200ms}};
    }

private:
    TempDir root_{"quillbay-server"};
};

// Each test runs in a process of its own, and the servers of the test before
// it end in their own time after that process has gone: a test starts only
// once the ports the tests use are free again, or it would meet those servers.
class StudioPortsFree : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (long long first : {kTestPreferred, ServerProcess::kPreferredPort})
            for (long long port = first; port <= first + 10; ++port)
                for (auto end = std::chrono::steady_clock::now() + 10s;
                     !ServerProcess::isFree(port) && std::chrono::steady_clock::now() < end;)
                    std::this_thread::sleep_for(20ms);
    }
};
inline ::testing::Environment* const kStudioPortsFree = ::testing::AddGlobalTestEnvironment(new StudioPortsFree);

} // namespace quillbay::testing
