#include "ui/preferences/WindowState.hpp"

#include <algorithm>

namespace quillbay {

namespace {

int restorableLength(int stored, int fallback, int minimum)
{
    if (stored <= 0 || stored > WindowState::kLargest)
        stored = fallback;
    return std::max(stored, minimum);
}

} // namespace

WindowState WindowState::restorable(int minimumWidth, int minimumHeight) const
{
    WindowState state = *this;
    state.width = restorableLength(width, kDefaultWidth, minimumWidth);
    state.height = restorableLength(height, kDefaultHeight, minimumHeight);
    return state;
}

} // namespace quillbay
