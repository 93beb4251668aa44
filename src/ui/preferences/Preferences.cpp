#include "ui/preferences/Preferences.hpp"

#include "support/SafeFile.hpp"
#include "ui/preferences/ZoomLevel.hpp"

#include <glib/gstdio.h>
#include <glibmm/keyfile.h>
#include <glibmm/miscutils.h>

#include <cerrno>

#include <sys/stat.h>

namespace quillbay {

namespace {

constexpr const char* kGroup = "Preferences";
constexpr std::size_t kLargestFile = 64 * 1024;

// The value at `key` when there is one of the right kind; `fallback` otherwise.
template <typename Read, typename Value>
Value valueOr(const Glib::KeyFile& file, const char* key, Read read, Value fallback)
{
    try {
        if (file.has_group(kGroup) && file.has_key(kGroup, key))
            return read(file, key);
    } catch (const Glib::Error&) {
    }
    return fallback;
}

// True when something other than a regular file sits at `path`: it is left alone.
bool isForeign(const std::string& path)
{
    struct stat facts {};
    return ::lstat(path.c_str(), &facts) == 0 ? !S_ISREG(facts.st_mode) : errno != ENOENT;
}

} // namespace

std::string Preferences::defaultPath()
{
    return Glib::build_filename(Glib::get_user_config_dir(), "Quillbay", "preferences.ini");
}

Preferences::Preferences(std::string path) : path_(std::move(path)) {}

Glib::RefPtr<Glib::KeyFile> Preferences::load() const
{
    auto file = Glib::KeyFile::create();
    SafeFile opened = SafeFile::open(path_, O_RDONLY);
    const auto text = opened.isOpen() ? opened.readUpTo(kLargestFile) : std::nullopt;
    if (!text)
        return file;
    try {
        file->load_from_data(*text, Glib::KeyFile::Flags::KEEP_COMMENTS);
    } catch (const Glib::Error&) {
        // Damaged: read as empty; the next store writes a sound file.
        return Glib::KeyFile::create();
    }
    return file;
}

bool Preferences::save(Glib::KeyFile& file) const
{
    if (isForeign(path_))
        return false;
    if (g_mkdir_with_parents(Glib::path_get_dirname(path_).c_str(), 0700) != 0)
        return false;
    try {
        // A temporary file beside it, renamed over the old one.
        file.save_to_file(path_);
        return true;
    } catch (const Glib::Error&) {
        return false;
    }
}

std::string Preferences::pageRaw() const
{
    const auto file = load();
    return valueOr(*file, kPageKey, [](const Glib::KeyFile& f, const char* key) { return std::string(f.get_string(kGroup, key)); },
                   std::string("desk"));
}

StudioPage Preferences::page() const
{
    return studioPageOrDesk(pageRaw());
}

bool Preferences::storePage(StudioPage page)
{
    const auto file = load();
    file->set_string(kGroup, kPageKey, std::string(rawValue(page)));
    return save(*file);
}

double Preferences::zoom() const
{
    const auto file = load();
    const double stored = valueOr(*file, kZoomKey, [](const Glib::KeyFile& f, const char* key) { return f.get_double(kGroup, key); },
                                  ZoomLevel::kDefault);
    return ZoomLevel::sanitised(stored);
}

bool Preferences::storeZoom(double level)
{
    const auto file = load();
    // Two decimals, always with a point: a file written in any locale reads back the same.
    gchar text[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(text, sizeof text, "%.2f", ZoomLevel::sanitised(level));
    file->set_value(kGroup, kZoomKey, text);
    return save(*file);
}

WindowState Preferences::window() const
{
    const auto file = load();
    const auto integer = [](const Glib::KeyFile& f, const char* key) { return f.get_integer(kGroup, key); };
    WindowState state;
    state.width = valueOr(*file, kWidthKey, integer, state.width);
    state.height = valueOr(*file, kHeightKey, integer, state.height);
    state.maximized = valueOr(*file, kMaximizedKey, [](const Glib::KeyFile& f, const char* key) { return f.get_boolean(kGroup, key); },
                              state.maximized);
    return state;
}

bool Preferences::storeWindow(const WindowState& state)
{
    const auto file = load();
    file->set_integer(kGroup, kWidthKey, state.width);
    file->set_integer(kGroup, kHeightKey, state.height);
    file->set_boolean(kGroup, kMaximizedKey, state.maximized);
    return save(*file);
}

} // namespace quillbay
