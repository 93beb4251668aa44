#pragma once

#include "ui/preferences/PagePreference.hpp"
#include "ui/preferences/WindowState.hpp"

#include <functional>
#include <string>

namespace quillbay {

// The page zoom and the window's size and maximised state, kept in the same
// key file as the remembered page. Each store rewrites the file atomically
// and keeps whatever else it holds.
class ViewPreferences {
public:
    static constexpr const char* kZoomKey = "view.zoom";
    static constexpr const char* kWidthKey = "window.width";
    static constexpr const char* kHeightKey = "window.height";
    static constexpr const char* kMaximizedKey = "window.maximized";

    explicit ViewPreferences(std::string path = PagePreference::defaultPath());

    // The stored zoom level, made usable; 1.0 when none is stored.
    double zoom() const;
    bool storeZoom(double level);

    // The stored window state as it was stored (see WindowState::restorable);
    // the defaults for what is missing or unreadable.
    WindowState window() const;
    bool storeWindow(const WindowState& state);

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace quillbay
