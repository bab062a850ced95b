// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ping_manager.h"

#include "monitor/alert_scheduler.h"
#include "monitor/ping_engine.h"
#include "monitor/pinger.h"

#include <QDateTime>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace velmora {

// The state the pingers' observers share with the manager. Observers run on the engine
// thread and hold it weakly, so a response arriving while the manager goes away is dropped.
// Each reply costs one short lock and no allocation: observers find their address's slot by
// index, and a slot holds the one update waiting for the next publication.
struct PingManagerCore {
    struct Update {
        PingStatus status = PingStatus::unknown;
        std::optional<double> latency; // ms
    };
    struct Target {       // one distinct address
        int failures = 0; // consecutive failed requests
        bool hasAnswered = false;
        bool isPending = false;
        Update pending; // a later update replaces an earlier one
    };

    std::mutex mutex;       // guards everything but the counters
    quint64 generation = 0; // a run's responses are dropped once the next run has begun
    std::vector<Target> targets;
    std::vector<PingManager::LoggedOutcome> outcomeLog; // for pingOutcomes()
    std::vector<int> pending;                           // targets with an update waiting, each once
    int offlineAfter = 1;
    bool countNeverAnsweredAsOffline = false;
    std::atomic<qint64> totalPingsReceived{0};
    std::atomic<qint64> totalPingsFailed{0};

    void queueLocked(int index, const Update& update)
    {
        Target& target = targets[size_t(index)];
        target.pending = update;
        if (!target.isPending) {
            target.isPending = true;
            pending.push_back(index);
        }
    }

    void handleResponse(const PingResponse& response, int index, quint64 run)
    {
        std::lock_guard lock(mutex);
        if (run != generation)
            return;
        ++totalPingsReceived;
        outcomeLog.push_back(
            {index,
             {QDateTime::currentMSecsSinceEpoch(),
              response.error ? std::nullopt : std::optional(response.duration * 1000.0)}});
        Target& target = targets[size_t(index)];
        if (!response.error) {
            const double latency = response.duration * 1000.0;
            target.failures = 0;
            target.hasAnswered = true;
            queueLocked(index, Update{PingManager::classifyLatency(latency), latency});
            return;
        }
        ++totalPingsFailed;
        target.failures = std::min(target.failures + 1, 1 << 30);
        // Only a node that has answered can be offline, unless never answering counts too: one
        // down from the start stays unknown.
        if ((target.hasAnswered || countNeverAnsweredAsOffline) && target.failures >= offlineAfter)
            queueLocked(index, Update{PingStatus::offline, std::nullopt});
    }
};

PingManager::PingManager(QObject* parent)
    : QObject(parent), m_core(std::make_shared<PingManagerCore>()),
      m_scheduler(new QtAlertScheduler(this))
{
}

PingManager::~PingManager()
{
    stopMonitoring();
}

void PingManager::setPingInterval(double seconds)
{
    if (std::isfinite(seconds) && seconds >= 0.0)
        m_pingInterval = seconds;
}

qint64 PingManager::totalPingsReceived() const
{
    return m_core->totalPingsReceived.load();
}

int PingManager::offlineAfter() const
{
    std::lock_guard lock(m_core->mutex);
    return m_core->offlineAfter;
}

void PingManager::setOfflineAfter(int failedPings)
{
    std::lock_guard lock(m_core->mutex);
    m_core->offlineAfter = std::max(1, failedPings);
}

bool PingManager::countsNeverAnsweredAsOffline() const
{
    std::lock_guard lock(m_core->mutex);
    return m_core->countNeverAnsweredAsOffline;
}

void PingManager::setCountNeverAnsweredAsOffline(bool on)
{
    std::lock_guard lock(m_core->mutex);
    m_core->countNeverAnsweredAsOffline = on;
}

void PingManager::setScheduler(AlertScheduler* scheduler)
{
    m_scheduler = scheduler;
}

qint64 PingManager::totalPingsFailed() const
{
    return m_core->totalPingsFailed.load();
}

bool PingManager::isMonitorableAddress(const QString& address)
{
    const QStringList pieces = address.split(u'.', Qt::SkipEmptyParts);
    if (pieces.size() != 4)
        return false;
    bool allZero = true;
    for (const QString& piece : pieces) {
        for (QChar c : piece) {
            if (c < u'0' || c > u'9')
                return false;
        }
        bool ok = false;
        const uint value = piece.toUInt(&ok);
        if (!ok || value > 255)
            return false;
        allZero = allZero && value == 0;
    }
    // 0.0.0.0 in any spelling ("00.0.0.0", "0.0.0.0.") is the placeholder of a node without an
    // address; Linux would answer it locally and show the node online.
    return !allZero;
}

PingStatus PingManager::classifyLatency(double milliseconds)
{
    return milliseconds > slowThreshold ? PingStatus::slow : PingStatus::online;
}

