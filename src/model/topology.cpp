// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/topology.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

// Attached ids per cable, taken once per call so that a search does not re-derive them for every
// visited node.
QList<QList<qint64>> attachedIdLists(const QList<Cable>& cables)
{
    QList<QList<qint64>> lists;
    lists.reserve(cables.size());
    for (const Cable& cable : cables)
        lists.append(cableNodeIds(cable));
    return lists;
}

} // namespace

QList<qint64> cableNodeIds(const Cable& cable)
{
    QList<qint64> ids;
    for (const CablePoint& point : cable.points) {
        if (point.nodeId)
            ids.append(*point.nodeId);
    }
    return ids;
}

QList<Cable> cablesAtNode(const QList<Cable>& cables, qint64 nodeId)
{
    QList<Cable> result;
    for (const Cable& cable : cables) {
        if (cableNodeIds(cable).contains(nodeId))
            result.append(cable);
    }
    return result;
}

QList<qint64> directNeighbors(const QList<Cable>& cables, qint64 nodeId)
{
    QSet<qint64> neighbours;
    for (const Cable& cable : cables) {
        const QList<qint64> ids = cableNodeIds(cable);
        if (!ids.contains(nodeId))
            continue;
        for (qint64 id : ids) {
            if (id != nodeId)
                neighbours.insert(id);
        }
    }
    QList<qint64> result(neighbours.begin(), neighbours.end());
    std::sort(result.begin(), result.end());
    return result;
}

QList<qint64> breadthFirstOrder(const QList<Cable>& cables, qint64 start)
{
    const QList<QList<qint64>> lists = attachedIdLists(cables);
    QSet<qint64> visited{start};
    QList<qint64> order{start};
    // `order` doubles as the queue: everything before `next` has been expanded.
    for (qsizetype next = 0; next < order.size(); ++next) {
        const qint64 current = order.at(next);
        for (const QList<qint64>& ids : lists) {
            if (!ids.contains(current))
                continue;
            for (qint64 id : ids) {
                if (!visited.contains(id)) {
                    visited.insert(id);
                    order.append(id);
                }
            }
        }
    }
    return order;
}

qsizetype networkSize(const QList<Cable>& cables, qint64 start)
{
    return breadthFirstOrder(cables, start).size() - 1;
}

std::optional<int> hopsFromRoot(const QList<Cable>& cables, std::optional<qint64> rootNodeId,
                                qint64 target)
{
    if (!rootNodeId)
        return std::nullopt;
    if (*rootNodeId == target)
        return 0;
    const QList<QList<qint64>> lists = attachedIdLists(cables);
    QSet<qint64> visited{*rootNodeId};
    QList<std::pair<qint64, int>> queue{{*rootNodeId, 0}};
    for (qsizetype next = 0; next < queue.size(); ++next) {
        const auto [current, hops] = queue.at(next);
        for (const QList<qint64>& ids : lists) {
            if (!ids.contains(current))
                continue;
            for (qint64 id : ids) {
                if (visited.contains(id))
                    continue;
                if (id == target)
                    return hops + 1;
                visited.insert(id);
                queue.append({id, hops + 1});
            }
        }
    }
    return std::nullopt;
}

} // namespace velmora
