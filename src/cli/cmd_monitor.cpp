// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli monitor FILE [--interval SECONDS] [--duration SECONDS] [--offline-after N]
// [--json]: pings the project's nodes as live mode does and prints every status change at each
// publication.

#include "history/history_recorder.h"

#include "cli/command_registry.h"
#include "cli/monitor_sources.h"
#include "model/editing_types.h"
#include "model/project_file.h"
#include "monitor/ping_manager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <csignal>

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

// QT_LOGGING_RULES="velmora.cli.monitor.info=true" prints the request counts at exit.
Q_LOGGING_CATEGORY(lcMonitorCli, "velmora.cli.monitor", QtWarningMsg)

std::atomic<bool> stopRequested{false};

extern "C" void requestStop(int)
{
    stopRequested = true;
}

const QString name = u"monitor"_s;

// A number of seconds from 0 to a year.
std::optional<double> seconds(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0 || value > 86400.0 * 365)
        return std::nullopt;
    return value;
}

int runMonitor(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption intervalOption(u"interval"_s, QString(), u"SECONDS"_s);
    const QCommandLineOption durationOption(u"duration"_s, QString(), u"SECONDS"_s);
    const QCommandLineOption offlineAfterOption(u"offline-after"_s, QString(), u"N"_s);
    const QCommandLineOption jsonOption(u"json"_s);
    parser.addOptions({intervalOption, durationOption, offlineAfterOption, jsonOption});
    MonitorSources sources;
    sources.addOptions(parser);
    const QCommandLineOption noHistoryOption(u"no-history"_s);
    const QCommandLineOption historyDbOption(u"history-db"_s, QString(), u"PATH"_s);
    parser.addOptions({noHistoryOption, historyDbOption});
    if (const Expected<void, int> parsed = parseCommandLine(parser, name, arguments); !parsed)
        return parsed.error();
    if (parser.positionalArguments().size() != 1)
        return usageError(name, Cli::tr("expected one project FILE"));
    const QString file = parser.positionalArguments().constFirst();
    double interval = 3.0;
    if (parser.isSet(intervalOption)) {
        const std::optional<double> value = seconds(parser.value(intervalOption));
        if (!value)
            return usageError(name, Cli::tr("--interval needs a number of seconds"));
        if (*value <= 0.0)
            return usageError(name, Cli::tr("--interval must be above 0"));
        interval = *value;
    }
    std::optional<double> duration;
    if (parser.isSet(durationOption)) {
        duration = seconds(parser.value(durationOption));
        if (!duration)
            return usageError(name, Cli::tr("--duration needs a number of seconds"));
    }
    int offlineAfter = 1;
    if (parser.isSet(offlineAfterOption)) {
        const QString text = parser.value(offlineAfterOption);
        const QStringList allowed = {u"1"_s, u"2"_s, u"3"_s, u"5"_s};
        if (!allowed.contains(text))
            return usageError(name, Cli::tr("--offline-after must be 1, 2, 3 or 5 failed pings, "
                                            "not \"%1\"")
                                        .arg(text));
        offlineAfter = text.toInt();
    }
    const bool json = parser.isSet(jsonOption);

    const Expected<ProjectData> project = readProjectFile(file);
    if (!project)
        return fail(file, project.error().message);
    const QList<Node> nodes = deriveNodes(*project);
    QHash<qint64, Node> byId;
    for (const Node& n : nodes)
        byId.insert(n.id, n);

    PingManager manager(QCoreApplication::instance());
    manager.setPingInterval(interval);
    manager.setOfflineAfter(offlineAfter);
    QTextStream out(stdout);
    QHash<qint64, PingStatus> shown;
    int exitCode = exitOk;
    QObject::connect(&manager, &PingManager::monitoringError, &manager,
                     [&](const QString& message) {
                         QTextStream(stderr) << "velmora-cli " << name << ": " << message << '\n';
                         exitCode = exitCannotPing;
                     });
    QObject::connect(&manager, &PingManager::published, &manager, [&] {
        const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        QList<qint64> changed;
        const auto& statuses = manager.nodeStatuses();
        for (qint64 id : manager.statusChanges()) {
            const auto previous = shown.constFind(id);
            if (previous == shown.constEnd() || *previous != statuses.value(id))
                changed.append(id);
        }
        std::sort(changed.begin(), changed.end());
        for (qint64 id : std::as_const(changed)) {
            const PingStatus status = statuses.value(id);
            shown.insert(id, status);
            const Node n = byId.value(id);
            const auto latency = manager.nodeLatencies().constFind(id);
            const bool hasLatency = latency != manager.nodeLatencies().constEnd();
            if (json) {
                QJsonObject line{
                    {u"time"_s, time},
                    {u"id"_s, id},
                    {u"name"_s, n.name},
                    {u"ip"_s, n.ip},
                    {u"status"_s, pingStatusName(status)},
                    {u"latencyMs"_s, hasLatency ? QJsonValue(*latency) : QJsonValue()}};
                out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
            } else {
                out << time << ' ' << id << ' ' << n.name << ' ' << n.ip << ' '
                    << pingStatusName(status);
                if (hasLatency)
                    out << ' ' << QString::number(*latency, 'f', 3);
                out << '\n';
            }
        }
        out.flush();
    });

    // Recorded by default; what cannot be recorded is said once and monitoring goes on.
    std::unique_ptr<HistoryRecorder> recorder;
    if (!parser.isSet(noHistoryOption)) {
        recorder = std::make_unique<HistoryRecorder>(parser.isSet(historyDbOption)
                                                         ? parser.value(historyDbOption)
                                                         : HistoryStore::defaultPath());
        recorder->attach(&manager);
        QObject::connect(recorder.get(), &HistoryRecorder::recordingFailed, &manager,
                         [](const QString& message) {
                             QTextStream(stderr)
                                 << "velmora-cli " << name << ": " << message << Qt::endl;
                         });
    }
    if (const Expected<void, int> started = sources.start(parser, manager, nodes, json); !started)
        return started.error();
    if (!sources.replacesPinging())
        manager.startMonitoring(nodes);
    if (exitCode != exitOk)
        return exitCode;

    stopRequested = false;
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [] {
        if (stopRequested)
            QCoreApplication::quit();
    });
    poll.start(100);
    if (duration)
        QTimer::singleShot(int(*duration * 1000), QCoreApplication::instance(),
                           &QCoreApplication::quit);
    QCoreApplication::exec();
    manager.stopMonitoring();
    if (recorder)
        recorder->finish(); // so that `history` right after sees the whole run
    qCInfo(lcMonitorCli).nospace()
        << "requests=" << manager.totalPingsReceived() << " failed=" << manager.totalPingsFailed();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return exitOk;
}

const CommandRegistrar registrar(Command{
    name,
    QT_TRANSLATE_NOOP("velmora::cli",
                      "monitor FILE [--interval SECONDS] [--duration SECONDS] [--offline-after N]\n"
                      "        [--json] [--no-history] [--history-db PATH]\n"
                      "        [--metrics HOST:PORT] [--source icmp|prometheus]\n"
                      "        [--prometheus-url URL] [--selector S]"),
    QT_TRANSLATE_NOOP(
        "velmora::cli",
        "Ping the project's nodes and print each status change (one JSON object a "
        "line with\n--json); runs until --duration has passed or until "
        "interrupted. A node that answered turns\noffline after N (1, 2, 3 or 5) "
        "consecutive failed pings (--offline-after, 1 by default).\nRecords latency "
        "and availability history unless --no-history. --metrics serves\nthe "
        "statuses to Prometheus on GET /metrics (loopback unless HOST is given);\n"
        "--source prometheus reads them from a Prometheus server instead of pinging."),
    false, runMonitor, true});

} // namespace
} // namespace velmora::cli
