#include "ui/preferences/ViewPreferences.hpp"

#include "ui/preferences/PreferencesFile.hpp"
#include "ui/preferences/ZoomLevel.hpp"

#include <glib.h>
#include <glib/gstdio.h>

#include <cmath>
#include <memory>

namespace quillbay {

namespace {

constexpr const char* kGroup = PreferencesFile::kGroup;
using KeyFile = PreferencesFile::KeyFile;

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
    KeyFile file = PreferencesFile::load(path_);
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
    KeyFile file = PreferencesFile::load(path_);
    // Two decimals: a key file written in any locale reads back the same.
    gchar text[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(text, sizeof text, "%.2f", ZoomLevel::sanitised(level));
    g_key_file_set_value(file.get(), kGroup, kZoomKey, text);
    return PreferencesFile::save(file.get(), path_);
}

WindowState ViewPreferences::window() const
{
    KeyFile file = PreferencesFile::load(path_);
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
    KeyFile file = PreferencesFile::load(path_);
    g_key_file_set_integer(file.get(), kGroup, kWidthKey, state.width);
    g_key_file_set_integer(file.get(), kGroup, kHeightKey, state.height);
    g_key_file_set_boolean(file.get(), kGroup, kMaximizedKey, state.maximized);
    return PreferencesFile::save(file.get(), path_);
}

} // namespace quillbay
