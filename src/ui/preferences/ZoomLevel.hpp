#pragma once

namespace quillbay {

// The page zoom steps, as a browser offers them, from 50 % to 300 %.
class ZoomLevel {
public:
    static constexpr double kMinimum = 0.5;
    static constexpr double kMaximum = 3.0;
    static constexpr double kDefault = 1.0;

    // The next step above `level` (the largest stays), and below it.
    static double larger(double level);
    static double smaller(double level);
    // A stored or given level made usable: clamped, and 1.0 when not a number.
    static double sanitised(double level);
};

} // namespace quillbay
