// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PrometheusSource: live statuses read from a Prometheus server instead of pinged. Every
// publication interval it asks the query API for the exporters' velmora_status and
// velmora_rtt_seconds and feeds the statuses, matched to nodes by address, into a
// PingManager that pings nothing, so statuses, colours and alerts follow as with pinging.

#include "model/editing_types.h"
#include "model/expected.h"
#include "monitor/ping_status.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace velmora {

class PingManager;

class PrometheusSource final : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QUrl url; // http or https, with any path prefix the server is served under
        QString user;
        QString password; // basic authentication when user is not empty
        QString selector; // label matchers, e.g. job="site-a"
    };
    struct Sample {
        PingStatus status = PingStatus::unknown;
        std::optional<double> latencyMs;
    };

    explicit PrometheusSource(PingManager* manager, QObject* parent = nullptr);
    ~PrometheusSource() override;

    // Switches the manager to this source and starts it for `nodes`.
    Expected<void> start(const Settings& settings, const QList<Node>& nodes);
    // Stops asking and gives the manager back to pinging.
    void stop();

    // Why the server could not be asked, empty while it answers.
    const QString& serverError() const { return m_serverError; }
    // Nodes whose last status is kept but no longer confirmed: all of them while the server
    // cannot be reached, else those whose address has dropped out of the answer.
    const QSet<qint64>& staleNodeIds() const { return m_staleNodeIds; }

    // The PromQL expression asked for.
    static QString query(const QString& selector);
    // Statuses by address from a query answer; when several series (several exporters) give
    // one address, offline wins over slow over online over unknown.
    static Expected<QHash<QString, Sample>> parseAnswer(const QByteArray& json);

signals:
    // serverError or staleNodeIds changed.
    void sourceStateChanged();

private:
    void ask();
    void answered(QNetworkReply* reply);
    void setState(const QString& error, QSet<qint64> stale);

    QPointer<PingManager> m_manager;
    QNetworkAccessManager* m_network;
    QTimer* m_timer;
    QNetworkReply* m_inFlight = nullptr;
    Settings m_settings;
    QHash<QString, QList<qint64>> m_ipToNodeIds;
    QHash<QString, Sample> m_fed; // what the manager was last given per address
    QString m_serverError;
    QSet<qint64> m_staleNodeIds;
};

} // namespace velmora
