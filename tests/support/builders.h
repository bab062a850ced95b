// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Short ways to write cable points and cables in tests. Nodes and projects are written with
// designated initialisers: NodeData{.id = 1, .name = u"A"_s, .x = 100}.

#include "model/project_data.h"

#include <numbers>

namespace velmora::test {

inline CablePointData nodePoint(qint64 nodeId, double anchorAngle = 0.0)
{
    return {.type = cablePointTypeNode, .nodeId = nodeId, .anchorAngle = anchorAngle};
}

inline CablePointData freePoint(double x, double y)
{
    return {.type = cablePointTypeFree, .x = x, .y = y};
}

// A straight cable from the right side of `from` to the left side of `to`.
inline CableData cableBetween(qint64 id, qint64 from, qint64 to)
{
    return {.id = id, .points = {nodePoint(from, 0.0), nodePoint(to, std::numbers::pi)}};
}

// A project holding `nodes` and `cables`, with counters one past their largest ids.
ProjectData projectWith(QList<NodeData> nodes, QList<CableData> cables = {});

} // namespace velmora::test
