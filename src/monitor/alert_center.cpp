// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_center.h"

#include "model/topology.h"
#include "monitor/alert_grouping.h"
#include "monitor/alert_mutes.h"

#include <QSet>

#include <algorithm>
#include <memory>
#include <utility>

namespace velmora {

namespace {

std::optional<Node> nodeWithId(const QList<Node>& nodes, qint64 id)
{
    for (const Node& node : nodes) {
        if (node.id == id)
            return node;
    }
    return std::nullopt;
}

} // namespace

std::optional<Node> findOutageFocus(const QList<qint64>& nodeIds, const QList<Node>& nodes,
                                    const QList<Cable>& cables, std::optional<qint64> rootNodeId,
                                    const QHash<qint64, PingStatus>& statuses)
{
    if (rootNodeId) {
        if (nodeIds.isEmpty())
            return std::nullopt;
        for (qint64 id : breadthFirstOrder(cables, *rootNodeId)) {
            if (id != *rootNodeId && nodeIds.contains(id))
                return nodeWithId(nodes, id);
        }
        return nodeWithId(nodes, nodeIds.first());
    }
    for (qint64 id : nodeIds) {
        for (qint64 neighbour : directNeighbors(cables, id)) {
            if (!nodeIds.contains(neighbour) &&
                statuses.value(neighbour, PingStatus::unknown) == PingStatus::online)
                return nodeWithId(nodes, id);
        }
    }
    if (nodeIds.isEmpty())
        return std::nullopt;
    return nodeWithId(nodes, nodeIds.first());
}

std::optional<AlertType> alertForTransition(PingStatus previous, PingStatus current)
{
    if (current == PingStatus::offline)
        return AlertType::offline;
    if (current == PingStatus::online && previous == PingStatus::offline)
        return AlertType::online;
    if (current == PingStatus::slow && previous == PingStatus::online)
        return AlertType::slow;
    return std::nullopt;
}

AlertCenter::AlertCenter(QObject* parent, AlertScheduler* scheduler)
    : QObject(parent), m_scheduler(scheduler)
{
    if (!m_scheduler)
        m_scheduler = new QtAlertScheduler(this);
}

AlertCenter::~AlertCenter()
{
    // A scheduler handed in from outside may outlive us; none of our callbacks may run then.
    const QSet<AlertScheduler::Handle> owned = m_ownedTimers;
    for (AlertScheduler::Handle handle : owned)
        m_scheduler->cancel(handle);
}

AlertScheduler::Handle AlertCenter::scheduleOwned(std::chrono::milliseconds delay,
                                                  std::function<void()> callback)
{
    // The handle is known only after schedule() returns; the callback reads it from a shared cell.
    auto cell = std::make_shared<AlertScheduler::Handle>(0);
    const AlertScheduler::Handle handle =
        m_scheduler->schedule(delay, [this, cell, fn = std::move(callback)] {
            m_ownedTimers.remove(*cell);
            fn();
        });
    *cell = handle;
    m_ownedTimers.insert(handle);
    return handle;
}

void AlertCenter::cancelOwned(AlertScheduler::Handle handle)
{
    m_ownedTimers.remove(handle);
    m_scheduler->cancel(handle);
}

void AlertCenter::setAlertsEnabled(bool enabled)
{
    if (m_alertsEnabled == enabled)
        return;
    m_alertsEnabled = enabled;
    // With alerts off nothing may raise one, a change already waiting for its 2 s neither.
    if (!enabled) {
        cancelPendingConfirmations();
        m_held.clear();
    }
    emit optionsChanged();
}

void AlertCenter::setSystemNotificationsEnabled(bool enabled)
{
    if (m_systemNotificationsEnabled == enabled)
        return;
    m_systemNotificationsEnabled = enabled;
    emit optionsChanged();
}

void AlertCenter::setAutoZoomToOutage(bool enabled)
{
    if (m_autoZoomToOutage == enabled)
        return;
    m_autoZoomToOutage = enabled;
    emit optionsChanged();
}

void AlertCenter::setGroupAlerts(bool enabled)
{
    if (m_groupAlerts == enabled)
        return;
    m_groupAlerts = enabled;
    if (!enabled) {
        // What waits to be grouped is raised now; nothing stays folded.
        flushHeldChanges();
        m_groupedUnder.clear();
        m_recoveryAnnounced.clear();
    }
    emit optionsChanged();
}

bool AlertCenter::isMuted(qint64 nodeId) const
{
    if (!m_mutes || !m_nodeSource)
        return false;
    for (const Node& node : m_nodeSource()) {
        if (node.id == nodeId)
            return m_mutes->isMuted(node.ip, m_scheduler->now());
    }
    return false;
}

QString AlertCenter::nodeName(qint64 id) const
{
    if (m_nodeSource) {
        for (const Node& node : m_nodeSource()) {
            if (node.id == id)
                return node.name;
        }
    }
    return {};
}

QList<NetworkAlert> AlertCenter::visibleAlerts(qsizetype limit) const
{
    QList<NetworkAlert> result;
    for (const NetworkAlert& alert : m_alerts) {
        if (result.size() >= limit)
            break;
        if (alert.isVisible)
            result.append(alert);
    }
    return result;
}

QHash<qint64, PingStatus> AlertCenter::currentStatuses() const
{
    return m_statusSource ? m_statusSource() : m_lastPublished;
}

void AlertCenter::handleStatusChanges(const QList<Node>& nodes,
                                      const QHash<qint64, PingStatus>& currentStatuses,
                                      bool appModeIsLive)
{
    m_lastPublished = currentStatuses;
    if (!m_alertsEnabled || !appModeIsLive)
        return;
    const QDateTime now = m_scheduler->now();
    for (const Node& node : nodes) {
        const auto current = currentStatuses.constFind(node.id);
        if (current == currentStatuses.cend())
            continue;
        const auto previous = m_previousStatuses.constFind(node.id);
        if (previous == m_previousStatuses.cend()) {
            // The first status seen for a node is only recorded, so starting monitoring never
            // raises alerts by itself.
            m_previousStatuses.insert(node.id, *current);
            continue;
        }
        if (*previous == *current)
            continue;
        const PingStatus before = *previous;
        const PingStatus after = *current;
        m_previousStatuses.insert(node.id, after);
        // The outage's length runs from the published offline status to the published recovery.
        if (after == PingStatus::offline) {
            m_offlineSince.insert(node.id, now);
            m_recoveryAnnounced.remove(node.id);
        } else if (before == PingStatus::offline) {
            if (const auto since = m_offlineSince.constFind(node.id);
                since != m_offlineSince.cend())
                m_lastOutageSeconds.insert(node.id, since->secsTo(now));
            m_offlineSince.remove(node.id);
        }
        if (const auto pending = m_pendingAlertTimers.constFind(node.id);
            pending != m_pendingAlertTimers.cend()) {
            cancelOwned(*pending);
            m_pendingAlertTimers.erase(pending);
        }
        // lastAlertTime is consulted but deliberately never recorded. Recording the time of an
        // offline alert would suppress the online alert of a node that comes back within 30 s,
        // and that recovery is exactly what the user wants to hear about. The map stays so that
        // a suppression rule can be added without changing the flow.
        if (const auto last = m_lastAlertTime.constFind(node.id);
            last != m_lastAlertTime.cend() && last->msecsTo(now) < repeatSuppression.count())
            continue;
        const qint64 id = node.id;
        const QString name = node.name;
        m_pendingAlertTimers.insert(
            id, scheduleOwned(confirmationDelay, [this, id, name, before, after] {
                m_pendingAlertTimers.remove(id);
                confirmChange(id, name, before, after);
            }));
    }
}

void AlertCenter::confirmChange(qint64 nodeId, const QString& name, PingStatus previous,
                                PingStatus current)
{
    // A change reversed within the confirmation delay was cancelled at the reversal; here the
    // status must still be what it was when the timer started.
    const QHash<qint64, PingStatus> statuses = currentStatuses();
    const auto now = statuses.constFind(nodeId);
    if (now == statuses.cend() || *now != current)
        return;
    const std::optional<AlertType> type = alertForTransition(previous, current);
    if (!type)
        return;
    // Already named in the grouped online alert of the node it was behind.
    if (*type == AlertType::online && m_recoveryAnnounced.remove(nodeId))
        return;
    if (!m_groupAlerts || *type == AlertType::slow) {
        raiseSingle(*type, nodeId, name);
        return;
    }
    m_held.append({nodeId, name, *type});
    if (m_pendingAlertTimers.isEmpty())
        flushHeldChanges();
    else if (m_holdLimit == 0)
        m_holdLimit = scheduleOwned(groupingHold, [this] {
            m_holdLimit = 0;
            flushHeldChanges();
        });
}

void AlertCenter::raiseSingle(AlertType type, qint64 id, const QString& name)
{
    if (isMuted(id))
        return;
    NetworkAlert alert{.type = type, .nodeIds = {id}, .nodeNames = {name}};
    if (type == AlertType::online)
        if (const auto outage = m_lastOutageSeconds.constFind(id);
            outage != m_lastOutageSeconds.cend())
            alert.outageSeconds = *outage;
    publishAlert(alert);
}

void AlertCenter::flushHeldChanges()
{
    if (m_holdLimit != 0) {
        cancelOwned(m_holdLimit);
        m_holdLimit = 0;
    }
    const QList<HeldChange> held = std::exchange(m_held, {});
    QList<HeldChange> outages;
    QList<HeldChange> recoveries;
    for (const HeldChange& change : held)
        (change.type == AlertType::offline ? outages : recoveries).append(change);
    flushHeldOutages(outages);
    flushHeldRecoveries(recoveries);
}

void AlertCenter::flushHeldOutages(const QList<HeldChange>& outages)
{
    if (outages.isEmpty())
        return;
    const QHash<qint64, PingStatus> statuses = currentStatuses();
    QSet<qint64> offline;
    for (auto it = statuses.cbegin(); it != statuses.cend(); ++it) {
        if (*it == PingStatus::offline)
            offline.insert(it.key());
    }
    QList<qint64> failed;
    for (const HeldChange& change : outages)
        failed.append(change.id);
    const QHash<qint64, qint64> upstreams =
        outageUpstreams(failed, offline, m_cableSource ? m_cableSource() : QList<Cable>{},
                        m_rootSource ? m_rootSource() : std::nullopt, statuses);
    QList<HeldChange> heads;
    QHash<qint64, QList<HeldChange>> behind;
    for (const HeldChange& change : outages) {
        const qint64 upstream = upstreams.value(change.id, change.id);
        if (upstream == change.id) {
            heads.append(change);
            continue;
        }
        // Folded into the failed node in front of it, whether or not that one alerts now.
        m_groupedUnder.insert(change.id, upstream);
        if (!isMuted(change.id))
            behind[upstream].append(change);
    }
    for (const HeldChange& head : std::as_const(heads)) {
        const QList<HeldChange> members = behind.value(head.id);
        if (members.isEmpty()) {
            raiseSingle(AlertType::offline, head.id, head.name);
            continue;
        }
        if (isMuted(head.id))
            continue;
        NetworkAlert alert{.type = AlertType::offline, .isGrouped = true};
        for (const HeldChange& node : QList<HeldChange>{head} + members) {
            alert.nodeIds.append(node.id);
            alert.nodeNames.append(node.name);
        }
        publishAlert(alert);
    }
}

void AlertCenter::flushHeldRecoveries(const QList<HeldChange>& recoveries)
{
    QSet<qint64> recovering;
    for (const HeldChange& change : recoveries)
        recovering.insert(change.id);
    const QHash<qint64, PingStatus> statuses = currentStatuses();
    // Nodes behind a failed node recover with it, named in its alert; on their own while it is
    // still down, they recover as quietly as they failed.
    QSet<qint64> behindNodes;
    for (const HeldChange& change : recoveries) {
        if (const auto upstream = m_groupedUnder.constFind(change.id);
            upstream != m_groupedUnder.cend()) {
            behindNodes.insert(change.id);
            if (!recovering.contains(*upstream))
                m_groupedUnder.erase(upstream);
        }
    }
    for (const HeldChange& change : recoveries) {
        if (behindNodes.contains(change.id))
            continue;
        QList<qint64> members;
        for (auto it = m_groupedUnder.begin(); it != m_groupedUnder.end();) {
            if (*it == change.id) {
                members.append(it.key());
                it = m_groupedUnder.erase(it);
            } else {
                ++it;
            }
        }
        std::sort(members.begin(), members.end());
        NetworkAlert alert{
            .type = AlertType::online, .nodeIds = {change.id}, .nodeNames = {change.name}};
        for (qint64 id : std::as_const(members)) {
            if (statuses.value(id, PingStatus::unknown) == PingStatus::offline) {
                // Still down once the node in front of it is back: its own outage now.
                raiseSingle(AlertType::offline, id, nodeName(id));
                continue;
            }
            if (!recovering.contains(id))
                m_recoveryAnnounced.insert(id); // its own confirmation is still to come
            if (!isMuted(id)) {
                alert.nodeIds.append(id);
                alert.nodeNames.append(nodeName(id));
            }
        }
        if (alert.nodeIds.size() == 1) {
            raiseSingle(AlertType::online, change.id, change.name);
            continue;
        }
        if (isMuted(change.id))
            continue;
        alert.isGrouped = true;
        if (const auto outage = m_lastOutageSeconds.constFind(change.id);
            outage != m_lastOutageSeconds.cend())
            alert.outageSeconds = *outage;
        publishAlert(alert);
    }
}

void AlertCenter::raiseAlert(AlertType type, const QList<std::pair<qint64, QString>>& nodes)
{
    NetworkAlert alert{.type = type};
    for (const auto& [id, name] : nodes) {
        alert.nodeIds.append(id);
        alert.nodeNames.append(name);
    }
    publishAlert(alert);
}

void AlertCenter::publishAlert(NetworkAlert alert)
{
    const AlertType type = alert.type;
    alert.id = QUuid::createUuid();
    alert.timestamp = m_scheduler->now();
    alert.isVisible = true;
    m_alerts.append(alert);

    if (type == AlertType::offline && m_autoZoomToOutage && !m_isAutoZooming) {
        m_isAutoZooming = true;
        const QList<qint64> ids = alert.nodeIds;
        m_autoZoomTimers.append(scheduleOwned(autoZoomDelay, [this, ids] { zoomToOutage(ids); }));
    }

    const bool applicationActive = m_applicationActiveSource ? m_applicationActiveSource() : true;
    if (m_systemNotificationsEnabled && !applicationActive)
        emit systemNotificationRequested(alert, alertTitle(alert), alertMessage(alert));

    const QUuid id = alert.id;
    scheduleOwned(bannerDuration, [this, id] { dismissAlert(id); });

    while (m_alerts.size() > maxAlerts)
        m_alerts.removeFirst();
    emit alertsChanged();
}

void AlertCenter::zoomToOutage(const QList<qint64>& nodeIds)
{
    m_autoZoomTimers.clear(); // the delayed zoom is this call
    if (const std::optional<Node> focus = findOutageFocus(nodeIds)) {
        if (m_selectNode)
            m_selectNode(focus->id);
        emit zoomToOutageRequested(*focus);
    }
    // Offline alerts during the zoom and for 5 s after it do not move the view again.
    m_autoZoomTimers.append(scheduleOwned(autoZoomHold, [this] {
        m_autoZoomTimers.clear();
        m_isAutoZooming = false;
    }));
}

void AlertCenter::dismissAlert(const QUuid& id)
{
    for (NetworkAlert& alert : m_alerts) {
        if (alert.id == id) {
            if (alert.isVisible) {
                alert.isVisible = false;
                emit alertsChanged();
            }
            return;
        }
    }
}

void AlertCenter::clearAll()
{
    if (m_alerts.isEmpty())
        return;
    m_alerts.clear();
    emit alertsChanged();
}

void AlertCenter::cancelAutoZoom()
{
    // A zoom or hold left over from before a mode change must not move the view, or end a later
    // auto-zoom's hold early.
    for (AlertScheduler::Handle handle : std::as_const(m_autoZoomTimers))
        cancelOwned(handle);
    m_autoZoomTimers.clear();
    m_isAutoZooming = false;
}

void AlertCenter::resetForModeChange()
{
    cancelAutoZoom();
    m_previousStatuses.clear();
    cancelPendingConfirmations();
    m_lastAlertTime.clear();
    if (m_holdLimit != 0)
        cancelOwned(m_holdLimit);
    m_holdLimit = 0;
    m_held.clear();
    m_groupedUnder.clear();
    m_recoveryAnnounced.clear();
    m_offlineSince.clear();
    m_lastOutageSeconds.clear();
}

void AlertCenter::cancelPendingConfirmations()
{
    for (AlertScheduler::Handle handle : std::as_const(m_pendingAlertTimers))
        cancelOwned(handle);
    m_pendingAlertTimers.clear();
}

std::optional<Node> AlertCenter::findOutageFocus(const QList<qint64>& nodeIds) const
{
    return velmora::findOutageFocus(nodeIds, m_nodeSource ? m_nodeSource() : QList<Node>{},
                                    m_cableSource ? m_cableSource() : QList<Cable>{},
                                    m_rootSource ? m_rootSource() : std::nullopt,
                                    currentStatuses());
}

QString AlertCenter::alertMessage(const NetworkAlert& alert) const
{
    return velmora::alertMessage(alert, m_nodeSource ? m_nodeSource() : QList<Node>{});
}

} // namespace velmora
