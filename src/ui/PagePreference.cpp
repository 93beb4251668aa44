#include "ui/PagePreference.hpp"

#include <glib.h>
#include <glib/gstdio.h>

#include <memory>

namespace quillbay {

namespace {

constexpr const char* kGroup = "Preferences";

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct GFreeDeleter {
    void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, GFreeDeleter>;

KeyFile load(const std::string& path)
{
    KeyFile file(g_key_file_new());
    g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    return file;
}

} // namespace

std::string PagePreference::defaultPath()
{
    GText path(g_build_filename(g_get_user_config_dir(), "Quillbay", "preferences.ini", nullptr));
    return path.get();
}

PagePreference::PagePreference(std::string path) : path_(std::move(path)) {}

std::string PagePreference::raw() const
{
    KeyFile file = load(path_);
    GText value(g_key_file_get_string(file.get(), kGroup, kKey, nullptr));
    return value ? std::string(value.get()) : std::string("desk");
}

StudioPage PagePreference::page() const
{
    return studioPageOrDesk(raw());
}

bool PagePreference::store(StudioPage page)
{
    KeyFile file = load(path_);
    g_key_file_set_string(file.get(), kGroup, kKey, std::string(rawValue(page)).c_str());

    GText folder(g_path_get_dirname(path_.c_str()));
    if (g_mkdir_with_parents(folder.get(), 0700) != 0)
        return false;
    // g_key_file_save_to_file writes a temporary file and renames it over the old one.
    return g_key_file_save_to_file(file.get(), path_.c_str(), nullptr);
}

} // namespace quillbay
