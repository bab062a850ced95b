// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PingManager: live monitoring of a project's nodes. Pings every distinct IPv4 address through
// one Pinger, classifies each node as online, slow or offline (or leaves it unknown), derives
// cable statuses, and publishes statuses and latencies on the main thread twice a second.

#include "model/editing_types.h"
#include "monitor/ping_outcome.h"
#include "monitor/ping_status.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace velmora {

class AlertScheduler;
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
    // apart, one per address, or in equal shares every 50 ms over one interval when 50 ms apart
    // would not fit in it, so that every node has a status within an interval and a timeout at
    // any size.
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
    // The nodes whose status the last publication set: every monitored node after the reset of
    // startMonitoring, then only those whose status changed, so observers need not compare all.
    const QList<qint64>& statusChanges() const { return m_statusChanges; }

    // Seconds between a request's outcome and the next request; takes effect at the next
    // startMonitoring.
    double pingInterval() const { return m_pingInterval; }
    void setPingInterval(double seconds);

    // A node that has answered turns offline only after this many consecutive failed requests
    // (1, the default, is the first failure); a reply resets the count. Values below 1 count
    // as 1. Takes effect at once, for the following requests.
    int offlineAfter() const;
    void setOfflineAfter(int failedPings);
    // Off (the default): a node that has never answered stays unknown. On: a node whose first
    // offlineAfter() requests all failed becomes offline. Takes effect at once.
    bool countsNeverAnsweredAsOffline() const;
    void setCountNeverAnsweredAsOffline(bool on);

    // The clock the pinger starts are spread on (tests drive a manual one); not owned. Set it
    // before startMonitoring.
    void setScheduler(AlertScheduler* scheduler);

    qint64 totalPingsSent() const { return m_totalPingsSent; }
    qint64 totalPingsReceived() const;
    // Responses that carried an error (timeouts, send errors, invalid replies).
    qint64 totalPingsFailed() const;
    int pingerCount() const { return int(m_pingers.size()); }

    // Trimmed text that is four dot-separated decimal numbers 0-255 (empty pieces dropped),
    // not all of them zero.
    static bool isMonitorableAddress(const QString& trimmedAddress);
    // The rule behind cableStatus: the statuses of the attached nodes that have one decide;
    // `wasUp` says whether the cable has been found up since monitoring started.
    static PingStatus deriveCableStatus(const QList<CablePoint>& points,
                                        const QHash<qint64, PingStatus>& statuses, bool wasUp);
    // When the pinger of the index-th of `count` addresses starts, in ms after monitoring
    // began, for an interval of `interval` seconds.
    static qint64 startOffsetMs(int index, int count, double interval);
    // online up to and including 200.0 ms, slow above.
    static PingStatus classifyLatency(double milliseconds);

    // Outcomes of one address's requests in the current run (a reply, a timeout or an error
    // each count as sent), counted on the engine thread without the manager's lock.
    struct AddressCounters {
        std::atomic<quint64> sent{0};
        std::atomic<quint64> received{0};
    };
    // Null before the address's pinger has started.
    std::shared_ptr<const AddressCounters> addressCounters(const QString& address) const
    {
        return m_addressCounters.value(address);
    }
    // Off: startMonitoring sets nodes to unknown and publishes every 0.5 s but pings nothing;
    // statuses come only through feedAddressStatus (another source such as a Prometheus
    // server). Takes effect at the next startMonitoring.
    void setPingingEnabled(bool on) { m_pingingEnabled = on; }
    bool isPingingEnabled() const { return m_pingingEnabled; }
    // Queues a status for every node monitored at `address`, published with the next batch.
    void feedAddressStatus(const QString& address, PingStatus status,
                           std::optional<double> latencyMs);

signals:
    // After every change of the published maps: a batch of updates, or the reset to unknown
    // at startMonitoring.
    void published();
    // Once per startMonitoring when no ICMP socket can be opened; says what to run to allow it.
    void monitoringError(const QString& message);
    // Every request outcome since the previous emission, per address; at each publication and
    // when monitoring stops, so a recorder sees every request of a run.
    void pingOutcomes(const velmora::PingOutcomes& outcomes);

private:
    void startDuePingers();
    void startPinger(int target);
    void publish();
    void publishOutcomes();

    struct TargetUpdate {
        int target = 0;
        PingStatus status = PingStatus::unknown;
        std::optional<double> latency; // ms
    };

    std::shared_ptr<PingManagerCore> m_core;
    std::vector<TargetUpdate> m_publishing; // kept to reuse its memory
    // Every request outcome since the last publication, in the order they came: the engine
    // thread appends one per reply (no lookup), the main thread sorts them by address.
    struct LoggedOutcome {
        int target = 0;
        PingOutcome outcome;
    };
    friend struct PingManagerCore;
    std::vector<LoggedOutcome> m_outcomeLog; // the previous log, kept to reuse its memory
    QHash<qint64, PingStatus> m_nodeStatuses;
    QHash<qint64, double> m_nodeLatencies;
    QHash<qint64, double> m_responseTimes;
    QSet<qint64> m_cablesHaveBeenOnline;
    QList<qint64> m_statusChanges;
    QHash<QString, std::shared_ptr<Pinger>> m_pingers;
    // One target per distinct address, in the order of first appearance: its address and the
    // nodes that share it. Observers refer to a target by its index.
    QStringList m_addresses;
    QList<QList<qint64>> m_targetNodes;
    QHash<QString, int> m_targetOf; // address -> target index
    int m_nextToStart = 0;
    QDateTime m_startedAt;
    AlertScheduler* m_scheduler;
    quint64 m_startHandle = 0; // the scheduled startDuePingers, 0 when none
    QTimer* m_batchTimer = nullptr;
    double m_pingInterval = 3.0;
    QString m_monitoringError;
    qint64 m_totalPingsSent = 0;
    QHash<QString, std::shared_ptr<AddressCounters>> m_addressCounters;
    bool m_pingingEnabled = true;
};

} // namespace velmora
