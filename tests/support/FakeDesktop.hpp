#pragma once

// The desktop as the tests see it: default applications that only write down
// what they were asked to open, or no applications at all; no session bus, so
// no file manager. Make it before GTK or GIO first look at the XDG folders
// (the first member of a fixture), as GLib reads them once per process.

#include <glib.h>
#include <glib/gstdio.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillbay::testing {

class FakeDesktop {
public:
    explicit FakeDesktop(bool withApplications = true)
    {
        g_autofree gchar* made = g_dir_make_tmp("quillbay-desktop-XXXXXX", nullptr);
        root_ = made;
        const std::filesystem::path root(root_);
        std::filesystem::create_directories(root / "data" / "applications");
        std::filesystem::create_directories(root / "config");
        if (withApplications)
            installRecorder(root);
        g_setenv("XDG_DATA_DIRS", (root / "data").c_str(), true);
        g_setenv("XDG_CONFIG_DIRS", (root / "config").c_str(), true);
        g_setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (root / "no-bus").string()).c_str(), true);
    }
    ~FakeDesktop() { std::filesystem::remove_all(root_); }
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    // What the default applications were given, one item a line, in order.
    std::vector<std::string> opened() const
    {
        std::vector<std::string> lines;
        std::ifstream file(root_ + "/opened");
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

private:
    void installRecorder(const std::filesystem::path& root)
    {
        const auto recorder = root / "record";
        std::ofstream(recorder) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << (root / "opened").string() << "'\n";
        std::filesystem::permissions(recorder, std::filesystem::perms::owner_all);
        std::ofstream(root / "data" / "applications" / "quillbay-test-recorder.desktop")
            << "[Desktop Entry]\nType=Application\nName=Recorder\nNoDisplay=true\nExec=" << recorder.string() << " %u\n";
        std::ofstream defaults(root / "config" / "mimeapps.list");
        defaults << "[Default Applications]\n";
        for (const char* type : {"inode/directory", "text/plain", "application/zip", "x-scheme-handler/http", "x-scheme-handler/https"})
            defaults << type << "=quillbay-test-recorder.desktop\n";
    }

    std::string root_;
};

} // namespace quillbay::testing
