// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private D-Bus session bus and a fake org.freedesktop.Notifications server, so that tests of
// desktop notifications see exactly what Velmora sends and nothing else can answer.

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <sys/types.h>

namespace velmora::test {

// A dbus-daemon of our own with no service directories, so nothing can be activated behind a
// test's back: "no notification service" then really means none. It ends with the test process
// however that ends. Usable before the Q(Core)Application exists.
class PrivateBus {
public:
    PrivateBus() = default;
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    ~PrivateBus();

    // Starts the daemon with its socket and configuration in `folder`. Empty on success, else
    // why it could not start. With `exportAddress` the process's DBUS_SESSION_BUS_ADDRESS then
    // names this bus, so every session-bus user in the process finds it.
    QString start(const QString& folder, bool exportAddress = true);
    const QString& address() const { return m_address; }
    // A new named connection to this bus.
    QDBusConnection connect(const QString& connectionName) const;

private:
    pid_t m_pid = -1;
    QString m_address;
};

struct NotifyCall {
    QString appName;
    uint replacesId = 0;
    QString appIcon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int expireTimeout = 0;
};

// The server side of org.freedesktop.Notifications, recording what it is sent.
class FakeNotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    using QObject::QObject;
    QList<NotifyCall> calls;
    int serverInformationCalls = 0;
    QStringList capabilities = {QStringLiteral("actions"), QStringLiteral("body"),
                                QStringLiteral("sound")};

    // Registers the server object and takes the service name on `connection`.
    bool serve(QDBusConnection connection);

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout);
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion);
    QStringList GetCapabilities() { return capabilities; }
};

} // namespace velmora::test
