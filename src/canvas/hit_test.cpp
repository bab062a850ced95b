// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/hit_test.h"

#include "canvas/cable_geometry.h"

namespace velmora {

namespace {

// QRectF::contains treats the right and bottom edges as outside; hits include them.
bool containsWithEdges(const QRectF& rect, QPointF p)
{
    return p.x() >= rect.left() && p.x() <= rect.right() && p.y() >= rect.top() &&
           p.y() <= rect.bottom();
}

} // namespace

QRectF nodeScreenRect(const NodeData& node, const ViewTransform& transform)
{
    return transform.toScreen(nodeCanvasRect(node));
}

QRectF handleRect(const QRectF& screenBox)
{
    return QRectF(screenBox.right() - mapHandleSize, screenBox.bottom() - mapHandleSize,
                  mapHandleSize, mapHandleSize);
}

QRectF mapScreenRect(const MapData& map, QSizeF imagePixelSize, const ViewTransform& transform)
{
    const double s = effectiveMapScale(map.scale);
    return transform.toScreen(QRectF(map.positionX, map.positionY, imagePixelSize.width() * s,
                                     imagePixelSize.height() * s));
}

std::optional<qsizetype> nodeAt(QPointF p, const ProjectData& project,
                                const ViewTransform& transform)
{
    for (qsizetype i = project.nodes.size() - 1; i >= 0; --i) {
        if (containsWithEdges(nodeScreenRect(project.nodes[i], transform), p))
            return i;
    }
    return std::nullopt;
}

std::optional<qsizetype> nodeHandleAt(QPointF p, const ProjectData& project,
                                      const ViewTransform& transform, AppMode mode)
{
    if (mode != AppMode::edit)
        return std::nullopt;
    for (qsizetype i = project.nodes.size() - 1; i >= 0; --i) {
        if (containsWithEdges(handleRect(nodeScreenRect(project.nodes[i], transform)), p))
            return i;
    }
    return std::nullopt;
}

bool mapHandleHit(QPointF p, const ProjectData& project, QSizeF imagePixelSize,
                  const ViewTransform& transform)
{
    if (!project.hasMapImage())
        return false;
    return containsWithEdges(handleRect(mapScreenRect(*project.map, imagePixelSize, transform)), p);
}

} // namespace velmora
