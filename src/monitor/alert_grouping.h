// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which failed node an outage alert belongs to, so that one broken switch raises one alert for
// itself and everything that became unreachable behind it.

#include "model/editing_types.h"
#include "monitor/ping_status.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <optional>

namespace velmora {

// For each id of `failed` (nodes confirmed offline together, in order), the node whose alert it
// is folded into: the node itself when it heads an outage, else the offline node in front of it.
// `offline` holds every node now offline.
// With a root: nodes cut off from the root by offline nodes belong to the first offline node met
// on the way from the root (breadth first, cables in list order); the root itself heads
// everything when it is offline; a node with no cabled path to the root heads its own outage.
// Without a root: within each group of cabled offline nodes, the nodes with a directly cabled
// online neighbour head it and the others belong to the nearest head; a group without such a
// node is headed by its first failed node.
QHash<qint64, qint64> outageUpstreams(const QList<qint64>& failed, const QSet<qint64>& offline,
                                      const QList<Cable>& cables, std::optional<qint64> rootNodeId,
                                      const QHash<qint64, PingStatus>& statuses);

} // namespace velmora
