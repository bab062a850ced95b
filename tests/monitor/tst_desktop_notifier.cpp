// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications against a fake org.freedesktop.Notifications server on a private D-Bus
// daemon: what Notify carries, permission, activation, and a bus without the service (or no bus
// at all) costing one diagnostic line per call and nothing else.

#include "support/dbus_fixture.h"

#include "monitor/desktop_notifier.h"

#include <QDBusMessage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;
using namespace velmora::test;
using namespace Qt::StringLiterals;

namespace {

// The fake service on a connection of its own, gone from the bus with the object.
struct Service {
    explicit Service(const QDBusConnection& bus) : connection(bus) { served = fake.serve(bus); }
    ~Service() { QDBusConnection::disconnectFromBus(connection.name()); }
    void emitSignal(const QString& member, const QList<QVariant>& arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            u"/org/freedesktop/Notifications"_s, u"org.freedesktop.Notifications"_s, member);
        signal.setArguments(arguments);
        QVERIFY(connection.send(signal));
    }

    FakeNotificationServer fake;
    QDBusConnection connection;
    bool served = false;
};

NetworkAlert alertOf(AlertType type)
{
    return {.id = QUuid::createUuid(), .type = type, .nodeIds = {1}, .nodeNames = {u"Core"_s}};
}

} // namespace

