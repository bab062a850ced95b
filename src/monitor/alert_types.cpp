// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_types.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// The translation context of the alert texts.
struct AlertText {
    Q_DECLARE_TR_FUNCTIONS(AlertText)
};

} // namespace

QString alertTypeWord(AlertType type)
{
    switch (type) {
    case AlertType::offline:
        return AlertText::tr("Offline");
    case AlertType::online:
        return AlertText::tr("Online");
    case AlertType::slow:
        return AlertText::tr("Slow");
    }
    return {};
}

QString alertTitle(const NetworkAlert& alert)
{
    const QString word = alertTypeWord(alert.type);
    // One-pass arg(): a name holding "%2" stays as it is.
    if (alert.nodeIds.size() == 1) {
        const QString name =
            alert.nodeNames.isEmpty() ? AlertText::tr("Node") : alert.nodeNames.first();
        return AlertText::tr("%1 %2").arg(name, word);
    }
    return AlertText::tr("%1 Nodes %2").arg(QString::number(alert.nodeIds.size()), word);
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
    return AlertText::tr("%1 +%2 more").arg(firstTwo, QString::number(alert.nodeIds.size() - 2));
}

QString relativeTimeText(const QDateTime& timestamp, const QDateTime& now)
{
    const qint64 seconds = timestamp.msecsTo(now) / 1000; // truncated toward zero
    if (seconds < 60)
        return AlertText::tr("now");
    if (seconds <= 3599)
        return AlertText::tr("%1m ago").arg(seconds / 60);
    return AlertText::tr("%1h ago").arg(seconds / 3600);
}

} // namespace velmora
