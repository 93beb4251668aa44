#include "ui/ViewPreferences.hpp"

#include "ui/ZoomLevel.hpp"

#include <glib.h>
#include <glib/gstdio.h>

#include <cmath>
#include <memory>

namespace quillbay {

namespace {

constexpr const char* kGroup = "Preferences";

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

KeyFile load(const std::string& path)
{
    KeyFile file(g_key_file_new());
    g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    return file;
}

bool save(GKeyFile* file, const std::string& path)
{
    gchar* folder = g_path_get_dirname(path.c_str());
    const bool made = g_mkdir_with_parents(folder, 0700) == 0;
    g_free(folder);
    // g_key_file_save_to_file writes a temporary file and renames it over the old one.
    return made && g_key_file_save_to_file(file, path.c_str(), nullptr);
}

int readInt(GKeyFile* file, const char* key, int fallback)
{
    GError* error = nullptr;
    const int value = g_key_file_get_integer(file, kGroup, key, &error);
    if (error) {
        g_error_free(error);
        return fallback;
    }
    return value;
}

} // namespace

ViewPreferences::ViewPreferences(std::string path) : path_(std::move(path)) {}

double ViewPreferences::zoom() const
{
    KeyFile file = load(path_);
    GError* error = nullptr;
    const double value = g_key_file_get_double(file.get(), kGroup, kZoomKey, &error);
    if (error) {
        g_error_free(error);
        return ZoomLevel::kDefault;
    }
    return ZoomLevel::sanitised(value);
}

bool ViewPreferences::storeZoom(double level)
{
    KeyFile file = load(path_);
    // Two decimals: a key file written in any locale reads back the same.
    gchar text[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(text, sizeof text, "%.2f", ZoomLevel::sanitised(level));
    g_key_file_set_value(file.get(), kGroup, kZoomKey, text);
    return save(file.get(), path_);
}

WindowState ViewPreferences::window() const
{
    KeyFile file = load(path_);
    WindowState state;
    state.width = readInt(file.get(), kWidthKey, state.width);
    state.height = readInt(file.get(), kHeightKey, state.height);
    GError* error = nullptr;
    const gboolean maximized = g_key_file_get_boolean(file.get(), kGroup, kMaximizedKey, &error);
    if (error)
        g_error_free(error);
    else
        state.maximized = maximized;
    return state;
}

bool ViewPreferences::storeWindow(const WindowState& state)
{
    KeyFile file = load(path_);
    g_key_file_set_integer(file.get(), kGroup, kWidthKey, state.width);
    g_key_file_set_integer(file.get(), kGroup, kHeightKey, state.height);
    g_key_file_set_boolean(file.get(), kGroup, kMaximizedKey, state.maximized);
    return save(file.get(), path_);
}

} // namespace quillbay
