// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes one frame of the canvas to a file: PNG (raster), SVG or PDF (vector, texts stay text,
// the map stays an embedded image), chosen by the file name's extension. Every format is drawn
// by CanvasRenderer, so an export looks exactly like the canvas.

#include "canvas/canvas_renderer.h"
#include "model/expected.h"

#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

namespace velmora {

enum class ExportFormat { png, svg, pdf };

// By the file name's extension, in any letter case; none for any other extension.
std::optional<ExportFormat> exportFormatFor(const QString& path);
// "png, svg or pdf", for messages.
QString exportFormatList();

// Free space around the content in an exported map, in output units.
inline constexpr double exportMargin = 40.0;
// The largest side of an exported image; larger content is scaled down to it.
inline constexpr int maxExportSide = 16384;

// Everything the canvas draws of the project, in canvas units: the map image, every node's box
// with room for its glow and root crown, every cable point. Empty for an empty project.
QRectF contentBounds(const ProjectData& project, QSize mapPixelSize);
// The view that centres `bounds` in `size` with `margin` on every side, never enlarged past
// zoom 1 when `enlarge` is false.
ViewTransform framedView(const QRectF& bounds, QSizeF size, double margin, bool enlarge = true);
// The output size that holds `bounds` at zoom 1 with the margin (at most maxExportSide a side).
QSize exportSize(const QRectF& bounds, double margin = exportMargin);

// Draws `frame` at `size` into `path` in the format of its extension; the file is replaced
// atomically or left as it was.
Expected<void> writeCanvasExport(const QString& path, QSize size, const RenderFrame& frame);

} // namespace velmora
