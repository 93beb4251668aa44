#pragma once

namespace quillbay {

// The main window's size (when not maximised) and whether it is maximised,
// as remembered between runs.
struct WindowState {
    static constexpr int kDefaultWidth = 1280;
    static constexpr int kDefaultHeight = 820;
    // Larger stored sizes are taken for damage, not for a real screen.
    static constexpr int kLargest = 16384;

    int width = kDefaultWidth;
    int height = kDefaultHeight;
    bool maximized = false;

    // A usable state: sizes below the given minimum are raised to it, sizes
    // that make no sense (not positive, absurdly large) fall back to the default.
    WindowState restorable(int minimumWidth, int minimumHeight) const;

    bool operator==(const WindowState&) const = default;
};

} // namespace quillbay
