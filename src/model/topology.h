// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How nodes are wired: every node attached to a cable is linked to every other node on the same
// cable, free points play no part. Figures are computed from the cable list on every call.

#include "model/editing_types.h"

#include <QList>

#include <optional>

namespace velmora {

// The nodeId of each point that has one, in point order, repeats kept.
QList<qint64> cableNodeIds(const Cable& cable);

// The cables with at least one point attached to nodeId, in cable-list order.
QList<Cable> cablesAtNode(const QList<Cable>& cables, qint64 nodeId);

// The distinct ids, other than nodeId, attached to any cable at nodeId (ascending order).
QList<qint64> directNeighbors(const QList<Cable>& cables, qint64 nodeId);

// The number of ids reachable from start through cables, start itself not counted. Ids that
// belong to no existing node count too: the figure is about attachment.
qsizetype networkSize(const QList<Cable>& cables, qint64 start);

// The least number of cables between root and target (each cable is one hop, however many nodes
// it carries); 0 when target is the root; none without a root or when target is unreachable.
std::optional<int> hopsFromRoot(const QList<Cable>& cables, std::optional<qint64> rootNodeId,
                                qint64 target);

// Breadth-first order of the ids reachable from start (start first), visiting cables in list
// order and each cable's ids in point order. Shared by the figures above and by outage focus.
QList<qint64> breadthFirstOrder(const QList<Cable>& cables, qint64 start);

} // namespace velmora
