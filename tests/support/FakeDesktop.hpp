#pragma once

// The desktop as the tests see it: default applications that only write down
// what they were asked to open, or no applications at all; no session bus, so
// no file manager. Make it before GTK or GIO first look at the XDG folders
// (the first member of a fixture), as GLib reads them once per process.

#include "tests/support/TestSupport.hpp"

#include <glib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace quillbay::testing {

class FakeDesktop {
public:
    explicit FakeDesktop(bool withApplications = true)
    {
        if (withApplications)
            installRecorder();
        std::filesystem::create_directories(root_ / "data/applications");
        std::filesystem::create_directories(root_ / "config");
        g_setenv("XDG_DATA_DIRS", (root_ / "data").c_str(), true);
        g_setenv("XDG_CONFIG_DIRS", (root_ / "config").c_str(), true);
        g_setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root_ / "no-bus").c_str(), true);
    }

    // What the default applications were given, one item a line, in order.
    std::vector<std::string> opened() const
    {
        std::vector<std::string> lines;
        std::istringstream text(readFile(root_ / "opened"));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

private:
    void installRecorder()
    {
        const std::string recorder = root_ / "record";
        writeFile(recorder, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + root_ / "opened" + "'\n");
        std::filesystem::permissions(recorder, std::filesystem::perms::owner_all);
        writeFile(root_ / "data/applications/quillbay-test-recorder.desktop",
                  "[Desktop Entry]\nType=Application\nName=Recorder\nNoDisplay=true\nExec=" + recorder + " %u\n");
        std::string defaults = "[Default Applications]\n";
        for (const char* type : {"inode/directory", "text/plain", "application/zip", "x-scheme-handler/http", "x-scheme-handler/https"})
            defaults += std::string(type) + "=quillbay-test-recorder.desktop\n";
        writeFile(root_ / "config/mimeapps.list", defaults);
    }

    TempDir root_{"quillbay-desktop"};
};

} // namespace quillbay::testing
