// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/monitor_sources.h"

#include "cli/command_registry.h"
#include "monitor/metrics_exporter.h"
#include "monitor/ping_manager.h"
#include "monitor/prometheus_source.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace velmora::cli {

namespace {
const QString name = u"monitor"_s;
} // namespace

MonitorSources::MonitorSources()
    : m_metrics(u"metrics"_s, QString(), u"HOST:PORT"_s),
      m_sourceKind(u"source"_s, QString(), u"icmp|prometheus"_s, u"icmp"_s),
      m_url(u"prometheus-url"_s, QString(), u"URL"_s), m_selector(u"selector"_s, QString(), u"S"_s)
{
}

MonitorSources::~MonitorSources() = default;

void MonitorSources::addOptions(QCommandLineParser& parser) const
{
    parser.addOptions({m_metrics, m_sourceKind, m_url, m_selector});
}

Expected<void, int> MonitorSources::start(const QCommandLineParser& parser, PingManager& manager,
                                          const QList<Node>& nodes, bool json)
{
    const QString kind = parser.value(m_sourceKind);
    if (kind != "icmp"_L1 && kind != "prometheus"_L1)
        return usageError(name, Cli::tr("--source is icmp or prometheus"));
    if (kind == "prometheus"_L1 && !parser.isSet(m_url))
        return usageError(name, Cli::tr("--source prometheus needs --prometheus-url"));
    if (parser.isSet(m_metrics)) {
        const auto bind = MetricsExporter::parseBindAddress(parser.value(m_metrics));
        if (!bind)
            return usageError(name, bind.error().message);
        m_exporter = std::make_unique<MetricsExporter>(&manager);
        m_exporter->setNodes(nodes);
        if (const Expected<void> listening = m_exporter->listen(*bind); !listening)
            return fail(parser.value(m_metrics), listening.error().message);
        // Port 0 picks a free port: say which, so that a scraper can be pointed at it.
        QTextStream(stderr) << "velmora-cli " << name << ": metrics at http://"
                            << m_exporter->serverAddress().toString() << ':'
                            << m_exporter->serverPort() << "/metrics\n";
    }
    if (kind != "prometheus"_L1)
        return {};

    PrometheusSource::Settings settings;
    QUrl url(parser.value(m_url));
    settings.user = url.userName();
    settings.password = url.password();
    url.setUserInfo({});
    settings.url = url;
    settings.selector = parser.value(m_selector);
    m_source = std::make_unique<PrometheusSource>(&manager);
    QHash<qint64, Node> byId;
    for (const Node& n : nodes)
        byId.insert(n.id, n);
    // Statuses print as with pinging; a node whose status is kept but no longer confirmed
    // prints again with "stale", and an unreachable server is said once per outage.
    auto shownStale = std::make_shared<QSet<qint64>>();
    auto shownError = std::make_shared<QString>();
    QObject::connect(
        m_source.get(), &PrometheusSource::sourceStateChanged, m_source.get(),
        [this, &manager, byId, json, shownStale, shownError] {
            const QString& error = m_source->serverError();
            if (!error.isEmpty() && error != *shownError)
                QTextStream(stderr) << "velmora-cli " << name << ": " << error << '\n';
            *shownError = error;
            const QSet<qint64>& stale = m_source->staleNodeIds();
            QList<qint64> changed =
                QList<qint64>((stale - *shownStale).values()) + (*shownStale - stale).values();
            std::sort(changed.begin(), changed.end());
            *shownStale = stale;
            const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
            QTextStream out(stdout);
            for (qint64 id : std::as_const(changed)) {
                const Node n = byId.value(id);
                const QString status = pingStatusName(manager.nodeStatuses().value(id));
                if (json) {
                    const QJsonObject line{{u"time"_s, time},     {u"id"_s, id},
                                           {u"name"_s, n.name},   {u"ip"_s, n.ip},
                                           {u"status"_s, status}, {u"stale"_s, stale.contains(id)}};
                    out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
                } else {
                    out << time << ' ' << id << ' ' << n.name << ' ' << n.ip << ' ' << status
                        << (stale.contains(id) ? " stale" : " confirmed") << '\n';
                }
            }
        });
    if (const Expected<void> started = m_source->start(settings, nodes); !started)
        return usageError(name, started.error().message);
    return {};
}

} // namespace velmora::cli
