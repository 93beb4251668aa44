#include "ui/preferences/ZoomLevel.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace quillbay {

namespace {

constexpr std::array<double, 14> kSteps{0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 2.75, 3.0};
// Levels this close to a step count as that step (stored values are rounded).
constexpr double kTolerance = 0.005;

} // namespace

double ZoomLevel::sanitised(double level)
{
    if (!std::isfinite(level))
        return kDefault;
    return std::clamp(level, kMinimum, kMaximum);
}

double ZoomLevel::larger(double level)
{
    level = sanitised(level);
    for (double step : kSteps)
        if (step > level + kTolerance)
            return step;
    return kMaximum;
}

double ZoomLevel::smaller(double level)
{
    level = sanitised(level);
    for (auto step = kSteps.rbegin(); step != kSteps.rend(); ++step)
        if (*step < level - kTolerance)
            return *step;
    return kMinimum;
}

} // namespace quillbay
