#pragma once

// Helpers of the application and window tests: temporary folders, a resource
// folder whose "studio server" is the misbehaving fake, and main-loop waits.

#include <glib.h>
#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <gtkmm/init.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>

#include <unistd.h>

namespace quillbay::testing {

inline std::string makeTempFolder(const char* pattern = "quillbay-shell-XXXXXX")
{
    gchar* dir = g_dir_make_tmp(pattern, nullptr);
    std::string path = dir ? dir : "";
    g_free(dir);
    return path;
}

inline void removeTree(const std::string& path)
{
    if (path.size() > 5)
        std::system(("rm -rf '" + path + "'").c_str());
}

inline void writeText(const std::string& path, const std::string& text)
{
    gchar* dir = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(dir, 0700);
    g_free(dir);
    std::ofstream(path) << text;
}

inline std::string readText(const std::string& path)
{
    gchar* text = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(path.c_str(), &text, &length, nullptr))
        return {};
    std::string result(text, length);
    g_free(text);
    return result;
}

// A resource folder R whose server script runs the fake studio server with `options`.
inline void makeFakeResources(const std::string& resourceDir, std::initializer_list<std::string> options)
{
    g_mkdir_with_parents((resourceDir + "/python/bin").c_str(), 0700);
    symlink("/usr/bin/python3", (resourceDir + "/python/bin/python3.12").c_str());
    std::string args = "\"" QUILLBAY_FIXTURES_DIR "/fake_studio_server.py\"";
    for (const auto& option : options)
        args += ", \"" + option + "\"";
    writeText(resourceDir + "/shim/quillbay_server.py",
              "import os, sys\nos.execv(sys.executable, [sys.executable, " + args + "])\n");
}

inline void ensureGtk()
{
    static const bool ready = [] {
        gtk_init();
        Gtk::init_gtkmm_internals();
        return true;
    }();
    (void)ready;
}

// Runs the default main context until `done` holds or `limit` passes.
inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline void runFor(std::chrono::milliseconds span)
{
    runUntil([] { return false; }, span);
}

// True while `pid` runs (a zombie counts as ended).
inline bool processRuns(pid_t pid)
{
    const std::string stat = readText("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty())
        return false;
    const auto close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] != 'Z';
}

} // namespace quillbay::testing
