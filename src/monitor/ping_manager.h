// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PingManager: live monitoring of a project's nodes. Pings every distinct IPv4 address through
// one Pinger, classifies each node as online, slow or offline (or leaves it unknown), derives
// cable statuses, and publishes statuses and latencies on the main thread twice a second.

#include "model/editing_types.h"
#include "monitor/ping_status.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class QTimer;

namespace velmora {

class Pinger;
struct PingManagerCore;

class PingManager final : public QObject {
    Q_OBJECT
public:
    static constexpr double timeoutThreshold = 1.0;    // seconds a request may stay unanswered
    static constexpr double slowThreshold = 200.0;     // milliseconds; above is slow
    static constexpr double staggerDelay = 0.05;       // seconds between pinger starts
    static constexpr double batchUpdateInterval = 0.5; // seconds between publications

    explicit PingManager(QObject* parent = nullptr);
    ~PingManager() override;

    // Restarts monitoring for `nodes`: every node with a dotted IPv4 address (blanks trimmed,
    // not 0.0.0.0) is set to unknown at once and loses its latencies; pingers start 50 ms
    // apart, one per address.
    void startMonitoring(const QList<Node>& nodes);
    // Stops every pinger; the last published statuses and latencies stay.
    void stopMonitoring();
    bool isMonitoring() const { return m_batchTimer != nullptr; }
    // Why the last start that had addresses to ping could open no ICMP socket, with what to
    // run to allow it; empty once a socket is open.
    const QString& monitoringErrorMessage() const { return m_monitoringError; }

    // A cable's status from the statuses of the nodes its points attach to. A cable found up
    // (online or slow) is remembered, and only such a cable can be offline later.
    PingStatus cableStatus(qint64 cableId, const QList<CablePoint>& points);

    const QHash<qint64, PingStatus>& nodeStatuses() const { return m_nodeStatuses; }
    const QHash<qint64, double>& nodeLatencies() const { return m_nodeLatencies; } // ms
    const QHash<qint64, double>& responseTimes() const { return m_responseTimes; } // s
    const QSet<qint64>& cablesHaveBeenOnline() const { return m_cablesHaveBeenOnline; }

    // Seconds between a request's outcome and the next request; takes effect at the next
    // startMonitoring.
    double pingInterval() const { return m_pingInterval; }
    void setPingInterval(double seconds);

    qint64 totalPingsSent() const { return m_totalPingsSent; }
    qint64 totalPingsReceived() const;
    int pingerCount() const { return int(m_pingers.size()); }

    // Trimmed text that is four dot-separated decimal numbers 0-255 (empty pieces dropped),
    // not all of them zero.
    static bool isMonitorableAddress(const QString& trimmedAddress);
    // The rule behind cableStatus: the statuses of the attached nodes that have one decide;
    // `wasUp` says whether the cable has been found up since monitoring started.
    static PingStatus deriveCableStatus(const QList<CablePoint>& points,
                                        const QHash<qint64, PingStatus>& statuses, bool wasUp);
    // online up to and including 200.0 ms, slow above.
    static PingStatus classifyLatency(double milliseconds);

    // --- Loss policy (stub until the engine rule lands; the calls are accepted and ignored) ---
    // A node that has answered turns offline after this many consecutive failed requests: 1
    // (the default), 2, 3 or 5.
    void setOfflineAfter(int failedPings);
    // With this on, a node that never answered its first requests becomes offline too.
    void setCountNeverAnsweredAsOffline(bool on);
    // --- end of loss policy ---

signals:
    // After every change of the published maps: a batch of updates, or the reset to unknown
    // at startMonitoring.
    void published();
    // Once per startMonitoring when no ICMP socket can be opened; says what to run to allow it.
    void monitoringError(const QString& message);

private:
    void startDuePingers();
    void startPinger(const QString& address);
    void publish();

    std::shared_ptr<PingManagerCore> m_core;
    QHash<qint64, PingStatus> m_nodeStatuses;
    QHash<qint64, double> m_nodeLatencies;
    QHash<qint64, double> m_responseTimes;
    QSet<qint64> m_cablesHaveBeenOnline;
    QHash<QString, std::shared_ptr<Pinger>> m_pingers;
    QHash<QString, QList<qint64>> m_ipToNodeIds;
    QStringList m_startOrder;
    int m_nextToStart = 0;
    QElapsedTimer m_staggerClock;
    QTimer* m_staggerTimer = nullptr;
    QTimer* m_batchTimer = nullptr;
    double m_pingInterval = 3.0;
    QString m_monitoringError;
    qint64 m_totalPingsSent = 0;
};

} // namespace velmora
