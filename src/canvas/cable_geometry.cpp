// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/cable_geometry.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <utility>

namespace velmora {

namespace {

// Beyond this the box of a node would overflow to infinity once multiplied by the zoom.
constexpr double maxGeometryScale = 1.0e6;

double sanitizedScale(double scale)
{
    if (!std::isfinite(scale) || scale <= 0.0)
        return 1.0;
    return std::min(scale, maxGeometryScale);
}

bool isFree(const CablePointData& point)
{
    return point.type == cablePointTypeFree;
}

// Exact-coordinate key for "a free point at the same x and y"; -0 and +0 compare equal, so
// they must hash equal too.
QPair<double, double> freeKey(const CablePointData& point)
{
    return {point.x + 0.0, point.y + 0.0};
}

} // namespace

double effectiveNodeScale(double scale)
{
    return sanitizedScale(scale);
}

double effectiveMapScale(double scale)
{
    return sanitizedScale(scale);
}

QRectF nodeCanvasRect(const NodeData& node)
{
    const double s = effectiveNodeScale(node.scale);
    return QRectF(node.x, node.y, nodeWidth * s, nodeHeight * s);
}

QPointF nodeCentre(const NodeData& node)
{
    return nodeCanvasRect(node).center();
}

QPointF outlinePoint(const NodeData& node, double angle)
{
    const double s = effectiveNodeScale(node.scale);
    const double hw = nodeWidth * s / 2.0;
    const double hh = nodeHeight * s / 2.0;
    const QPointF c(node.x + hw, node.y + hh);
    const double sinA = std::sin(angle);
    const double cosA = std::cos(angle);
    double t = 0.0;
    if (hw * std::abs(sinA) < hh * std::abs(cosA)) {
        // Leaves through the left or right side. |cos a| > 0 here because hw, hh > 0.
        t = hw / std::abs(cosA);
    } else if (sinA == 0.0 || std::isnan(sinA)) {
        return QPointF(c.x() + hw, c.y());
    } else {
        t = hh / std::abs(sinA);
    }
    return QPointF(c.x() + cosA * t, c.y() + sinA * t);
}

const NodeData* findNode(const ProjectData& project, qint64 id)
{
    for (const NodeData& node : project.nodes) {
        if (node.id == id)
            return &node;
    }
    return nullptr;
}

QPointF anchorPosition(const CablePointData& point, const ProjectData& project)
{
    if (isFree(point))
        return QPointF(point.x, point.y);
    if (!point.nodeId)
        return QPointF(0.0, 0.0);
    const NodeData* node = findNode(project, *point.nodeId);
    return node ? outlinePoint(*node, point.anchorAngle) : QPointF(0.0, 0.0);
}

CableGeometry::CableGeometry(const ProjectData& project, const ViewTransform& transform,
                             const GestureState& gesture, SelectionSets selection)
    : m_project(project), m_transform(transform), m_gesture(gesture),
      m_selection(std::move(selection))
{
    // Read through const references only: a non-const operator[] on the shared lists would
    // detach them and copy every node and cable of the project.
    const QList<NodeData>& nodes = std::as_const(m_project.nodes);
    const QList<CableData>& cables = std::as_const(m_project.cables);
    m_nodeIndex.reserve(nodes.size());
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        // With duplicate ids (hand-edited files) the first node wins, as in a linear search.
        if (!m_nodeIndex.contains(nodes[i].id))
            m_nodeIndex.insert(nodes[i].id, i);
    }
    if (m_gesture.draggedNode) {
        for (qsizetype c = 0; c < cables.size(); ++c) {
            for (const CablePointData& point : cables[c].points) {
                if (isFree(point) && !std::isnan(point.x) && !std::isnan(point.y) &&
                    !m_firstCableWithFreePoint.contains(freeKey(point)))
                    m_firstCableWithFreePoint.insert(freeKey(point), c);
            }
        }
    }
}

const NodeData* CableGeometry::node(qint64 id) const
{
    const auto it = m_nodeIndex.constFind(id);
    return it == m_nodeIndex.cend() ? nullptr : &m_project.nodes[*it];
}

QPointF CableGeometry::anchorPosition(const CablePointData& point) const
{
    if (isFree(point))
        return QPointF(point.x, point.y);
    if (!point.nodeId)
        return QPointF(0.0, 0.0);
    const NodeData* n = node(*point.nodeId);
    return n ? outlinePoint(*n, point.anchorAngle) : QPointF(0.0, 0.0);
}

