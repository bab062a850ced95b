// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_types.h"

using namespace Qt::StringLiterals;

namespace velmora {

QString alertTypeWord(AlertType type)
{
    switch (type) {
    case AlertType::offline:
        return u"Offline"_s;
    case AlertType::online:
        return u"Online"_s;
    case AlertType::slow:
        return u"Slow"_s;
    }
    return {};
}

QString alertTitle(const NetworkAlert& alert)
{
    const QString word = alertTypeWord(alert.type);
    if (alert.nodeIds.size() == 1) {
        const QString name = alert.nodeNames.isEmpty() ? u"Node"_s : alert.nodeNames.first();
        return name + u' ' + word;
    }
    return QString::number(alert.nodeIds.size()) + u" Nodes "_s + word;
}

QString alertMessage(const NetworkAlert& alert, const QList<Node>& nodes)
{
    if (alert.nodeIds.size() == 1) {
        const qint64 id = alert.nodeIds.first();
        for (const Node& node : nodes) {
            if (node.id == id)
                return node.ip;
        }
        return {};
    }
    if (alert.nodeIds.size() <= 3)
        return alert.nodeNames.join(u", "_s);
    const QString firstTwo = alert.nodeNames.mid(0, 2).join(u", "_s);
    return firstTwo + u" +"_s + QString::number(alert.nodeIds.size() - 2) + u" more"_s;
}

QString relativeTimeText(const QDateTime& timestamp, const QDateTime& now)
{
    const qint64 seconds = timestamp.msecsTo(now) / 1000; // truncated toward zero
    if (seconds < 60)
        return u"now"_s;
    if (seconds <= 3599)
        return QString::number(seconds / 60) + u"m ago"_s;
    return QString::number(seconds / 3600) + u"h ago"_s;
}

} // namespace velmora
