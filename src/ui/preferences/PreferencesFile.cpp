#include "ui/preferences/PreferencesFile.hpp"

#include <glib/gstdio.h>

namespace quillbay {

PreferencesFile::KeyFile PreferencesFile::load(const std::string& path)
{
    KeyFile file(g_key_file_new());
    g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    return file;
}

bool PreferencesFile::save(GKeyFile* file, const std::string& path)
{
    gchar* folder = g_path_get_dirname(path.c_str());
    const bool made = g_mkdir_with_parents(folder, 0700) == 0;
    g_free(folder);
    // g_key_file_save_to_file writes a temporary file and renames it over the old one.
    return made && g_key_file_save_to_file(file, path.c_str(), nullptr);
}

} // namespace quillbay
