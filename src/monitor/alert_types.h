// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One raised alert about nodes that went down, came back or became slow, and the texts that
// banners, the alert history and desktop notifications show for it.

#include "model/editing_types.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace velmora {

enum class AlertType : quint8 {
    offline = 0,
    online = 1,
    slow = 2,
};

struct NetworkAlert {
    QUuid id;
    QDateTime timestamp;
    AlertType type = AlertType::offline;
    QList<qint64> nodeIds;
    QStringList nodeNames; // same order as nodeIds
    bool isVisible = true; // the banner is shown; the alert stays in the history either way
    // A grouped alert: nodeIds.first() is the failed (or recovered) upstream node and the rest
    // are the nodes behind it, folded into this one alert.
    bool isGrouped = false;
    // On an online alert: how long the outage it ends lasted (from the published offline
    // status to the published recovery), when known.
    std::optional<qint64> outageSeconds;

    bool operator==(const NetworkAlert&) const = default;
};

// "Offline", "Online", "Slow".
QString alertTypeWord(AlertType type);

// "<name> <Type>" for one node ("Node" when no name is known), else "<count> Nodes <Type>".
// A grouped alert: "Core Switch Offline — 7 nodes behind it unreachable" ("... Online — 7 nodes
// behind it reachable again").
QString alertTitle(const NetworkAlert& alert);

// One node: the current address of that node in `nodes` (empty when it no longer exists).
// Otherwise the names joined with ", "; from four names on, the first two then " +N more".
// A grouped alert: the names of the nodes behind, up to five, then " and N more".
QString alertMessage(const NetworkAlert& alert, const QList<Node>& nodes);

// The wall-clock time of an alert in local time, "14:02:31".
QString clockTimeText(const QDateTime& timestamp);
// An outage's length: "45s", "3m 12s", "2h 5m".
QString durationText(qint64 seconds);
// The alert history's time line: "14:02:31 · 2m ago", and on an online alert that ends an outage
// of known length " · down 3m 12s".
QString historyTimeText(const NetworkAlert& alert, const QDateTime& now);

// "now" under a minute, then whole minutes "Nm ago" up to 3599 s, then whole hours "Nh ago".
// A timestamp in the future (the clock was set back) reads "now".
QString relativeTimeText(const QDateTime& timestamp, const QDateTime& now);

} // namespace velmora

Q_DECLARE_METATYPE(velmora::NetworkAlert)
