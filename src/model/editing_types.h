// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// In-memory Node and Cable lists derived from the project on every read (never cached).
// A cable point has no identity of its own: it is followed across edits by (cable index, point
// index), so its derived form is the stored record itself.

#include "model/project_data.h"

#include <QList>

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

using CablePoint = CablePointData;

struct Cable {
    qint64 id = 0;
    QList<CablePoint> points;

    bool operator==(const Cable&) const = default;
};

Node toNode(const NodeData& data);
NodeData toNodeData(const Node& node);
Cable toCable(const CableData& data);
CableData toCableData(const Cable& cable);

QList<Node> deriveNodes(const ProjectData& project);
QList<Cable> deriveCables(const ProjectData& project);

// A cable is connected when it has at least two points and both ends are attached to nodes.
bool isConnected(const QList<CablePoint>& points);

} // namespace velmora
