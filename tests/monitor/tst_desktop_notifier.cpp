// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications against a fake notification server on a private D-Bus daemon: what Notify
// carries, permission, activation, and a missing service or bus costing one line per call.

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

NetworkAlert alertOf(AlertType type)
{
    return {.id = QUuid::createUuid(), .type = type, .nodeIds = {1}, .nodeNames = {u"Core"_s}};
}

} // namespace

class TestDesktopNotifier final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    PrivateBus m_bus;
    QDBusConnection m_server{QString()};
    FakeNotificationServer m_fake;
    int m_clients = 0;

    QDBusConnection client() { return m_bus.connect(u"client-%1"_s.arg(++m_clients)); }
    void emitServerSignal(const QString& member, const QList<QVariant>& arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            u"/org/freedesktop/Notifications"_s, u"org.freedesktop.Notifications"_s, member);
        signal.setArguments(arguments);
        QVERIFY(m_server.send(signal));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString unavailable = m_bus.start(m_dir.path(), false);
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
        m_server = m_bus.connect(u"server"_s);
        QVERIFY(m_fake.serve(m_server));
    }
    void init()
    {
        m_fake.calls.clear();
        m_fake.serverInformationCalls = 0;
    }

    void notifyCarriesAlert_data()
    {
        QTest::addColumn<AlertType>("type");
        QTest::addColumn<bool>("withSound");
        QTest::addColumn<int>("urgency");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("sent"); // markup-safe: a server rendering markup shows `body`
        QTest::newRow("offline") << AlertType::offline << true << 2 << u"127.0.0.7"_s
                                 << u"127.0.0.7"_s;
        QTest::newRow("online, markup in a name")
            << AlertType::online << false << 1 << u"<b>x</b> & y"_s
            << u"&lt;b&gt;x&lt;/b&gt; &amp; y"_s;
        QTest::newRow("slow") << AlertType::slow << false << 1 << u"A &amp; B"_s
                              << u"A &amp;amp; B"_s;
    }
    void notifyCarriesAlert()
    {
        QFETCH(AlertType, type);
        QFETCH(bool, withSound);
        QFETCH(int, urgency);
        QFETCH(QString, body);
        QFETCH(QString, sent);
        DesktopNotifier notifier(client(), nullptr);
        QSignalSpy diagnostics(&notifier, &DesktopNotifier::diagnostic);
        QSignalSpy posted(&notifier, &DesktopNotifier::notificationPosted);
        QSignalSpy answered(&notifier, &DesktopNotifier::permissionAnswered);
        const NetworkAlert alert = alertOf(type);
        notifier.requestPermission(); // asks for the server information, nothing else
        notifier.postAlert(alert, u"Core Offline"_s, body);

        QTRY_COMPARE(posted.size(), 1);
        QCOMPARE(posted.at(0), (QList<QVariant>{41u, alert.id}));
        QTRY_COMPARE(answered.size(), 1);
        QCOMPARE(answered.at(0).at(0).toString(), u"fake-notifications"_s);
        QCOMPARE(m_fake.serverInformationCalls, 1);
        QVERIFY(diagnostics.isEmpty());
        QCOMPARE(m_fake.calls.size(), 1);
        const NotifyCall call = m_fake.calls.first();
        QCOMPARE((QVariantList{call.appName, call.replacesId, call.appIcon, call.summary, call.body,
                               call.actions, call.expireTimeout}),
                 (QVariantList{u"Velmora"_s, 0u, u"velmora"_s, u"Core Offline"_s, sent,
                               QStringList{u"default"_s, u"Show"_s}, -1}));
        QCOMPARE(call.hints.value(u"category"_s).toString(), u"NETWORK_ALERT"_s);
        QCOMPARE(call.hints.value(u"desktop-entry"_s).toString(), u"velmora"_s);
        QCOMPARE(call.hints.value(u"sound-name"_s).toString(),
                 withSound ? u"dialog-warning"_s : QString());
        // The protocol types urgency as a byte; servers reject other integer types.
        QCOMPARE(call.hints.value(u"urgency"_s).metaType(), QMetaType::fromType<uchar>());
        QCOMPARE(call.hints.value(u"urgency"_s).toInt(), urgency);
    }

    void defaultActionOnOurNotificationActivates()
    {
        DesktopNotifier notifier(client(), nullptr);
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
        emitServerSignal(u"ActionInvoked"_s, {first + 1000, u"default"_s});
        emitServerSignal(u"ActionInvoked"_s, {first, u"other"_s});
        emitServerSignal(u"NotificationClosed"_s, {second, 2u});
        emitServerSignal(u"ActionInvoked"_s, {second, u"default"_s});
        emitServerSignal(u"ActionInvoked"_s, {first, u"default"_s});
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(notifier.activeNotificationIds(), QSet<uint>{first});
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
        m_server.unregisterService(u"org.freedesktop.Notifications"_s);
        const QDBusConnection bus =
            withBus ? client()
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
        QTest::qWait(50);
        QCOMPARE(diagnostics.size(), 2); // a third line would show up by now
        QStringList lines{diagnostics.at(0).at(0).toString(), diagnostics.at(1).at(0).toString()};
        lines.sort();
        // Each line is its prefix and the bus's own description, which is not empty.
        QVERIFY2(lines.at(0).startsWith(u"Notification error: "_s) && lines.at(0).size() > 20,
                 qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(u"Notification permission error: "_s),
                 qPrintable(lines.at(1)));
        QVERIFY(!withBus || lines.at(0).contains(u"org.freedesktop.Notifications"_s));
        QCOMPARE(posted.size() + answered.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "tst_desktop_notifier.moc"
