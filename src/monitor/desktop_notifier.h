// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Posts alerts as freedesktop desktop notifications (org.freedesktop.Notifications over the
// session bus). Every call is asynchronous, so a missing or slow notification service never
// blocks the window; failures are logged as one line and otherwise ignored.

#include "monitor/alert_types.h"

#include <QDBusConnection>
#include <QObject>
#include <QSet>

#include <functional>

namespace velmora {

class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype maxTrackedNotifications = 100;

    // Uses the session bus unless another connection is given (tests use a private bus).
    explicit DesktopNotifier(QObject* parent = nullptr);
    DesktopNotifier(const QDBusConnection& connection, QObject* parent);

    // Where the error lines go; standard output unless replaced.
    void setLogSink(std::function<void(const QString&)> sink) { m_log = std::move(sink); }

    // "Permission": asks the service for its server information. There is nothing to grant on
    // a freedesktop desktop; an error (no service) is logged and ignored.
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

private slots:
    // Bus signals of the notification service (connected by name, hence slots).
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    void connectSignals();
    void log(const QString& line) const;
    QString disconnectedMessage() const;

    QDBusConnection m_connection;
    std::function<void(const QString&)> m_log;
    QSet<uint> m_ourIds;
    QList<uint> m_idOrder; // oldest first, to bound m_ourIds
};

} // namespace velmora
