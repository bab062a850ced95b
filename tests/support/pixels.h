// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pixel checks on rendered images.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>

namespace velmora::test {

// Every channel (alpha included) within `tolerance`.
bool colorsNear(const QColor& a, const QColor& b, int tolerance = 6);
// How many pixels of `area` (the whole image when empty) are near `color`.
int countNear(const QImage& image, const QColor& color, int tolerance = 6, QRect area = {});
// How many pixels of `area` differ from the background colour `background`.
int countNotNear(const QImage& image, const QColor& background, int tolerance = 6, QRect area = {});
// The smallest rectangle holding every pixel near `color`; empty when there is none.
QRect boundsNear(const QImage& image, const QColor& color, int tolerance = 6);
// The image encoded as PNG (map image bytes for a project).
QByteArray pngOf(const QImage& image);

} // namespace velmora::test
