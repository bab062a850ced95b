// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colours of node types: sRGB triples in 0...1 (QtCore only, so the model stays widget-free),
// and the fixed palette that hands colours out to new types.

#include <array>

namespace velmora {

struct Rgb {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;

    bool operator==(const Rgb&) const = default;
};

inline constexpr std::array<Rgb, 10> colorPalette{{
    {0.29, 0.87, 0.5},
    {0.97, 0.44, 0.44},
    {0.98, 0.75, 0.14},
    {0.38, 0.65, 0.98},
    {0.65, 0.55, 0.98},
    {0.96, 0.45, 0.72},
    {0.18, 0.83, 0.75},
    {0.98, 0.57, 0.24},
    {0.64, 0.9, 0.21},
    {0.91, 0.47, 0.97},
}};

} // namespace velmora
