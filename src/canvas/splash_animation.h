// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The opening splash as a function of time: letters spring into place, a glow rises, the
// content springs to full size, and after 2.5 s everything fades out over 0.5 s.

#include <QList>

namespace velmora {

// Progress 0 -> 1 of a spring released at t = 0; `response` is the period of the undamped
// oscillation in seconds, `damping` the damping fraction (1 = no overshoot).
double springProgress(double t, double response, double damping);
// Cubic ease-out over 0...1 (decelerates towards its end); clamps outside.
double easeOut(double t);

struct SplashValues {
    double opacity = 1.0;
    double scale = 0.8;
    double glow = 0.0;
    QList<double> letterOffsets; // downward shift of each letter, starts at 30
    bool visible = true;
};

inline constexpr double splashFadeStart = 2.5;
inline constexpr double splashFadeDuration = 0.5;
inline constexpr double splashEnd = 3.0;

SplashValues splashValuesAt(double seconds, int letterCount);

} // namespace velmora