void PingManager::startMonitoring(const QList<Node>& nodes)
{
    stopMonitoring();
    m_cablesHaveBeenOnline.clear();
    m_addresses.clear();
    m_targetNodes.clear();
    m_targetOf.clear();
    m_addressCounters.clear();
    m_nextToStart = 0;
    m_statusChanges.clear();
    for (const Node& node : nodes) {
        const QString address = node.ip.trimmed();
        if (!isMonitorableAddress(address))
            continue;
        auto it = m_targetOf.constFind(address);
        if (it == m_targetOf.constEnd()) {
            it = m_targetOf.insert(address, int(m_addresses.size()));
            m_addresses.append(address);
            m_targetNodes.append(QList<qint64>());
        }
        QList<qint64>& ids = m_targetNodes[*it];
        if (!ids.contains(node.id))
            ids.append(node.id);
        // Unknown again, and without the response time of the previous run beside it.
        m_nodeStatuses.insert(node.id, PingStatus::unknown);
        m_statusChanges.append(node.id);
        m_nodeLatencies.remove(node.id);
        m_responseTimes.remove(node.id);
    }
    {
        std::lock_guard lock(m_core->mutex);
        ++m_core->generation;
        m_core->targets.assign(size_t(m_addresses.size()), {});
        m_core->outcomeLog.clear();
        m_core->pending.clear();
        m_core->pending.reserve(size_t(m_addresses.size()));
    }

    // Known before the reset is published, so that its observers see why nothing will answer.
    bool canPing = false;
    if (!m_addresses.isEmpty() && m_pingingEnabled) {
        canPing = bool(PingEngine::instance()->ensureSocket());
        m_monitoringError.clear();
        if (!canPing) {
            m_monitoringError = PingEngine::instance()->socketError();
            if (m_monitoringError.isEmpty())
                m_monitoringError = PingEngine::permissionHelp();
        }
    }

    m_batchTimer = new QTimer(this);
    m_batchTimer->setInterval(int(batchUpdateInterval * 1000));
    connect(m_batchTimer, &QTimer::timeout, this, &PingManager::publish);
    m_batchTimer->start();
    emit published();

    if (m_addresses.isEmpty() || !m_pingingEnabled)
        return;
    if (!canPing) {
        // Nodes stay unknown; the user learns what would allow pinging.
        emit monitoringError(m_monitoringError);
        return;
    }
    m_startedAt = m_scheduler->now();
    startDuePingers();
}

qint64 PingManager::startOffsetMs(int index, int count, double interval)
{
    // 50 ms apart while that fits in one interval. Beyond, the 50 ms steps of one interval
    // each start an equal share, so a large network is not left unknown for minutes, and the
    // pingers that start together keep sending together: one wake-up serves them all.
    const qint64 stepMs = qint64(staggerDelay * 1000.0);
    const qint64 steps = std::max<qint64>(1, qint64(interval * 1000.0) / stepMs);
    if (count <= steps)
        return qint64(index) * stepMs;
    return qint64(index) * steps / count * stepMs;
}

void PingManager::startDuePingers()
{
    // A late timer catches up with every start that is due.
    m_startHandle = 0;
    const qint64 elapsedMs = m_startedAt.msecsTo(m_scheduler->now());
    const int count = int(m_addresses.size());
    while (m_nextToStart < count &&
           startOffsetMs(m_nextToStart, count, m_pingInterval) <= elapsedMs) {
        startPinger(m_nextToStart);
        ++m_nextToStart;
    }
    if (m_nextToStart >= count)
        return;
    const qint64 dueMs = startOffsetMs(m_nextToStart, count, m_pingInterval);
    m_startHandle = m_scheduler->schedule(std::chrono::milliseconds(dueMs - elapsedMs),
                                          [this] { startDuePingers(); });
}

void PingManager::startPinger(int target)
{
    PingConfiguration configuration;
    configuration.pingInterval = m_pingInterval;
    configuration.timeoutInterval = timeoutThreshold;
    configuration.handleBackgroundTransitions = true;
    configuration.timeToLive = std::nullopt;
    configuration.payloadSize = 16;
    configuration.haltAfterTarget = true;

    // The resolver would read "010" as octal; the user means the decimal numbers they typed.
    QStringList pieces = m_addresses.at(target).split(u'.', Qt::SkipEmptyParts);
    for (QString& piece : pieces)
        piece = QString::number(piece.toUInt());
    Expected<std::shared_ptr<Pinger>, PingError> created =
        Pinger::createForHost(pieces.join(u'.'), configuration);
    if (created) {
        const std::shared_ptr<Pinger>& pinger = created.value();
        pinger->setResponseHistoryLimit(0); // only the observer is used
        quint64 run;
        {
            std::lock_guard lock(m_core->mutex);
            run = m_core->generation;
        }
        auto counters = std::make_shared<AddressCounters>();
        pinger->setObserver([core = std::weak_ptr<PingManagerCore>(m_core), target, run,
                             counters](const PingResponse& response) {
            counters->sent.fetch_add(1, std::memory_order_relaxed);
            if (!response.error)
                counters->received.fetch_add(1, std::memory_order_relaxed);
            if (const auto alive = core.lock())
                alive->handleResponse(response, target, run);
        });
        if (pinger->start()) {
            m_pingers.insert(m_addresses.at(target), pinger);
            m_addressCounters.insert(m_addresses.at(target), counters);
            ++m_totalPingsSent;
            return;
        }
    }
    std::lock_guard lock(m_core->mutex);
    m_core->queueLocked(target, PingManagerCore::Update{});
}

