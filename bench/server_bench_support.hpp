#pragma once
// Shared by the server benchmarks: a resource folder whose server script runs
// the fake studio server of the tests with the given arguments.

#include "server/ServerProcess.hpp"

#include <glib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace bench {

namespace fs = std::filesystem;

// An absolute path, so the benchmarks run from any folder.
inline std::string fakeServerPath()
{
    return (fs::path(QUILLBAY_FIXTURES_DIR) / "fake_studio_server.py").lexically_normal().string();
}

class BenchFolder {
public:
    explicit BenchFolder(const std::vector<std::string>& fakeArgs)
    {
        std::string pattern = (fs::temp_directory_path() / "quillbay-bench-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
        fs::create_directories(resources() + "/python/bin");
        fs::create_directories(resources() + "/shim");
        fs::create_symlink("/usr/bin/python3", resources() + "/python/bin/python3.12");
        std::ofstream shim(resources() + "/shim/quillbay_server.py");
        shim << "import os, sys\nos.execv(sys.executable, [sys.executable, '" << fakeServerPath() << "'";
        for (const auto& arg : fakeArgs)
            shim << ", '" << arg << "'";
        shim << "])\n";
    }
    ~BenchFolder()
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::string resources() const { return root_ + "/R"; }
    std::string state() const { return root_ + "/S"; }
    std::string file(const std::string& name) const { return root_ + "/" + name; }

    quillbay::ServerProcess::Config config(long long port) const
    {
        quillbay::ServerProcess::Config config;
        config.resourceDir = resources();
        config.stateDir = state();
        config.ports = {port, port + 1, port + 10};
        config.timing.stopGrace = std::chrono::milliseconds(500);
        return config;
    }

private:
    std::string root_;
};

inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        g_main_context_iteration(nullptr, TRUE);
    }
    return true;
}

// A 5 ms heartbeat on the main loop: the longest gap between beats, less the
// period, is the longest stall of the loop while it runs.
class Heartbeat {
public:
    static constexpr int kBeatMs = 5;

    Heartbeat() : source_(g_timeout_add(kBeatMs, &Heartbeat::beat, this)) {}
    ~Heartbeat() { g_source_remove(source_); }
    Heartbeat(const Heartbeat&) = delete;
    Heartbeat& operator=(const Heartbeat&) = delete;

    // Starts the measurement afresh, e.g. after a set-up that is not measured.
    void restart()
    {
        last_ = std::chrono::steady_clock::now();
        longestGapMs_ = 0;
    }
    double longestStallMs() const { return std::max(0.0, longestGapMs_ - kBeatMs); }

private:
    static gboolean beat(gpointer data)
    {
        auto* self = static_cast<Heartbeat*>(data);
        const auto now = std::chrono::steady_clock::now();
        self->longestGapMs_ = std::max(self->longestGapMs_, std::chrono::duration<double, std::milli>(now - self->last_).count());
        self->last_ = now;
        return G_SOURCE_CONTINUE;
    }

    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
    double longestGapMs_ = 0;
    guint source_;
};

// CPU time this process has used, in milliseconds: unlike the stall, hardly
// touched by other load on the machine.
inline double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return 0;
    auto middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace bench
