#pragma once

#include <string>

namespace quillbay {

// An sRGB colour with components from 0.0 to 1.0, fully opaque.
struct Colour {
    double red;
    double green;
    double blue;

    bool operator==(const Colour&) const = default;

    // A CSS colour with the exact components (as percentages) and `opacity`.
    std::string css(double opacity = 1.0) const;
};

// The three colours the shell draws with itself.
namespace Palette {
const Colour& charcoal();
const Colour& ivory();
const Colour& amber();
} // namespace Palette

} // namespace quillbay
