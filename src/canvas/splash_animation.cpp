// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/splash_animation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora {

double springProgress(double t, double response, double damping)
{
    if (t <= 0.0)
        return 0.0;
    const double omega = 2.0 * std::numbers::pi / response;
    if (damping >= 1.0)
        return 1.0 - std::exp(-omega * t) * (1.0 + omega * t);
    const double decay = damping * omega;
    const double omegaD = omega * std::sqrt(1.0 - damping * damping);
    return 1.0 -
           std::exp(-decay * t) * (std::cos(omegaD * t) + decay / omegaD * std::sin(omegaD * t));
}

double easeOut(double t)
{
    const double c = std::clamp(t, 0.0, 1.0);
    return 1.0 - std::pow(1.0 - c, 3.0);
}

SplashValues splashValuesAt(double seconds, int letterCount)
{
    SplashValues values;
    values.letterOffsets.reserve(letterCount);
    for (int i = 0; i < letterCount; ++i)
        values.letterOffsets.append(30.0 * (1.0 - springProgress(seconds - i * 0.08, 0.6, 0.7)));
    values.glow = easeOut((seconds - 0.3) / 1.0);
    values.scale = 0.8 + 0.2 * springProgress(seconds, 0.8, 0.6);
    values.opacity = 1.0 - easeOut((seconds - splashFadeStart) / splashFadeDuration);
    values.visible = seconds < splashEnd;
    return values;
}

} // namespace velmora
