// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/node_operations.h"

#include "model/project_session.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

const NodeData* nodeWithId(const ProjectData& project, qint64 id)
{
    for (const NodeData& node : project.nodes) {
        if (node.id == id)
            return &node;
    }
    return nullptr;
}

// A scale that is not a number must not reach the file; it falls back to 1 before clamping.
double clampedScale(double scale, double low, double high)
{
    if (std::isnan(scale))
        scale = 1.0;
    return std::clamp(scale, low, high);
}

} // namespace

double resizeFactor(QPointF translation)
{
    return ((translation.x() + translation.y()) / 2.0) / 200.0 + 1.0;
}

void moveSelection(ProjectSession& session, QPointF delta)
{
    if (!std::isfinite(delta.x()) || !std::isfinite(delta.y()))
        return;
    const QSet<qint64> nodes = session.selectedNodes();
    const QSet<qint64> cables = session.selectedCableIds();
    session.pushUndoSnapshot();
    session.document()->modify([&](ProjectData& project) {
        for (NodeData& node : project.nodes) {
            if (nodes.contains(node.id)) {
                node.x += delta.x();
                node.y += delta.y();
            }
        }
        for (CableData& cable : project.cables) {
            if (!cables.contains(cable.id))
                continue;
            for (CablePointData& point : cable.points) {
                if (point.type == cablePointTypeFree) {
                    point.x += delta.x();
                    point.y += delta.y();
                }
            }
        }
    });
}

bool setNodeScale(ProjectSession& session, qint64 nodeId, double scale)
{
    if (!nodeWithId(session.project(), nodeId))
        return false;
    const double value = clampedScale(scale, minNodeResizeScale, maxNodeResizeScale);
    session.document()->modify([&](ProjectData& project) {
        for (NodeData& node : project.nodes) {
            if (node.id == nodeId) {
                node.scale = value;
                break;
            }
        }
    });
    return true;
}

bool setMapScale(ProjectSession& session, double scale)
{
    if (!session.project().map)
        return false;
    const double value = clampedScale(scale, minMapResizeScale, maxMapResizeScale);
    session.document()->modify([&](ProjectData& project) { project.map->scale = value; });
    return true;
}

qsizetype otherNodesOfSameType(const ProjectSession& session, qint64 nodeId)
{
    const NodeData* node = nodeWithId(session.project(), nodeId);
    if (!node)
        return 0;
    const QString type = node->type;
    qsizetype count = 0;
    for (const NodeData& other : session.project().nodes) {
        if (other.type == type)
            ++count;
    }
    return count - 1;
}

void matchSizeOfType(ProjectSession& session, qint64 nodeId)
{
    const NodeData* node = nodeWithId(session.project(), nodeId);
    if (!node)
        return;
    const QString type = node->type;
    const double scale = node->scale;
    session.pushUndoSnapshot();
    session.document()->modify([&](ProjectData& project) {
        for (NodeData& other : project.nodes) {
            if (other.type == type)
                other.scale = scale;
        }
    });
}

void matchSizeOfAll(ProjectSession& session, qint64 nodeId)
{
    const NodeData* node = nodeWithId(session.project(), nodeId);
    if (!node)
        return;
    const double scale = node->scale;
    session.pushUndoSnapshot();
    session.document()->modify([&](ProjectData& project) {
        for (NodeData& other : project.nodes)
            other.scale = scale;
    });
}

void matchSizeOfSelection(ProjectSession& session)
{
    const QSet<qint64> selected = session.selectedNodes();
    const auto& nodes = session.project().nodes;
    const auto first = std::find_if(nodes.cbegin(), nodes.cend(), [&](const NodeData& node) {
        return selected.contains(node.id);
    });
    if (first == nodes.cend())
        return;
    const double scale = first->scale;
    session.pushUndoSnapshot();
    session.document()->modify([&](ProjectData& project) {
        for (NodeData& node : project.nodes) {
            if (selected.contains(node.id))
                node.scale = scale;
        }
    });
}

} // namespace velmora