class TestDesktopNotifier final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    PrivateBus m_bus;
    int m_connections = 0;

    QDBusConnection connect(const QString& name)
    {
        return m_bus.connect(u"%1-%2"_s.arg(name).arg(++m_connections));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString unavailable = m_bus.start(m_dir.path(), false);
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
    }

    void notifyCarriesAlert_data()
    {
        QTest::addColumn<AlertType>("type");
        QTest::addColumn<bool>("withSound");
        QTest::addColumn<int>("urgency");
        QTest::newRow("offline") << AlertType::offline << true << 2;
        QTest::newRow("online") << AlertType::online << false << 1;
        QTest::newRow("slow") << AlertType::slow << false << 1;
    }
    void notifyCarriesAlert()
    {
        QFETCH(AlertType, type);
        QFETCH(bool, withSound);
        QFETCH(int, urgency);
        Service service(connect(u"server"_s));
        QVERIFY(service.served);
        DesktopNotifier notifier(connect(u"client"_s), nullptr);
        QSignalSpy diagnostics(&notifier, &DesktopNotifier::diagnostic);
        QSignalSpy posted(&notifier, &DesktopNotifier::notificationPosted);
        const NetworkAlert alert = alertOf(type);
        notifier.postAlert(alert, u"Core Offline"_s, u"127.0.0.7"_s);

        QTRY_COMPARE(posted.size(), 1);
        QCOMPARE(posted.at(0).at(0).toUInt(), 41u);
        QCOMPARE(posted.at(0).at(1).value<QUuid>(), alert.id);
        QVERIFY(diagnostics.isEmpty());
        QCOMPARE(service.fake.calls.size(), 1);
        const NotifyCall call = service.fake.calls.first();
        QCOMPARE(call.appName, u"Velmora"_s);
        QCOMPARE(call.replacesId, 0u);
        QCOMPARE(call.appIcon, u"velmora"_s);
        QCOMPARE(call.summary, u"Core Offline"_s);
        QCOMPARE(call.body, u"127.0.0.7"_s);
        QCOMPARE(call.actions, (QStringList{u"default"_s, u"Show"_s}));
        QCOMPARE(call.expireTimeout, -1);
        QCOMPARE(call.hints.value(u"category"_s).toString(), u"NETWORK_ALERT"_s);
        QCOMPARE(call.hints.value(u"desktop-entry"_s).toString(), u"velmora"_s);
        QCOMPARE(call.hints.value(u"sound-name"_s).toString(),
                 withSound ? u"dialog-warning"_s : QString());
        // The protocol types urgency as a byte; servers reject other integer types.
        const QVariant urgencyHint = call.hints.value(u"urgency"_s);
        QCOMPARE(urgencyHint.metaType(), QMetaType::fromType<uchar>());
        QCOMPARE(urgencyHint.toInt(), urgency);
    }

    void permissionAsksServerInformation()
    {
        Service service(connect(u"server"_s));
        QVERIFY(service.served);
        DesktopNotifier notifier(connect(u"client"_s), nullptr);
        QSignalSpy diagnostics(&notifier, &DesktopNotifier::diagnostic);
        QSignalSpy answered(&notifier, &DesktopNotifier::permissionAnswered);
        notifier.requestPermission();
        QTRY_COMPARE(answered.size(), 1);
        QCOMPARE(answered.at(0).at(0).toString(), u"fake-notifications"_s);
        QCOMPARE(service.fake.serverInformationCalls, 1);
        QVERIFY(diagnostics.isEmpty());
    }

    void defaultActionOnOurNotificationActivates()
    {
        Service service(connect(u"server"_s));
        QVERIFY(service.served);
        DesktopNotifier notifier(connect(u"client"_s), nullptr);
        QSignalSpy posted(&notifier, &DesktopNotifier::notificationPosted);
        QSignalSpy activated(&notifier, &DesktopNotifier::activationRequested);
        notifier.postAlert(alertOf(AlertType::offline), u"A Offline"_s, QString());
        notifier.postAlert(alertOf(AlertType::offline), u"A Offline"_s, QString());
        QTRY_COMPARE(posted.size(), 2);
        const uint first = posted.at(0).at(0).toUInt();
        const uint second = posted.at(1).at(0).toUInt();
        QCOMPARE(notifier.activeNotificationIds(), (QSet<uint>{first, second}));

        // Another program's notification, another action, and a closed one of ours do nothing;
        // signals from one sender arrive in order, so the last one proves the others were seen.
        service.emitSignal(u"ActionInvoked"_s, {first + 1000, u"default"_s});
        service.emitSignal(u"ActionInvoked"_s, {first, u"other"_s});
        service.emitSignal(u"NotificationClosed"_s, {second, 2u});
        service.emitSignal(u"ActionInvoked"_s, {second, u"default"_s});
        service.emitSignal(u"ActionInvoked"_s, {first, u"default"_s});
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(notifier.activeNotificationIds(), QSet<uint>{first});
        QTest::qWait(50);
        QCOMPARE(activated.size(), 1);
    }

    void failureIsOneLine_data()
    {
        QTest::addColumn<bool>("withBus");
        QTest::newRow("bus without the service") << true;
        QTest::newRow("no bus at all") << false;
    }
    void failureIsOneLine()
    {
        QFETCH(bool, withBus);
        const QDBusConnection bus =
            withBus ? connect(u"client"_s)
                    : QDBusConnection::connectToBus(
                          u"unix:path=%1"_s.arg(m_dir.filePath(u"none"_s)), u"nowhere"_s);
        QCOMPARE(bus.isConnected(), withBus);
        DesktopNotifier notifier(bus, nullptr);
        QSignalSpy diagnostics(&notifier, &DesktopNotifier::diagnostic);
        QSignalSpy posted(&notifier, &DesktopNotifier::notificationPosted);
        QSignalSpy answered(&notifier, &DesktopNotifier::permissionAnswered);
        notifier.postAlert(alertOf(AlertType::offline), u"A Offline"_s, u"127.0.0.1"_s);
        notifier.requestPermission();
        QTRY_COMPARE(diagnostics.size(), 2);
        QTest::qWait(50); // a third line would show up here
        QStringList lines{diagnostics.at(0).at(0).toString(), diagnostics.at(1).at(0).toString()};
        lines.sort();
        QVERIFY2(lines.at(0).startsWith(u"Notification error: "_s), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(u"Notification permission error: "_s),
                 qPrintable(lines.at(1)));
        // The description is the bus's own message, not empty.
        QVERIFY(lines.at(0).size() > QStringLiteral("Notification error: ").size());
        if (withBus)
            QVERIFY(lines.at(0).contains(u"org.freedesktop.Notifications"_s));
        QCOMPARE(diagnostics.size(), 2);
        QCOMPARE(posted.size() + answered.size(), 0);
        QVERIFY(notifier.activeNotificationIds().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "tst_desktop_notifier.moc"
