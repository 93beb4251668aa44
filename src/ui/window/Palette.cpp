#include "ui/window/Palette.hpp"

#include <cstdio>

namespace quillbay {

namespace {

std::string percent(double component)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g%%", component * 100.0);
    return text;
}

} // namespace

std::string Colour::css(double opacity) const
{
    char alpha[32];
    std::snprintf(alpha, sizeof alpha, "%.4g", opacity);
    return "rgba(" + percent(red) + ", " + percent(green) + ", " + percent(blue) + ", " + alpha + ")";
}

namespace Palette {

const Colour& charcoal()
{
    static const Colour colour{0.09, 0.094, 0.086};
    return colour;
}

const Colour& ivory()
{
    static const Colour colour{0.824, 0.765, 0.635};
    return colour;
}

const Colour& amber()
{
    static const Colour colour{0.898, 0.647, 0.267};
    return colour;
}

} // namespace Palette

} // namespace quillbay
