#include "ui/preferences/PagePreference.hpp"

#include "ui/preferences/PreferencesFile.hpp"

#include <glib.h>
#include <glib/gstdio.h>

#include <memory>

namespace quillbay {

namespace {

constexpr const char* kGroup = PreferencesFile::kGroup;
using KeyFile = PreferencesFile::KeyFile;

struct GFreeDeleter {
    void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, GFreeDeleter>;

} // namespace

std::string PagePreference::defaultPath()
{
    GText path(g_build_filename(g_get_user_config_dir(), "Quillbay", "preferences.ini", nullptr));
    return path.get();
}

PagePreference::PagePreference(std::string path) : path_(std::move(path)) {}

std::string PagePreference::raw() const
{
    KeyFile file = PreferencesFile::load(path_);
    GText value(g_key_file_get_string(file.get(), kGroup, kKey, nullptr));
    return value ? std::string(value.get()) : std::string("desk");
}

StudioPage PagePreference::page() const
{
    return studioPageOrDesk(raw());
}

bool PagePreference::store(StudioPage page)
{
    KeyFile file = PreferencesFile::load(path_);
    g_key_file_set_string(file.get(), kGroup, kKey, std::string(rawValue(page)).c_str());
    return PreferencesFile::save(file.get(), path_);
}

} // namespace quillbay
