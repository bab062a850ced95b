// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a floor-plan file into pixels: raster images through Qt's image plugins (PNG, JPEG,
// WebP, TIFF, BMP, GIF), SVG drawings rendered 3000 pixels wide, and the first page of a PDF
// rendered 3000 pixels wide. Drawings and pages are put on white, as they are printed.

#include "model/expected.h"

#include <QImage>
#include <QString>
#include <QStringList>

namespace velmora {

inline constexpr int floorPlanRenderWidth = 3000;

// The file name patterns the floor-plan picker offers.
QStringList floorPlanFilePatterns();

// The file's image; the error says why it could not be read or rendered.
Expected<QImage> readFloorPlan(const QString& path);

} // namespace velmora
