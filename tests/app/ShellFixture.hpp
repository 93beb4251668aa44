#pragma once

// Helpers of the application tests: temporary folders, a resource folder whose
// studio server is the misbehaving fake, and waits that turn the main loop.

#include "server/ServerProcess.hpp"

#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/init.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace quillbay::testing {

inline std::string makeTempFolder(const char* pattern = "quillbay-shell-XXXXXX")
{
    std::unique_ptr<gchar, decltype(&g_free)> dir(g_dir_make_tmp(pattern, nullptr), g_free);
    return dir ? dir.get() : "";
}

inline void writeText(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::trunc) << text;
}

inline std::string readText(const std::string& path)
{
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// A resource folder R whose server script runs the fake studio server with `option`.
inline void makeFakeResources(const std::string& resourceDir, const std::string& option)
{
    writeText(resourceDir + "/shim/quillbay_server.py", "import os, sys\nos.execv(sys.executable, [sys.executable, \"" QUILLBAY_FIXTURES_DIR
                                                        "/fake_studio_server.py\", \"" + option + "\"])\n");
    std::filesystem::create_directories(resourceDir + "/python/bin");
    std::filesystem::create_symlink("/usr/bin/python3", resourceDir + "/python/bin/python3.12");
}

inline void ensureGtk()
{
    static const bool ready = (gtk_init(), Gtk::init_gtkmm_internals(), true);
    (void)ready;
}

// Turns the default main context until `done` holds or `limit` passes.
inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    for (const auto end = std::chrono::steady_clock::now() + limit; !done();)
        if (std::chrono::steady_clock::now() > end)
            return false;
        else if (!g_main_context_iteration(nullptr, FALSE))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
}

inline void runFor(std::chrono::milliseconds span) { runUntil([] { return false; }, span); }

// True while `pid` runs (a zombie counts as ended). A process can end while
// its /proc entry is being read; whatever cannot be read counts as ended.
inline bool processRuns(pid_t pid)
{
    const int fd = open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[1024];
    const ssize_t length = read(fd, buffer, sizeof buffer);
    close(fd);
    if (length <= 0)
        return false;
    const std::string_view stat(buffer, static_cast<std::size_t>(length));
    const auto paren = stat.rfind(')');
    return paren != std::string_view::npos && stat.size() > paren + 2 && stat[paren + 2] != 'Z';
}

// Waits until `pid`, which need not be a child of this process, has ended.
inline bool waitForEnd(pid_t pid, std::chrono::milliseconds limit)
{
    return runUntil([pid] { return !processRuns(pid); }, limit);
}

// Stops a test's server, if it still has a child, waits for the stop's grace and lets it go.
template <typename Pointer>  // a shared or unique pointer to a ServerProcess
void stopAndRelease(Pointer& server)
{
    if (server && server->hasChild()) {
        bool stopped = false;
        server->stop([&] { stopped = true; });
        runUntil([&] { return stopped; }, std::chrono::seconds(10));
    }
    server.reset();
}

// Each test runs in a process of its own, and the servers of the test before
// it end in their own time after that process has gone: a test starts only
// once the studio ports are free again, or it would meet those servers.
class StudioPortsFree : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (long long port = ServerProcess::kPreferredPort; port <= ServerProcess::kPreferredPort + 10; ++port)
            for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                 !PortChooser::isFree(port) && std::chrono::steady_clock::now() < end;)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
};
inline ::testing::Environment* const kStudioPortsFree = ::testing::AddGlobalTestEnvironment(new StudioPortsFree);

} // namespace quillbay::testing
