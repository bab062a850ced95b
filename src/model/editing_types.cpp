// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/editing_types.h"

namespace velmora {

Node toNode(const NodeData& data)
{
    return Node{data.id, data.name, data.type, data.ip, data.x, data.y, data.scale};
}

NodeData toNodeData(const Node& node)
{
    return NodeData{node.id, node.name, node.type, node.ip, node.x, node.y, node.scale};
}

Cable toCable(const CableData& data)
{
    return Cable{data.id, data.points};
}

CableData toCableData(const Cable& cable)
{
    return CableData{cable.id, cable.points};
}

QList<Node> deriveNodes(const ProjectData& project)
{
    QList<Node> nodes;
    nodes.reserve(project.nodes.size());
    for (const NodeData& node : project.nodes)
        nodes.append(toNode(node));
    return nodes;
}

QList<Cable> deriveCables(const ProjectData& project)
{
    QList<Cable> cables;
    cables.reserve(project.cables.size());
    for (const CableData& cable : project.cables)
        cables.append(toCable(cable));
    return cables;
}

bool isConnected(const QList<CablePoint>& points)
{
    return points.size() >= 2 && points.first().type == cablePointTypeNode &&
           points.last().type == cablePointTypeNode;
}

} // namespace velmora