// A free point moves with a node drag when the first cable holding a free point at exactly
// that position is selected and is attached only to selected nodes (and to at least one).
bool CableGeometry::freePointFollowsNodeDrag(const CablePointData& point) const
{
    const auto it = m_firstCableWithFreePoint.constFind(freeKey(point));
    if (it == m_firstCableWithFreePoint.cend())
        return false;
    const CableData& cable = m_project.cables[*it];
    if (!m_selection.cableIds.contains(cable.id))
        return false;
    bool hasNode = false;
    for (const CablePointData& p : cable.points) {
        if (!p.nodeId)
            continue;
        hasNode = true;
        if (!m_selection.nodes.contains(*p.nodeId))
            return false;
    }
    return hasNode;
}

const CablePointData* CableGeometry::draggedPoint() const
{
    if (!m_gesture.isPointDragActive())
        return nullptr;
    const qsizetype ci = *m_gesture.draggingCableIndex;
    const qsizetype pi = *m_gesture.draggingPointIndex;
    if (ci < 0 || ci >= m_project.cables.size())
        return nullptr;
    const CableData& cable = m_project.cables[ci];
    if (pi < 0 || pi >= cable.points.size())
        return nullptr;
    return &cable.points[pi];
}

QPointF CableGeometry::screenPosition(const CablePointData& point) const
{
    QPointF s = m_transform.toScreen(anchorPosition(point));
    const QPointF dragShift(m_gesture.nodeDragOffset.width(), m_gesture.nodeDragOffset.height());

    if (m_gesture.draggedNode) {
        if (isFree(point)) {
            if (freePointFollowsNodeDrag(point))
                s += dragShift;
        } else if (point.nodeId && m_selection.nodes.contains(*point.nodeId)) {
            s += dragShift;
        }
    }

    if (const CablePointData* d = draggedPoint()) {
        const QPointF pointShift(m_gesture.draggingPointOffset.width(),
                                 m_gesture.draggingPointOffset.height());
        if (isFree(point)) {
            // Only a dragged free point carries its offset; a node point's stored x and y are
            // meaningless, so a free point that happens to share them does not move.
            if (isFree(*d) && point.x == d->x && point.y == d->y)
                s += pointShift;
        } else if (point.nodeId && d->nodeId && *point.nodeId == *d->nodeId &&
                   point.anchorAngle == d->anchorAngle) {
            if (const NodeData* n = node(*point.nodeId)) {
                const QPointF q = m_transform.toCanvas(s + pointShift);
                const QPointF c = nodeCentre(*n);
                const double angle = std::atan2(q.y() - c.y(), q.x() - c.x());
                s = m_transform.toScreen(outlinePoint(*n, std::isfinite(angle) ? angle : 0.0));
            }
        }
    }
    return s;
}

QList<QPointF> CableGeometry::screenPositions(const QList<CablePointData>& points) const
{
    QList<QPointF> result;
    result.reserve(points.size());
    for (const CablePointData& point : points)
        result.append(screenPosition(point));
    return result;
}

std::optional<CablePointRef> CableGeometry::pointAt(QPointF p) const
{
    const double radius = pointHitRadius * m_transform.zoom;
    for (qsizetype c = 0; c < m_project.cables.size(); ++c) {
        const QList<CablePointData>& points = m_project.cables[c].points;
        for (qsizetype i = 0; i < points.size(); ++i) {
            if (QLineF(screenPosition(points[i]), p).length() < radius)
                return CablePointRef{c, i};
        }
    }
    return std::nullopt;
}

std::optional<qsizetype> CableGeometry::segmentAt(QPointF p) const
{
    const double limit = segmentHitDistance * m_transform.zoom;
    for (qsizetype c = m_project.cables.size() - 1; c >= 0; --c) {
        const QList<CablePointData>& points = m_project.cables[c].points;
        if (points.size() < 2)
            continue;
        const QList<QPointF> screen = screenPositions(points);
        for (qsizetype i = 0; i + 1 < screen.size(); ++i) {
            if (distanceToSegment(p, screen[i], screen[i + 1]) < limit)
                return c;
        }
    }
    return std::nullopt;
}

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const double lengthSquared = QPointF::dotProduct(ab, ab);
    if (lengthSquared <= 0.0)
        return QLineF(p, a).length();
    const double t = std::clamp(QPointF::dotProduct(p - a, ab) / lengthSquared, 0.0, 1.0);
    return QLineF(p, a + t * ab).length();
}

} // namespace velmora
