// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// In-memory Node and Cable lists derived from the project on every read (never cached).
// A CablePoint gets a fresh random UUID at each derivation, so a point is followed across edits
// by (cable index, point index), never by its id.

#include "model/project_data.h"

#include <QList>
#include <QUuid>

namespace velmora {

struct Node {
    qint64 id = 0;
    QString name;
    QString type;
    QString ip;
    double x = 0.0;
    double y = 0.0;
    double scale = 1.0;

    bool operator==(const Node&) const = default;
};

struct CablePoint {
    QUuid id;
    QString type;
    double x = 0.0;
    double y = 0.0;
    std::optional<qint64> nodeId;
    double anchorAngle = 0.0;

    bool operator==(const CablePoint&) const = default;
};

struct Cable {
    qint64 id = 0;
    QList<CablePoint> points;

    bool operator==(const Cable&) const = default;
};

Node toNode(const NodeData& data);
NodeData toNodeData(const Node& node);
CablePoint toCablePoint(const CablePointData& data); // draws a fresh UUID
CablePointData toCablePointData(const CablePoint& point);
Cable toCable(const CableData& data);
CableData toCableData(const Cable& cable);

QList<Node> deriveNodes(const ProjectData& project);
QList<Cable> deriveCables(const ProjectData& project);

// A cable is connected when it has at least two points and both ends are attached to nodes.
bool isConnected(const QList<CablePoint>& points);
bool isConnected(const QList<CablePointData>& points);

} // namespace velmora
