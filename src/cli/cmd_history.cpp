// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli history PROJECT [--node ID|NAME] [--since DURATION] [--json] [--history-db PATH]:
// each node's availability, loss, latency percentiles and outages from the recorded history.

#include "history/history_store.h"

#include "cli/command_registry.h"
#include "model/editing_types.h"
#include "model/project_file.h"
#include "monitor/ping_manager.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimeZone>

#include <cmath>

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

const QString name = u"history"_s;

// "90", "90s", "15m", "1h", "24h", "7d", "2w" as milliseconds; up to 400 days.
std::optional<qint64> duration(const QString& text)
{
    static const QRegularExpression form(u"^(\\d+(?:\\.\\d+)?)([smhdw]?)$"_s);
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    static const QHash<QString, double> unitSeconds{{QString(), 1},  {u"s"_s, 1},
                                                    {u"m"_s, 60},    {u"h"_s, 3600},
                                                    {u"d"_s, 86400}, {u"w"_s, 604800}};
    const double seconds = match.captured(1).toDouble() * unitSeconds.value(match.captured(2));
    if (!std::isfinite(seconds) || seconds <= 0 || seconds > 400.0 * 86400)
        return std::nullopt;
    return qint64(seconds * 1000);
}

QString isoTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(Qt::ISODate);
}

QJsonValue number(std::optional<double> value)
{
    return value ? QJsonValue(std::round(*value * 1000) / 1000) : QJsonValue();
}

QString text(std::optional<double> value, const QString& unit)
{
    return value ? QString::number(*value, 'f', unit == u"%"_s ? 1 : 3) + unit : u"-"_s;
}

int runHistory(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption nodeOption(u"node"_s, QString(), u"ID|NAME"_s);
    const QCommandLineOption sinceOption(u"since"_s, QString(), u"DURATION"_s, u"24h"_s);
    const QCommandLineOption jsonOption(u"json"_s);
    const QCommandLineOption dbOption(u"history-db"_s, QString(), u"PATH"_s);
    parser.addOptions({nodeOption, sinceOption, jsonOption, dbOption});
    if (const Expected<void, int> parsed = parseCommandLine(parser, name, arguments); !parsed)
        return parsed.error();
    if (parser.positionalArguments().size() != 1)
        return usageError(name, Cli::tr("expected one PROJECT"));
    const std::optional<qint64> window = duration(parser.value(sinceOption));
    if (!window)
        return usageError(name, Cli::tr("--since needs a duration such as 1h, 24h or 7d"));
    const QString file = parser.positionalArguments().constFirst();
    const Expected<ProjectData> project = readProjectFile(file);
    if (!project)
        return fail(file, project.error().message);
    QList<Node> nodes = deriveNodes(*project);
    const bool oneNode = parser.isSet(nodeOption);
    if (oneNode) {
        const QString wanted = parser.value(nodeOption);
        bool isId = false;
        const qint64 id = wanted.toLongLong(&isId);
        auto it = std::find_if(nodes.cbegin(), nodes.cend(),
                               [&](const Node& n) { return isId && n.id == id; });
        if (it == nodes.cend())
            it = std::find_if(nodes.cbegin(), nodes.cend(),
                              [&](const Node& n) { return n.name == wanted; });
        if (it == nodes.cend())
            return fail(file, Cli::tr("no node with the id or name \"%1\"").arg(wanted));
        nodes = {*it};
    }
    const QString path =
        parser.isSet(dbOption) ? parser.value(dbOption) : HistoryStore::defaultPath();
    const Expected<std::unique_ptr<HistoryStore>> store = HistoryStore::openForReading(path);
    if (!store) {
        QString reason = store.error().message;
        return fail(path, reason.remove(0, path.size() + 2));
    }

    const qint64 since = QDateTime::currentMSecsSinceEpoch() - *window;
    const bool json = parser.isSet(jsonOption);
    QTextStream out(stdout);
    for (const Node& node : std::as_const(nodes)) {
        const QString address = node.ip.trimmed();
        const bool hasAddress = PingManager::isMonitorableAddress(address);
        HistorySummary summary;
        if (hasAddress) {
            const Expected<HistorySummary> read = (*store)->summary(address, since);
            if (!read)
                return fail(path, read.error().message.mid(path.size() + 2));
            summary = *read;
        }
        if (json) {
            QJsonObject line{{u"id"_s, node.id},
                             {u"name"_s, node.name},
                             {u"ip"_s, node.ip},
                             {u"availabilityPercent"_s, number(summary.availabilityPercent)},
                             {u"lossPercent"_s, number(summary.lossPercent())},
                             {u"latencyP50Ms"_s, number(summary.p50Ms)},
                             {u"latencyP95Ms"_s, number(summary.p95Ms)},
                             {u"outages"_s, summary.outages.size()}};
            if (oneNode) {
                QJsonArray list;
                for (const Outage& o : std::as_const(summary.outages)) {
                    const qint64 end = o.endMs.value_or(QDateTime::currentMSecsSinceEpoch());
                    list.append(QJsonObject{
                        {u"start"_s, isoTime(o.startMs)},
                        {u"end"_s, o.endMs ? QJsonValue(isoTime(*o.endMs)) : QJsonValue()},
                        {u"seconds"_s, std::round(double(end - o.startMs) / 100.0) / 10.0}});
                }
                line.insert(u"outageList"_s, list);
            }
            out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
            continue;
        }
        if (!hasAddress) {
            out << Cli::tr("%1: no address").arg(node.name) << '\n';
            continue;
        }
        if (!summary.hasHistory()) {
            out << Cli::tr("%1 %2: no history").arg(node.name, address) << '\n';
            continue;
        }
        out << Cli::tr("%1 %2 availability %3 loss %4 p50 %5 p95 %6 outages %7")
                   .arg(node.name, address, text(summary.availabilityPercent, u"%"_s),
                        text(summary.lossPercent(), u"%"_s), text(summary.p50Ms, u" ms"_s),
                        text(summary.p95Ms, u" ms"_s))
                   .arg(summary.outages.size())
            << '\n';
        if (oneNode) {
            for (const Outage& o : std::as_const(summary.outages)) {
                const qint64 end = o.endMs.value_or(QDateTime::currentMSecsSinceEpoch());
                out << "  "
                    << Cli::tr("offline %1 to %2 (%3 s)")
                           .arg(isoTime(o.startMs),
                                o.endMs ? isoTime(*o.endMs) : Cli::tr("now, ongoing"))
                           .arg(double(end - o.startMs) / 1000.0, 0, 'f', 1)
                    << '\n';
            }
        }
    }
    return exitOk;
}

const CommandRegistrar registrar(Command{
    name,
    QT_TRANSLATE_NOOP("velmora::cli",
                      "history PROJECT [--node ID|NAME] [--since 1h|24h|7d|DURATION] "
                      "[--json] [--history-db PATH]"),
    QT_TRANSLATE_NOOP("velmora::cli",
                      "Print each node's availability, loss, latency p50/p95 and outage count "
                      "from the\nrecorded history (default the last 24h); --node also lists "
                      "its outages."),
    false, runHistory});

} // namespace
} // namespace velmora::cli
