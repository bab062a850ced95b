// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Posts alerts as freedesktop desktop notifications (org.freedesktop.Notifications over the
// session bus). Every call is asynchronous, so a missing or slow notification service never
// blocks the window; a failure becomes one diagnostic line and is otherwise ignored.

#include "monitor/alert_types.h"

#include <QDBusConnection>
#include <QObject>
#include <QSet>

namespace velmora {

// Notification servers may render a body as markup: `&`, `<` and `>` become entities, so names
// and addresses always show as typed.
QString escapeNotificationBody(const QString& body);

class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype maxTrackedNotifications = 100;

    // Uses the session bus unless another connection is given (tests use a private bus).
    explicit DesktopNotifier(QObject* parent = nullptr);
    DesktopNotifier(const QDBusConnection& connection, QObject* parent);

    // "Permission": asks the service for its server information. There is nothing to grant on
    // a freedesktop desktop; an error (no service) is reported and ignored.
    void requestPermission();

    // Posts `alert` with the given title and body. The sound hint is set for offline alerts
    // only; offline alerts are critical, the others normal.
    void postAlert(const NetworkAlert& alert, const QString& title, const QString& body);

    // The ids the service gave our notifications that are still on screen (bounded).
    const QSet<uint>& activeNotificationIds() const { return m_ourIds; }

signals:
    // The user activated one of our notifications: raise and activate the window.
    void activationRequested();
    // The service answered GetServerInformation (name as it reports it).
    void permissionAnswered(const QString& serverName);
    // The service accepted a notification and gave it this id.
    void notificationPosted(uint notificationId, const QUuid& alertId);
    // A failure as the line the application prints: "Notification error: " or "Notification
    // permission error: ", then the bus's description.
    void diagnostic(const QString& line);

private slots:
    // Bus signals of the notification service (connected by name, hence slots).
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    void connectSignals();
    QString disconnectedMessage() const;

    QDBusConnection m_connection;
    QSet<uint> m_ourIds;
    QList<uint> m_idOrder; // oldest first, to bound m_ourIds
};

} // namespace velmora
