// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which node, node resize handle or map resize handle lies under a screen position. Node boxes
// are taken without drag offsets; later nodes lie on top of earlier ones.

#include "canvas/app_mode.h"
#include "canvas/view_transform.h"
#include "model/project_data.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace velmora {

// A node's box on screen (node scale and zoom applied).
QRectF nodeScreenRect(const NodeData& node, const ViewTransform& transform);
// The 16 x 16 square (screen units, never scaled) at the bottom-right corner of a screen box.
QRectF handleRect(const QRectF& screenBox);
// The map image's rectangle on screen; `imagePixelSize` is the decoded image's size.
QRectF mapScreenRect(const MapData& map, QSizeF imagePixelSize, const ViewTransform& transform);

// Index of the last node whose screen box contains p (edges included).
std::optional<qsizetype> nodeAt(QPointF p, const ProjectData& project,
                                const ViewTransform& transform);
// Index of the last node whose resize handle contains p (edges included); every node has a
// handle, selected or not. None in live mode.
std::optional<qsizetype> nodeHandleAt(QPointF p, const ProjectData& project,
                                      const ViewTransform& transform, AppMode mode);
// True when the project has a map image and p lies in its resize handle (edges included).
bool mapHandleHit(QPointF p, const ProjectData& project, QSizeF imagePixelSize,
                  const ViewTransform& transform);

} // namespace velmora
