// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-monitor-probe [--interval S] [--duration S] ADDRESS...
// Monitors one node per ADDRESS (ids 1, 2, ...) with a PingManager and prints, as JSON lines,
// the socket kind, then every node status change at each publication. Exit 3 when no ICMP
// socket can be opened. The namespace tests run it inside namespaces they create.

#include "monitor/ping_engine.h"
#include "monitor/ping_manager.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

void emitLine(const QJsonObject& object)
{
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    double interval = 0.2;
    double duration = 60.0;
    QList<Node> nodes;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--interval"_s && i + 1 < args.size()) {
            interval = args[++i].toDouble();
        } else if (args[i] == u"--duration"_s && i + 1 < args.size()) {
            duration = args[++i].toDouble();
        } else {
            Node n;
            n.id = nodes.size() + 1;
            n.ip = args[i];
            nodes.append(n);
        }
    }

    PingManager manager(&app);
    manager.setPingInterval(interval);
    QHash<qint64, PingStatus> shown;
    int exitCode = 0;
    QObject::connect(&manager, &PingManager::monitoringError, &app, [&](const QString& message) {
        emitLine(QJsonObject{{u"error"_s, message}});
        exitCode = 3;
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(3); });
    });
    QObject::connect(&manager, &PingManager::published, &app, [&] {
        const auto& statuses = manager.nodeStatuses();
        for (auto it = statuses.cbegin(); it != statuses.cend(); ++it) {
            const auto previous = shown.constFind(it.key());
            if (previous != shown.constEnd() && *previous == *it)
                continue;
            shown.insert(it.key(), *it);
            QJsonObject line{{u"id"_s, it.key()}, {u"status"_s, pingStatusName(*it)}};
            const auto latency = manager.nodeLatencies().constFind(it.key());
            line.insert(u"latencyMs"_s, latency == manager.nodeLatencies().constEnd()
                                            ? QJsonValue()
                                            : QJsonValue(*latency));
            emitLine(line);
        }
    });
    manager.startMonitoring(nodes);
    if (exitCode != 0)
        return exitCode;
    emitLine(
        QJsonObject{{u"socket"_s, PingEngine::socketKindName(PingEngine::instance()->socketKind())},
                    {u"pingers"_s, manager.monitoredAddresses().size()}});
    QTimer::singleShot(int(duration * 1000), &app, &QCoreApplication::quit);
    const int rc = app.exec();
    return exitCode != 0 ? exitCode : rc;
}
