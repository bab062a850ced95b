// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;
const QString interface = u"org.freedesktop.Notifications"_s;

// Urgency levels of the notification protocol (a byte): 1 normal, 2 critical.
constexpr uchar urgencyNormal = 1;
constexpr uchar urgencyCritical = 2;

} // namespace

QString escapeNotificationBody(const QString& body)
{
    QString escaped = body;
    escaped.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
    return escaped;
}

DesktopNotifier::DesktopNotifier(QObject* parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent)
{
}

DesktopNotifier::DesktopNotifier(const QDBusConnection& connection, QObject* parent)
    : QObject(parent), m_connection(connection)
{
    connectSignals();
}

void DesktopNotifier::connectSignals()
{
    if (!m_connection.isConnected())
        return;
    m_connection.connect(service, path, interface, u"ActionInvoked"_s, this,
                         SLOT(onActionInvoked(uint, QString)));
    m_connection.connect(service, path, interface, u"NotificationClosed"_s, this,
                         SLOT(onNotificationClosed(uint, uint)));
}

QString DesktopNotifier::disconnectedMessage() const
{
    const QString message = m_connection.lastError().message();
    return message.isEmpty() ? u"Not connected to D-Bus server"_s : message;
}

void DesktopNotifier::requestPermission()
{
    // Without a bus there is no pending call to watch; say so at once.
    if (!m_connection.isConnected()) {
        emit diagnostic(u"Notification permission error: "_s + disconnectedMessage());
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, u"GetServerInformation"_s);
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QString, QString, QString, QString> reply = *finished;
                if (reply.isError()) {
                    emit diagnostic(u"Notification permission error: "_s + reply.error().message());
                    return;
                }
                emit permissionAnswered(reply.argumentAt<0>());
            });
}

void DesktopNotifier::postAlert(const NetworkAlert& alert, const QString& title,
                                const QString& body)
{
    if (!m_connection.isConnected()) {
        emit diagnostic(u"Notification error: "_s + disconnectedMessage());
        return;
    }
    QVariantMap hints;
    hints.insert(u"category"_s, u"NETWORK_ALERT"_s);
    hints.insert(u"x-velmora-category"_s, u"NETWORK_ALERT"_s);
    hints.insert(u"x-velmora-alert-id"_s, alert.id.toString(QUuid::WithoutBraces));
    hints.insert(u"desktop-entry"_s, u"velmora"_s);
    const bool offline = alert.type == AlertType::offline;
    if (offline)
        hints.insert(u"sound-name"_s, u"dialog-warning"_s);
    hints.insert(u"urgency"_s, QVariant::fromValue(offline ? urgencyCritical : urgencyNormal));

    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, u"Notify"_s);
    call << u"Velmora"_s << uint(0) << u"velmora"_s << title << escapeNotificationBody(body)
         << QStringList{u"default"_s, tr("Show")} << hints << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    const QUuid alertId = alert.id;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, alertId](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError()) {
                    emit diagnostic(u"Notification error: "_s + reply.error().message());
                    return;
                }
                const uint id = reply.value();
                if (!m_ourIds.contains(id)) {
                    m_ourIds.insert(id);
                    m_idOrder.append(id);
                    // A service that never reports closing must not make this grow for days.
                    while (m_idOrder.size() > maxTrackedNotifications)
                        m_ourIds.remove(m_idOrder.takeFirst());
                }
                emit notificationPosted(id, alertId);
            });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& actionKey)
{
    if (actionKey == u"default"_s && m_ourIds.contains(id))
        emit activationRequested();
}

void DesktopNotifier::onNotificationClosed(uint id, uint /*reason*/)
{
    if (m_ourIds.remove(id))
        m_idOrder.removeOne(id);
}

} // namespace velmora
