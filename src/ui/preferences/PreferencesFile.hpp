#pragma once

#include <glib.h>

#include <memory>
#include <string>

namespace quillbay {

// The preferences key file shared by the remembered page, the zoom and the
// window state: every value lives in its one group, and each store rewrites
// the whole file atomically, keeping whatever else it holds.
class PreferencesFile {
public:
    static constexpr const char* kGroup = "Preferences";

    struct KeyFileDeleter {
        void operator()(GKeyFile* file) const { g_key_file_free(file); }
    };
    using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

    // The file as it is now; empty when it is missing or unreadable.
    static KeyFile load(const std::string& path);
    // Creates the folder (0700) and replaces the file through a renamed temporary.
    static bool save(GKeyFile* file, const std::string& path);
};

} // namespace quillbay
