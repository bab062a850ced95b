// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Editing operations on node geometry for the canvas: moving the selection, resizing nodes and
// the map, and matching node sizes. Free functions on the session; those that change the project
// as one user action record an undo snapshot first, the per-move resize writes do not.

#include <QPointF>

#include <optional>

namespace velmora {

class ProjectSession;

// Node scale limits of a resize drag, and map scale limits.
inline constexpr double minNodeResizeScale = 0.5;
inline constexpr double maxNodeResizeScale = 3.0;
inline constexpr double minMapResizeScale = 0.1;
inline constexpr double maxMapResizeScale = 5.0;

// The factor of a resize drag: 200 units right and 200 down double the size.
double resizeFactor(QPointF translation);

// Moves every selected node that exists, and every free point of every selected cable that
// exists, by `delta` canvas units. One undo snapshot. A delta that is not finite moves nothing.
void moveSelection(ProjectSession& session, QPointF delta);

// Writes a node's scale, clamped to the resize limits; no snapshot (a resize gesture records one
// at its start). Returns false when the node does not exist.
bool setNodeScale(ProjectSession& session, qint64 nodeId, double scale);
// Writes the map's scale, clamped to the map limits; no snapshot. False without a map.
bool setMapScale(ProjectSession& session, double scale);

// Counts for the "Match Size" menu of one node: other nodes of the same type (exact text), and
// all nodes but this one.
qsizetype otherNodesOfSameType(const ProjectSession& session, qint64 nodeId);

// Gives every node of the node's type (compared exactly) the node's scale. One snapshot; nothing
// when the node does not exist.
void matchSizeOfType(ProjectSession& session, qint64 nodeId);
// Gives every node the node's scale. One snapshot; nothing when the node does not exist.
void matchSizeOfAll(ProjectSession& session, qint64 nodeId);
// Gives every selected node the scale of the first selected node in project order. One
// snapshot; nothing when no selected node exists.
void matchSizeOfSelection(ProjectSession& session);

} // namespace velmora
