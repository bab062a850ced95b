// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The alert logic of one window in live mode: watches every published status map, confirms a
// significant change after it has held for 2 s, keeps the alert list (at most 50, oldest first),
// hides banners after 5 s, asks for a desktop notification while the application is in the
// background and, for an outage, for a zoom to the affected node. QtCore only: the project, the
// ping statuses and the application state reach it through injected callbacks.

#include "model/editing_types.h"
#include "monitor/alert_scheduler.h"
#include "monitor/alert_types.h"
#include "monitor/ping_status.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

namespace velmora {

class AlertMutes;

// The node to move the view to for an outage naming `nodeIds`. With a root: the first named node
// met in a breadth-first walk from the root (the root itself never counts). Without a root: the
// first named node that has a directly cabled, online neighbour outside `nodeIds`. Failing that,
// the first named node. Absent when that node is not in `nodes`, or with a root and no ids.
std::optional<Node> findOutageFocus(const QList<qint64>& nodeIds, const QList<Node>& nodes,
                                    const QList<Cable>& cables, std::optional<qint64> rootNodeId,
                                    const QHash<qint64, PingStatus>& statuses);

// Which alert, if any, a confirmed change from `previous` to `current` raises: going offline
// always does; coming online only from offline; becoming slow only from online.
std::optional<AlertType> alertForTransition(PingStatus previous, PingStatus current);

class AlertCenter final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype maxAlerts = 50;
    static constexpr std::chrono::milliseconds confirmationDelay{2000};
    static constexpr std::chrono::milliseconds autoZoomDelay{300};
    static constexpr std::chrono::milliseconds autoZoomHold{5000};
    static constexpr std::chrono::milliseconds bannerDuration{5000};
    static constexpr std::chrono::milliseconds repeatSuppression{30000};
    // With grouping on, confirmed outages and recoveries wait until no other confirmation is
    // pending, at most this long, so that a switch and the nodes behind it are judged together.
    static constexpr std::chrono::milliseconds groupingHold{3000};

    // Without a scheduler the center makes its own QtAlertScheduler. A given scheduler must
    // outlive the center.
    explicit AlertCenter(QObject* parent = nullptr, AlertScheduler* scheduler = nullptr);
    ~AlertCenter() override;

    // Where the center reads the project and the live state. Unset sources read as an empty
    // project, no root, the statuses last handed to handleStatusChanges(), and an active
    // application (so no desktop notifications).
    void setNodeSource(std::function<QList<Node>()> source) { m_nodeSource = std::move(source); }
    void setCableSource(std::function<QList<Cable>()> source) { m_cableSource = std::move(source); }
    void setRootSource(std::function<std::optional<qint64>()> source)
    {
        m_rootSource = std::move(source);
    }
    void setStatusSource(std::function<QHash<qint64, PingStatus>()> source)
    {
        m_statusSource = std::move(source);
    }
    void setApplicationActiveSource(std::function<bool()> source)
    {
        m_applicationActiveSource = std::move(source);
    }
    // Makes the given node the only selection (nodes and cables) before an outage zoom.
    void setSelectNode(std::function<void(qint64)> select) { m_selectNode = std::move(select); }

    // Options of the live pane. Turning in-app alerts off also cancels the confirmations
    // already waiting.
    bool alertsEnabled() const { return m_alertsEnabled; }
    bool systemNotificationsEnabled() const { return m_systemNotificationsEnabled; }
    bool autoZoomToOutage() const { return m_autoZoomToOutage; }
    void setAlertsEnabled(bool enabled);
    void setSystemNotificationsEnabled(bool enabled);
    void setAutoZoomToOutage(bool enabled);
    // "Group alerts behind a failed node" (off by default): nodes cut off behind a failed node
    // raise no alerts of their own; the failed node's alert names them.
    bool groupAlerts() const { return m_groupAlerts; }
    void setGroupAlerts(bool enabled);
    // Muted addresses raise no alert (no banner, notification or zoom). Must outlive the center.
    void setMutes(const AlertMutes* mutes) { m_mutes = mutes; }
    bool isMuted(qint64 nodeId) const;

