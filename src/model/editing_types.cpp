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

CablePoint toCablePoint(const CablePointData& data)
{
    return CablePoint{QUuid::createUuid(), data.type,       data.x, data.y,
                      data.nodeId,         data.anchorAngle};
}

CablePointData toCablePointData(const CablePoint& point)
{
    return CablePointData{point.type, point.x, point.y, point.nodeId, point.anchorAngle};
}

Cable toCable(const CableData& data)
{
    Cable cable{data.id, {}};
    cable.points.reserve(data.points.size());
    for (const CablePointData& point : data.points)
        cable.points.append(toCablePoint(point));
    return cable;
}

CableData toCableData(const Cable& cable)
{
    CableData data{cable.id, {}};
    data.points.reserve(cable.points.size());
    for (const CablePoint& point : cable.points)
        data.points.append(toCablePointData(point));
    return data;
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

namespace {
template <typename Points> bool connectedImpl(const Points& points)
{
    return points.size() >= 2 && points.first().type == cablePointTypeNode &&
           points.last().type == cablePointTypeNode;
}
} // namespace

bool isConnected(const QList<CablePoint>& points)
{
    return connectedImpl(points);
}

bool isConnected(const QList<CablePointData>& points)
{
    return connectedImpl(points);
}

} // namespace velmora
