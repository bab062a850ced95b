// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ping_manager.h"

#include "monitor/ping_engine.h"
#include "monitor/pinger.h"

#include <QTimer>

#include <atomic>
#include <cmath>
#include <mutex>
#include <optional>

using namespace Qt::StringLiterals;

namespace velmora {

// The state the pingers' observers share with the manager. Observers run on the engine
// thread and hold it weakly, so a response arriving while the manager goes away is dropped.
struct PingManagerCore {
    struct Update {
        PingStatus status = PingStatus::unknown;
        std::optional<double> latency; // ms
    };

    std::mutex mutex;       // guards everything but the counter
    quint64 generation = 0; // a run's responses are dropped once the next run has begun
    QHash<QString, QList<qint64>> ipToNodeIds;
    QSet<qint64> hasBeenOnline;
    QHash<qint64, Update> pendingUpdates; // a later update for a node replaces an earlier one
    std::atomic<qint64> totalPingsReceived{0};

    void handleResponse(const PingResponse& response, const QString& address, quint64 run)
    {
        std::lock_guard lock(mutex);
        if (run != generation)
            return;
        ++totalPingsReceived;
        const auto it = ipToNodeIds.constFind(address);
        if (it == ipToNodeIds.constEnd())
            return;
        if (!response.error) {
            const double latency = response.duration * 1000.0;
            const PingStatus status = PingManager::classifyLatency(latency);
            for (qint64 id : *it) {
                hasBeenOnline.insert(id);
                pendingUpdates.insert(id, Update{status, latency});
            }
        } else {
            // Only a node that has answered can be offline: one down from the start stays
            // unknown.
            for (qint64 id : *it) {
                if (hasBeenOnline.contains(id))
                    pendingUpdates.insert(id, Update{PingStatus::offline, std::nullopt});
            }
        }
    }
};

PingManager::PingManager(QObject* parent)
    : QObject(parent), m_core(std::make_shared<PingManagerCore>())
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

// --- Loss policy (stub until the engine rule lands) ---
void PingManager::setOfflineAfter(int /*failedPings*/) {}

void PingManager::setCountNeverAnsweredAsOffline(bool /*on*/) {}
// --- end of loss policy ---

qint64 PingManager::totalPingsReceived() const
{
    return m_core->totalPingsReceived.load();
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
    m_ipToNodeIds.clear();
    m_startOrder.clear();
    m_nextToStart = 0;
    for (const Node& node : nodes) {
        const QString address = node.ip.trimmed();
        if (!isMonitorableAddress(address))
            continue;
        auto it = m_ipToNodeIds.find(address);
        if (it == m_ipToNodeIds.end()) {
            it = m_ipToNodeIds.insert(address, {});
            m_startOrder.append(address);
        }
        if (!it->contains(node.id))
            it->append(node.id);
        // Unknown again, and without the response time of the previous run beside it.
        m_nodeStatuses.insert(node.id, PingStatus::unknown);
        m_nodeLatencies.remove(node.id);
        m_responseTimes.remove(node.id);
    }
    {
        std::lock_guard lock(m_core->mutex);
        ++m_core->generation;
        m_core->ipToNodeIds = m_ipToNodeIds;
        m_core->hasBeenOnline.clear();
        m_core->pendingUpdates.clear();
    }

    // Known before the reset is published, so that its observers see why nothing will answer.
    bool canPing = false;
    if (!m_startOrder.isEmpty()) {
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

    if (m_startOrder.isEmpty())
        return;
    if (!canPing) {
        // Nodes stay unknown; the user learns what would allow pinging.
        emit monitoringError(m_monitoringError);
        return;
    }
    m_staggerClock.start();
    m_staggerTimer = new QTimer(this);
    m_staggerTimer->setInterval(int(staggerDelay * 1000));
    connect(m_staggerTimer, &QTimer::timeout, this, &PingManager::startDuePingers);
    m_staggerTimer->start();
    startDuePingers();
}

void PingManager::startDuePingers()
{
    // Address i starts i × 50 ms after monitoring began; a late timer catches up.
    const qint64 elapsedMs = m_staggerClock.elapsed();
    while (m_nextToStart < m_startOrder.size() &&
           double(m_nextToStart) * staggerDelay * 1000.0 <= double(elapsedMs)) {
        startPinger(m_startOrder.at(m_nextToStart));
        ++m_nextToStart;
    }
    if (m_nextToStart >= m_startOrder.size() && m_staggerTimer) {
        m_staggerTimer->deleteLater();
        m_staggerTimer = nullptr;
    }
}

void PingManager::startPinger(const QString& address)
{
    PingConfiguration configuration;
    configuration.pingInterval = m_pingInterval;
    configuration.timeoutInterval = timeoutThreshold;
    configuration.handleBackgroundTransitions = true;
    configuration.timeToLive = std::nullopt;
    configuration.payloadSize = 16;
    configuration.haltAfterTarget = true;

    // The resolver would read "010" as octal; the user means the decimal numbers they typed.
    QStringList pieces = address.split(u'.', Qt::SkipEmptyParts);
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
        pinger->setObserver([core = std::weak_ptr<PingManagerCore>(m_core), address,
                             run](const PingResponse& response) {
            if (const auto alive = core.lock())
                alive->handleResponse(response, address, run);
        });
        if (pinger->start()) {
            m_pingers.insert(address, pinger);
            ++m_totalPingsSent;
            return;
        }
    }
    std::lock_guard lock(m_core->mutex);
    for (qint64 id : m_ipToNodeIds.value(address))
        m_core->pendingUpdates.insert(id, PingManagerCore::Update{});
}

void PingManager::publish()
{
    QHash<qint64, PingManagerCore::Update> updates;
    {
        std::lock_guard lock(m_core->mutex);
        updates.swap(m_core->pendingUpdates);
    }
    if (updates.isEmpty())
        return;
    for (auto it = updates.cbegin(); it != updates.cend(); ++it) {
        m_nodeStatuses.insert(it.key(), it->status);
        if (it->latency) {
            m_nodeLatencies.insert(it.key(), *it->latency);
            m_responseTimes.insert(it.key(), *it->latency / 1000.0);
        } else {
            m_nodeLatencies.remove(it.key());
            m_responseTimes.remove(it.key());
        }
    }
    emit published();
}

void PingManager::stopMonitoring()
{
    delete m_batchTimer;
    m_batchTimer = nullptr;
    delete m_staggerTimer;
    m_staggerTimer = nullptr;
    {
        std::lock_guard lock(m_core->mutex);
        ++m_core->generation;
    }
    for (const std::shared_ptr<Pinger>& pinger : std::as_const(m_pingers))
        pinger->stop(true);
    m_pingers.clear();
    std::lock_guard lock(m_core->mutex);
    m_core->pendingUpdates.clear();
}

PingStatus PingManager::cableStatus(qint64 cableId, const QList<CablePoint>& points)
{
    const PingStatus status =
        deriveCableStatus(points, m_nodeStatuses, m_cablesHaveBeenOnline.contains(cableId));
    if (status == PingStatus::online || status == PingStatus::slow)
        m_cablesHaveBeenOnline.insert(cableId);
    return status;
}

PingStatus PingManager::deriveCableStatus(const QList<CablePoint>& points,
                                          const QHash<qint64, PingStatus>& statuses, bool wasUp)
{
    QList<qint64> ends;
    for (const CablePoint& point : points) {
        if (point.nodeId)
            ends.append(*point.nodeId);
    }
    if (ends.size() < 2)
        return PingStatus::unknown;
    bool allUp = true; // also when no attached node has a status
    bool anySlow = false;
    bool anyOffline = false;
    for (qint64 id : std::as_const(ends)) {
        const auto it = statuses.constFind(id);
        if (it == statuses.constEnd())
            continue;
        allUp = allUp && (*it == PingStatus::online || *it == PingStatus::slow);
        anySlow = anySlow || *it == PingStatus::slow;
        anyOffline = anyOffline || *it == PingStatus::offline;
    }
    if (allUp)
        return anySlow ? PingStatus::slow : PingStatus::online;
    if (anyOffline)
        return wasUp ? PingStatus::offline : PingStatus::unknown;
    return PingStatus::unknown;
}

} // namespace velmora
