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

    bool operator==(const NetworkAlert&) const = default;
};

// "Offline", "Online", "Slow".
QString alertTypeWord(AlertType type);

// "<name> <Type>" for one node ("Node" when no name is known), else "<count> Nodes <Type>".
QString alertTitle(const NetworkAlert& alert);

// One node: the current address of that node in `nodes` (empty when it no longer exists).
// Otherwise the names joined with ", "; from four names on, the first two then " +N more".
QString alertMessage(const NetworkAlert& alert, const QList<Node>& nodes);

// "now" under a minute, then whole minutes "Nm ago" up to 3599 s, then whole hours "Nh ago".
// A timestamp in the future (the clock was set back) reads "now".
QString relativeTimeText(const QDateTime& timestamp, const QDateTime& now);

} // namespace velmora

Q_DECLARE_METATYPE(velmora::NetworkAlert)