    bool isAutoZooming() const { return m_isAutoZooming; }
    const QList<NetworkAlert>& alerts() const { return m_alerts; }
    QList<NetworkAlert> visibleAlerts(qsizetype limit) const; // oldest first
    const QHash<qint64, PingStatus>& previousStatuses() const { return m_previousStatuses; }
    const QHash<qint64, AlertScheduler::Handle>& pendingAlertTimers() const
    {
        return m_pendingAlertTimers;
    }
    const QHash<qint64, QDateTime>& lastAlertTime() const { return m_lastAlertTime; }
    QDateTime now() const { return m_scheduler->now(); }

    // Called on every publication of the ping manager's status map.
    void handleStatusChanges(const QList<Node>& nodes,
                             const QHash<qint64, PingStatus>& currentStatuses, bool appModeIsLive);
    void raiseAlert(AlertType type, const QList<std::pair<qint64, QString>>& nodes);
    void dismissAlert(const QUuid& id);
    void clearAll();
    // Entering or leaving live mode: forget previous statuses, pending confirmations, the
    // auto-zoom state and recorded alert times. The alert list survives.
    void resetForModeChange();

    std::optional<Node> findOutageFocus(const QList<qint64>& nodeIds) const;
    QString alertMessage(const NetworkAlert& alert) const; // against the current project

signals:
    void alertsChanged();
    void optionsChanged();
    void zoomToOutageRequested(const velmora::Node& node);
    // The application is in the background and "Background Alerts" is on.
    void systemNotificationRequested(const velmora::NetworkAlert& alert, const QString& title,
                                     const QString& body);

private:
    struct HeldChange {
        qint64 id;
        QString name;
        AlertType type;
    };

    QHash<qint64, PingStatus> currentStatuses() const;
    void confirmChange(qint64 nodeId, const QString& name, PingStatus previous, PingStatus current);
    // One node's alert, unless it is muted; an online alert carries the outage's length.
    void raiseSingle(AlertType type, qint64 id, const QString& name);
    void publishAlert(NetworkAlert alert);
    void flushHeldChanges();
    void flushHeldOutages(const QList<HeldChange>& outages);
    void flushHeldRecoveries(const QList<HeldChange>& recoveries);
    QString nodeName(qint64 id) const;
    void zoomToOutage(const QList<qint64>& nodeIds);
    void cancelAutoZoom();
    void cancelPendingConfirmations();
    // Schedules on m_scheduler and remembers the handle, so that destruction cancels it.
    AlertScheduler::Handle scheduleOwned(std::chrono::milliseconds delay,
                                         std::function<void()> callback);
    void cancelOwned(AlertScheduler::Handle handle);

    AlertScheduler* m_scheduler;
    std::function<QList<Node>()> m_nodeSource;
    std::function<QList<Cable>()> m_cableSource;
    std::function<std::optional<qint64>()> m_rootSource;
    std::function<QHash<qint64, PingStatus>()> m_statusSource;
    std::function<bool()> m_applicationActiveSource;
    std::function<void(qint64)> m_selectNode;

    bool m_alertsEnabled = true;
    bool m_systemNotificationsEnabled = true;
    bool m_autoZoomToOutage = true;
    bool m_isAutoZooming = false;
    QList<NetworkAlert> m_alerts;
    QHash<qint64, PingStatus> m_previousStatuses;
    QHash<qint64, AlertScheduler::Handle> m_pendingAlertTimers;
    QHash<qint64, QDateTime> m_lastAlertTime;
    QHash<qint64, PingStatus> m_lastPublished;
    QList<AlertScheduler::Handle> m_autoZoomTimers; // the delayed zoom and its 5 s hold
    QSet<AlertScheduler::Handle> m_ownedTimers;

    bool m_groupAlerts = false;
    const AlertMutes* m_mutes = nullptr;
    QHash<qint64, QDateTime> m_offlineSince;   // when the node's offline status was seen
    QHash<qint64, qint64> m_lastOutageSeconds; // the length of the node's last outage
    QList<HeldChange> m_held;                  // confirmed, waiting to be grouped
    AlertScheduler::Handle m_holdLimit = 0;
    QHash<qint64, qint64> m_groupedUnder; // node behind → the failed node its alert went into
    QSet<qint64> m_recoveryAnnounced;     // named in a grouped online alert before confirmation
};

} // namespace velmora
