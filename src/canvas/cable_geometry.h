// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where cable points lie: on a node's outline at their anchor angle, or free on the canvas, and
// where they are drawn while a node drag or point drag is running. Also the hit tests on cable
// points and segments. Pure functions of the project, the view transform and the gesture state.

#include "canvas/gesture_state.h"
#include "canvas/view_transform.h"
#include "model/editing_types.h"
#include "model/project_data.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QSet>

#include <optional>

namespace velmora {

// The node scale used for geometry. A stored scale that is not a positive finite number (only
// possible in a hand-edited file) is treated as 1 so that nothing downstream becomes NaN or
// infinite; very large scales are capped for the same reason.
double effectiveNodeScale(double scale);
// Same rule for the map image's scale.
double effectiveMapScale(double scale);

// The node's box in canvas units (top-left x, y; nodeWidth x scale by nodeHeight x scale).
QRectF nodeCanvasRect(const NodeData& node);
QPointF nodeCentre(const NodeData& node);
// Where the ray from the node's centre in direction `angle` (radians, y pointing down) leaves
// its box. The rounded corners are ignored.
QPointF outlinePoint(const NodeData& node, double angle);

// The first node with that id, or null.
const NodeData* findNode(const ProjectData& project, qint64 id);

// The selection the geometry needs (QSet copies are O(1)).
struct SelectionSets {
    QSet<qint64> nodes;
    QSet<qint64> cableIds;
};

// A cable point by position: index in the project's cable list, index in that cable's points.
struct CablePointRef {
    qsizetype cableIndex = 0;
    qsizetype pointIndex = 0;

    bool operator==(const CablePointRef&) const = default;
};

// Canvas position of a point: a free point at (x, y); any other point on its node's outline,
// or at (0, 0) when the node is missing.
QPointF anchorPosition(const CablePointData& point, const ProjectData& project);

// Geometry of all cables of one project under one view and gesture state. Build one per frame or
// per event: it indexes the nodes once, so positioning every point of every cable is linear.
class CableGeometry final {
public:
    // Screen distance below which a pointer grabs a cable point, and hits a segment, at zoom 1.
    static constexpr double pointHitRadius = 12.0;
    static constexpr double segmentHitDistance = 10.0;

    CableGeometry(const ProjectData& project, const ViewTransform& transform,
                  const GestureState& gesture, SelectionSets selection);

    const NodeData* node(qint64 id) const;
    QPointF anchorPosition(const CablePointData& point) const;
    // Screen position for drawing and hit testing, with the previews of a running node drag
    // (selected nodes and some free points shifted) and point drag (the dragged point, free or
    // sliding along its node's outline).
    QPointF screenPosition(const CablePointData& point) const;
    QList<QPointF> screenPositions(const QList<CablePointData>& points) const;

    // The first point, cables in list order, closer than 12 x zoom to p (screen units).
    std::optional<CablePointRef> pointAt(QPointF p) const;
    // Index of the cable with a segment closer than 10 x zoom to p; the last cable wins.
    std::optional<qsizetype> segmentAt(QPointF p) const;

private:
    bool freePointFollowsNodeDrag(const CablePointData& point) const;
    const CablePointData* draggedPoint() const;

    ProjectData m_project; // O(1) copy; keeps the geometry valid whatever the caller does
    ViewTransform m_transform;
    GestureState m_gesture;
    SelectionSets m_selection;
    QHash<qint64, qsizetype> m_nodeIndex;
    // Only while a node drag runs: free point position -> first cable holding such a point.
    QHash<QPair<double, double>, qsizetype> m_firstCableWithFreePoint;
};

// Distance from p to the segment a-b (to a when both ends coincide).
double distanceToSegment(QPointF p, QPointF a, QPointF b);

} // namespace velmora
