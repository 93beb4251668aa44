#pragma once

#include "ui/preferences/WindowState.hpp"

namespace quillbay {

// A width and height in the toolkit's (scaled) units.
struct Extent {
    int width = 0;
    int height = 0;
    bool operator==(const Extent&) const = default;
};

// How the main window opens on a monitor: the content's minimum size, which
// shrinks below the wished 960x620 only where the work area is smaller, and
// the remembered size made to fit the work area.
struct WindowSizing {
    static constexpr Extent kWishedContentMinimum{960, 620};

    Extent contentMinimum;
    WindowState opening;
    // The remembered size (made usable) that `opening` had to give way to.
    WindowState remembered;

    // `workArea` is the monitor's usable area (zero or less where unknown);
    // `chrome` is what the window adds around its content (title and menu bars).
    static WindowSizing fit(const WindowState& stored, Extent workArea, Extent chrome);

    // What to remember when the window closes at `current`: a size that only
    // is what `fit` shrank the window to leaves the remembered size in place.
    WindowState toStore(const WindowState& current) const;
};

} // namespace quillbay
