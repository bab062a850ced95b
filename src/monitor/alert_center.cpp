// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_center.h"

#include "model/topology.h"

#include <QSet>

#include <memory>

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
    if (!enabled)
        cancelPendingConfirmations();
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
    if (const std::optional<AlertType> type = alertForTransition(previous, current))
        raiseAlert(*type, {{nodeId, name}});
}

void AlertCenter::raiseAlert(AlertType type, const QList<std::pair<qint64, QString>>& nodes)
{
    NetworkAlert alert;
    alert.id = QUuid::createUuid();
    alert.timestamp = m_scheduler->now();
    alert.type = type;
    for (const auto& [id, name] : nodes) {
        alert.nodeIds.append(id);
        alert.nodeNames.append(name);
    }
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