void PingManager::feedAddressStatus(const QString& address, PingStatus status,
                                    std::optional<double> latencyMs)
{
    const auto target = m_targetOf.constFind(address);
    if (target == m_targetOf.constEnd())
        return;
    std::lock_guard lock(m_core->mutex);
    m_core->queueLocked(*target, PingManagerCore::Update{status, latencyMs});
}

void PingManager::publishOutcomes()
{
    {
        // Swapped with the emptied log of the previous call, so neither allocates again.
        m_outcomeLog.clear();
        std::lock_guard lock(m_core->mutex);
        m_outcomeLog.swap(m_core->outcomeLog);
    }
    if (m_outcomeLog.empty() ||
        !isSignalConnected(QMetaMethod::fromSignal(&PingManager::pingOutcomes)))
        return;
    QList<QList<PingOutcome>> byTarget(m_addresses.size());
    for (const LoggedOutcome& logged : m_outcomeLog) {
        if (logged.target < byTarget.size())
            byTarget[logged.target].append(logged.outcome);
    }
    PingOutcomes outcomes;
    for (qsizetype target = 0; target < byTarget.size(); ++target) {
        if (!byTarget[target].isEmpty())
            outcomes.insert(m_addresses.at(target), std::move(byTarget[target]));
    }
    emit pingOutcomes(outcomes);
}

void PingManager::publish()
{
    publishOutcomes();
    {
        std::lock_guard lock(m_core->mutex);
        m_publishing.clear();
        for (int index : m_core->pending) {
            PingManagerCore::Target& target = m_core->targets[size_t(index)];
            target.isPending = false;
            m_publishing.push_back({index, target.pending.status, target.pending.latency});
        }
        m_core->pending.clear();
    }
    // Only what changed is written: a map another object holds a copy of (the canvas, the
    // alerts) is then not copied again at every publication.
    bool changed = false;
    if (!m_publishing.empty())
        m_statusChanges.clear();
    for (const TargetUpdate& update : m_publishing) {
        for (qint64 id : std::as_const(m_targetNodes[update.target])) {
            const auto status = m_nodeStatuses.constFind(id);
            if (status == m_nodeStatuses.constEnd() || *status != update.status) {
                m_nodeStatuses.insert(id, update.status);
                m_statusChanges.append(id);
                changed = true;
            }
            if (update.latency) {
                m_nodeLatencies.insert(id, *update.latency);
                m_responseTimes.insert(id, *update.latency / 1000.0);
                changed = true;
            } else if (m_nodeLatencies.contains(id) || m_responseTimes.contains(id)) {
                m_nodeLatencies.remove(id);
                m_responseTimes.remove(id);
                changed = true;
            }
        }
    }
    if (changed)
        emit published();
}

void PingManager::stopMonitoring()
{
    delete m_batchTimer;
    m_batchTimer = nullptr;
    if (m_startHandle)
        m_scheduler->cancel(m_startHandle);
    m_startHandle = 0;
    {
        std::lock_guard lock(m_core->mutex);
        ++m_core->generation;
    }
    publishOutcomes();
    for (const std::shared_ptr<Pinger>& pinger : std::as_const(m_pingers))
        pinger->stop(true);
    m_pingers.clear();
    std::lock_guard lock(m_core->mutex);
    m_core->pending.clear();
    for (PingManagerCore::Target& target : m_core->targets)
        target.isPending = false;
}

PingStatus PingManager::cableStatus(qint64 cableId, const QList<CablePoint>& points)
{
    const bool wasUp = m_cablesHaveBeenOnline.contains(cableId);
    const PingStatus status = deriveCableStatus(points, m_nodeStatuses, wasUp);
    if (!wasUp && (status == PingStatus::online || status == PingStatus::slow))
        m_cablesHaveBeenOnline.insert(cableId);
    return status;
}

PingStatus PingManager::deriveCableStatus(const QList<CablePoint>& points,
                                          const QHash<qint64, PingStatus>& statuses, bool wasUp)
{
    // Called for every cable of every frame in live mode: no allocation.
    int ends = 0;
    bool allUp = true; // also when no attached node has a status
    bool anySlow = false;
    bool anyOffline = false;
    for (const CablePoint& point : points) {
        if (!point.nodeId)
            continue;
        ++ends;
        const auto it = statuses.constFind(*point.nodeId);
        if (it == statuses.constEnd())
            continue;
        allUp = allUp && (*it == PingStatus::online || *it == PingStatus::slow);
        anySlow = anySlow || *it == PingStatus::slow;
        anyOffline = anyOffline || *it == PingStatus::offline;
    }
    if (ends < 2)
        return PingStatus::unknown;
    if (allUp)
        return anySlow ? PingStatus::slow : PingStatus::online;
    if (anyOffline)
        return wasUp ? PingStatus::offline : PingStatus::unknown;
    return PingStatus::unknown;
}

} // namespace velmora
