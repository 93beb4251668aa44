#pragma once

// The bare desktop of startGtk (nothing can open anything, no file manager) plus, unless asked not to, default
// applications that only write down what they were asked to open.

#include "tests/support/GtkTestSupport.hpp"

#include <sstream>

namespace quillbay::testing {

class FakeDesktop {
public:
    explicit FakeDesktop(bool withApplications = true)
    {
        startGtk();
        if (!withApplications)
            return;
        const std::string recorder = root_ / "record";
        writeFile(recorder, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + root_ / "opened" + "'\n");
        std::filesystem::permissions(recorder, std::filesystem::perms::owner_all);
        writeFile(desktopFile(), "[Desktop Entry]\nType=Application\nName=Recorder\nNoDisplay=true\nExec=" + recorder + " %u\n");
        std::string defaults = "[Default Applications]\n";
        for (const char* type : {"inode/directory", "text/plain", "application/zip", "x-scheme-handler/http", "x-scheme-handler/https"})
            defaults += std::string(type) + "=quillbay-test-recorder.desktop\n";
        writeFile(defaultsFile(), defaults);
    }
    ~FakeDesktop()
    {
        std::error_code ignored;
        std::filesystem::remove(desktopFile(), ignored), std::filesystem::remove(defaultsFile(), ignored);
    }

    // What the default applications were given, in order.
    std::vector<std::string> opened() const
    {
        std::vector<std::string> lines;
        std::istringstream text(readFile(root_ / "opened"));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

private:
    static std::string desktopFile() { return std::string(g_get_user_data_dir()) + "/applications/quillbay-test-recorder.desktop"; }
    static std::string defaultsFile() { return std::string(g_get_user_config_dir()) + "/mimeapps.list"; }
    TempDir root_{"quillbay-desktop"};
};

} // namespace quillbay::testing
