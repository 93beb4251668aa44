#pragma once

#include "ui/preferences/StudioPage.hpp"
#include "ui/preferences/WindowState.hpp"

#include <glibmm/refptr.h>

#include <string>

namespace Glib {
class KeyFile;
}

namespace quillbay {

// The user's preferences in one key file of the configuration folder: the
// remembered page ("studio.page"), the page zoom and the window's size and
// maximised state. Every read sees the file as it is now; every store rewrites
// it atomically and keeps whatever else it holds. A file that is not a regular
// file (a link, a FIFO) is neither read, which would block on a FIFO, nor
// replaced: the defaults apply and stores fail.
class Preferences {
public:
    static constexpr const char* kPageKey = "studio.page";
    static constexpr const char* kZoomKey = "view.zoom";
    static constexpr const char* kWidthKey = "window.width";
    static constexpr const char* kHeightKey = "window.height";
    static constexpr const char* kMaximizedKey = "window.maximized";

    // <user config dir>/Quillbay/preferences.ini
    static std::string defaultPath();

    explicit Preferences(std::string path = defaultPath());

    // The stored text, or "desk" when nothing is stored. A text that names
    // no page is returned as it is (and stays stored).
    std::string pageRaw() const;
    // The stored page; the desk when the text names no page.
    StudioPage page() const;
    bool storePage(StudioPage page);

    // The stored zoom level, made usable; 1.0 when none is stored.
    double zoom() const;
    bool storeZoom(double level);

    // The stored window state as it was stored (see WindowState::restorable);
    // the defaults for what is missing or unreadable.
    WindowState window() const;
    bool storeWindow(const WindowState& state);

    const std::string& path() const { return path_; }

private:
    Glib::RefPtr<Glib::KeyFile> load() const;
    bool save(Glib::KeyFile& file) const;

    std::string path_;
};

} // namespace quillbay
