// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_grouping.h"

#include "model/topology.h"

namespace velmora {

namespace {

using Adjacency = QHash<qint64, QList<qint64>>;

// Every node's cabled neighbours, in cable-list and point order, each once.
Adjacency adjacency(const QList<Cable>& cables)
{
    Adjacency result;
    for (const Cable& cable : cables) {
        const QList<qint64> ids = cableNodeIds(cable);
        for (qint64 a : ids) {
            QList<qint64>& list = result[a];
            for (qint64 b : ids) {
                if (b != a && !list.contains(b))
                    list.append(b);
            }
        }
    }
    return result;
}

// Breadth first from `heads` (each its own owner) through nodes `mayEnter` accepts: every node
// reached belongs to the head that reached it first.
template <typename Accept>
void claimFrom(const QList<qint64>& heads, const Adjacency& links, Accept mayEnter,
               QHash<qint64, qint64>& owner)
{
    QList<qint64> queue;
    for (qint64 head : heads) {
        if (!owner.contains(head)) {
            owner.insert(head, head);
            queue.append(head);
        }
    }
    for (qsizetype i = 0; i < queue.size(); ++i) {
        const qint64 current = queue.at(i);
        for (qint64 next : links.value(current)) {
            if (owner.contains(next) || !mayEnter(next))
                continue;
            owner.insert(next, owner.value(current));
            queue.append(next);
        }
    }
}

} // namespace

QHash<qint64, qint64> outageUpstreams(const QList<qint64>& failed, const QSet<qint64>& offline,
                                      const QList<Cable>& cables, std::optional<qint64> rootNodeId,
                                      const QHash<qint64, PingStatus>& statuses)
{
    const Adjacency links = adjacency(cables);
    QHash<qint64, qint64> owner;
    if (rootNodeId) {
        // The part still reachable from the root, and the offline nodes on its edge in the
        // order the walk meets them.
        QSet<qint64> reachable;
        QList<qint64> frontier;
        if (offline.contains(*rootNodeId)) {
            frontier.append(*rootNodeId);
        } else {
            reachable.insert(*rootNodeId);
            QList<qint64> queue{*rootNodeId};
            QSet<qint64> seen{*rootNodeId};
            for (qsizetype i = 0; i < queue.size(); ++i) {
                for (qint64 next : links.value(queue.at(i))) {
                    if (seen.contains(next))
                        continue;
                    seen.insert(next);
                    if (offline.contains(next)) {
                        frontier.append(next);
                    } else {
                        reachable.insert(next);
                        queue.append(next);
                    }
                }
            }
        }
        claimFrom(
            frontier, links, [&](qint64 id) { return !reachable.contains(id); }, owner);
    } else {
        const auto hasOnlineNeighbour = [&](qint64 id) {
            for (qint64 next : links.value(id)) {
                if (!offline.contains(next) &&
                    statuses.value(next, PingStatus::unknown) == PingStatus::online)
                    return true;
            }
            return false;
        };
        QList<qint64> heads;
        for (qint64 id : failed) {
            if (offline.contains(id) && hasOnlineNeighbour(id))
                heads.append(id);
        }
        QList<qint64> others(offline.cbegin(), offline.cend());
        std::sort(others.begin(), others.end()); // a fixed order for nodes outside `failed`
        for (qint64 id : std::as_const(others)) {
            if (!heads.contains(id) && hasOnlineNeighbour(id))
                heads.append(id);
        }
        const auto isOffline = [&](qint64 id) { return offline.contains(id); };
        claimFrom(heads, links, isOffline, owner);
        for (qint64 id : failed) {
            if (offline.contains(id) && !owner.contains(id))
                claimFrom({id}, links, isOffline, owner);
        }
    }
    QHash<qint64, qint64> result;
    for (qint64 id : failed)
        result.insert(id, owner.value(id, id));
    return result;
}

} // namespace velmora
