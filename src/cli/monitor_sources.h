// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitor command's Prometheus side: --metrics serves what it monitors to Prometheus,
// --source prometheus reads the statuses from a Prometheus server instead of pinging.

#include "model/editing_types.h"
#include "model/expected.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <memory>

namespace velmora {
class MetricsExporter;
class PingManager;
class PrometheusSource;
} // namespace velmora

namespace velmora::cli {

class MonitorSources {
public:
    MonitorSources();
    ~MonitorSources();
    void addOptions(QCommandLineParser& parser) const;
    // Starts the exporter and, with --source prometheus, the source (which then starts the
    // manager: pinging must not). Fails with the status to exit with.
    Expected<void, int> start(const QCommandLineParser& parser, PingManager& manager,
                              const QList<Node>& nodes, bool json);
    bool replacesPinging() const { return bool(m_source); }

private:
    QCommandLineOption m_metrics;
    QCommandLineOption m_sourceKind;
    QCommandLineOption m_url;
    QCommandLineOption m_selector;
    std::unique_ptr<MetricsExporter> m_exporter;
    std::unique_ptr<PrometheusSource> m_source;
};

} // namespace velmora::cli
