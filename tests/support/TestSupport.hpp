#pragma once

// What every test binary needs: the main loop, whole files, private folders and a look at processes.

#include <glib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace quillbay::testing {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

// Turns the main context until `done` holds (returns true) or `limit` passes; a tick wakes it to look at `done`.
// `done` is not asked again once it held: it may consume what it saw (waitpid).
inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 15s)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const guint tick = g_timeout_add(5, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    bool held = done();
    while (!held && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
        held = done();
    }
    g_source_remove(tick);
    return held;
}

inline void runFor(std::chrono::milliseconds span) { runUntil([] { return false; }, span); }

// What could be read of the file. With read(2): a stream throws when a /proc file's process ends meanwhile.
inline std::string readFile(const std::filesystem::path& path)
{
    std::string text;
    char chunk[65536];
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    for (ssize_t count = 0; fd >= 0 && (count = ::read(fd, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(count));
    if (fd >= 0)
        ::close(fd);
    return text;
}

inline void writeFile(const std::filesystem::path& path, std::string_view text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A fresh private folder under the temporary folder, removed with everything in it at the end.
class TempDir {
public:
    explicit TempDir(const std::string& name = "quillbay-test")
        : path_((std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string())
    {
        if (!::mkdtemp(path_.data()))
            std::perror("mkdtemp"), std::abort();  // a test without its folder would write elsewhere
    }
    ~TempDir() { std::error_code ignored; std::filesystem::remove_all(path_, ignored); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(std::string_view relative) const { return path_ + "/" + std::string(relative); }

private:
    std::string path_;
};

// True while `pid` runs, child of ours or not; a zombie, or one gone while /proc is read, does not.
inline bool processRuns(pid_t pid)
{
    const std::string stat = pid > 0 ? readFile("/proc/" + std::to_string(pid) + "/stat") : "";
    const auto paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
}

} // namespace quillbay::testing
