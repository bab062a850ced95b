// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_types.h"

#include <QCoreApplication>

#include <algorithm>

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
    if (alert.isGrouped && !alert.nodeIds.isEmpty()) {
        const QString name =
            alert.nodeNames.isEmpty() ? AlertText::tr("Node") : alert.nodeNames.first();
        // Count texts add an s unless the count is exactly one.
        const qsizetype behind = alert.nodeIds.size() - 1;
        const QString count =
            behind == 1 ? AlertText::tr("1 node") : AlertText::tr("%1 nodes").arg(behind);
        const QString rest = alert.type == AlertType::offline
                                 ? AlertText::tr("%1 behind it unreachable").arg(count)
                                 : AlertText::tr("%1 behind it reachable again").arg(count);
        return AlertText::tr("%1 %2 \u2014 %3").arg(name, word, rest);
    }
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
    if (alert.isGrouped) {
        constexpr qsizetype listed = 5;
        const QStringList behind = alert.nodeNames.mid(1);
        QString names = behind.mid(0, listed).join(u", "_s);
        if (behind.size() <= listed)
            return names;
        return AlertText::tr("%1 and %2 more").arg(names, QString::number(behind.size() - listed));
    }
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

QString clockTimeText(const QDateTime& timestamp)
{
    return timestamp.toLocalTime().toString(u"HH:mm:ss"_s);
}

QString durationText(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    if (seconds < 60)
        return AlertText::tr("%1s").arg(seconds);
    if (seconds < 3600)
        return AlertText::tr("%1m %2s").arg(seconds / 60).arg(seconds % 60);
    return AlertText::tr("%1h %2m").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

QString historyTimeText(const NetworkAlert& alert, const QDateTime& now)
{
    QString text = AlertText::tr("%1 \u00b7 %2")
                       .arg(clockTimeText(alert.timestamp), relativeTimeText(alert.timestamp, now));
    if (alert.type == AlertType::online && alert.outageSeconds)
        text += AlertText::tr(" \u00b7 down %1").arg(durationText(*alert.outageSeconds));
    return text;
}

} // namespace velmora
