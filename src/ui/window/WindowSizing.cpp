#include "ui/window/WindowSizing.hpp"

#include <algorithm>

namespace quillbay {

namespace {

// The wished length where the area (0: unknown) leaves room for it beside the
// chrome, else what fits, never below 1.
int fitting(int wished, int area, int chrome)
{
    return area > 0 ? std::clamp(area - chrome, 1, wished) : wished;
}

} // namespace

WindowSizing WindowSizing::fit(const WindowState& stored, Extent workArea, Extent chrome)
{
    WindowSizing sizing;
    sizing.contentMinimum = {fitting(kWishedContentMinimum.width, workArea.width, chrome.width),
                             fitting(kWishedContentMinimum.height, workArea.height, chrome.height)};
    sizing.remembered = stored.restorable(sizing.contentMinimum.width + chrome.width,
                                          sizing.contentMinimum.height + chrome.height);
    sizing.opening = sizing.remembered;
    if (workArea.width > 0)
        sizing.opening.width = std::min(sizing.opening.width, workArea.width);
    if (workArea.height > 0)
        sizing.opening.height = std::min(sizing.opening.height, workArea.height);
    return sizing;
}

WindowState WindowSizing::toStore(const WindowState& current) const
{
    const bool shrunk = opening.width != remembered.width || opening.height != remembered.height;
    const bool untouched = current.width == opening.width && current.height == opening.height;
    WindowState kept = shrunk && untouched ? remembered : current;
    kept.maximized = current.maximized;
    return kept.restorable(contentMinimum.width, contentMinimum.height);
}

} // namespace quillbay
