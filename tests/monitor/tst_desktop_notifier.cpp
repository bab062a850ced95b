// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications against a small fake org.freedesktop.Notifications server on a private
// D-Bus daemon started by the test: what Notify carries, permission, activation, and a bus
// without the service (or no bus at all) costing one log line and nothing else.

#include "monitor/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

using namespace velmora;
using namespace Qt::StringLiterals;

namespace {

const QString notificationsService = u"org.freedesktop.Notifications"_s;
const QString notificationsPath = u"/org/freedesktop/Notifications"_s;

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

} // namespace

// The notification server side of the protocol, recording what it is sent.
class FakeNotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    using QObject::QObject;
    QList<NotifyCall> calls;
    int serverInformationCalls = 0;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout)
    {
        calls.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
        return uint(calls.size()) + 40;
    }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion)
    {
        ++serverInformationCalls;
        vendor = u"Velmora tests"_s;
        version = u"1"_s;
        specVersion = u"1.2"_s;
        return u"fake-notifications"_s;
    }
    QStringList GetCapabilities() { return {u"actions"_s, u"body"_s, u"sound"_s}; }
};

class TestDesktopNotifier final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void notifyCarriesAlert_data();
    void notifyCarriesAlert();
    void permissionAsksServerInformation();
    void defaultActionOnOurNotificationActivates();
    void missingServiceLogsOneLine();
    void noBusAtAllLogsOneLine();

private:
    QDBusConnection connect(const QString& name);
    void emitServerSignal(const QString& member, const QList<QVariant>& arguments);

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    int m_connections = 0;
};

void TestDesktopNotifier::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed (package dbus-daemon); the notifier needs a bus");
    QVERIFY(m_dir.isValid());
    // A bus of our own with no service directories: nothing can be activated behind our back,
    // so "no notification service" really means none.
    QFile config(m_dir.filePath(u"bus.conf"_s));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(
        QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                       "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                       "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                       "<auth>EXTERNAL</auth><policy context=\"default\">"
                       "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
            .arg(m_dir.path())
            .toUtf8());
    config.close();
    m_daemon.start(daemon, {u"--config-file=%1"_s.arg(config.fileName()), u"--nofork"_s,
                            u"--print-address=1"_s});
    QVERIFY2(m_daemon.waitForStarted(5000), qPrintable(m_daemon.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(m_daemon.canReadLine(), 5000);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void TestDesktopNotifier::cleanupTestCase()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
    }
}

QDBusConnection TestDesktopNotifier::connect(const QString& name)
{
    const QString unique = u"%1-%2"_s.arg(name).arg(++m_connections);
    return QDBusConnection::connectToBus(m_address, unique);
}

void TestDesktopNotifier::notifyCarriesAlert_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("withSound");
    QTest::addColumn<int>("urgency");
    QTest::newRow("offline") << int(AlertType::offline) << true << 2;
    QTest::newRow("online") << int(AlertType::online) << false << 1;
    QTest::newRow("slow") << int(AlertType::slow) << false << 1;
}

void TestDesktopNotifier::notifyCarriesAlert()
{
    QFETCH(int, type);
    QFETCH(bool, withSound);
    QFETCH(int, urgency);

    QDBusConnection server = connect(u"server"_s);
    QVERIFY(server.isConnected());
    FakeNotificationServer fake;
    QVERIFY(server.registerObject(notificationsPath, &fake, QDBusConnection::ExportAllSlots));
    QVERIFY(server.registerService(notificationsService));

    DesktopNotifier notifier(connect(u"client"_s), nullptr);
    QStringList logged;
    notifier.setLogSink([&](const QString& line) { logged.append(line); });
    QSignalSpy posted(&notifier, &DesktopNotifier::notificationPosted);

    NetworkAlert alert;
    alert.id = QUuid::createUuid();
    alert.type = AlertType(type);
    alert.nodeIds = {1};
    alert.nodeNames = {u"Core Switch"_s};
    notifier.postAlert(alert, u"Core Switch Offline"_s, u"127.0.0.7"_s);

    QTRY_COMPARE(posted.size(), 1);
    QCOMPARE(posted.at(0).at(0).toUInt(), 41u);
    QCOMPARE(posted.at(0).at(1).value<QUuid>(), alert.id);
    QVERIFY(logged.isEmpty());
    QCOMPARE(fake.calls.size(), 1);
    const NotifyCall call = fake.calls.first();
    QCOMPARE(call.appName, u"Velmora"_s);
    QCOMPARE(call.replacesId, 0u);
    QCOMPARE(call.appIcon, u"velmora"_s);
    QCOMPARE(call.summary, u"Core Switch Offline"_s);
    QCOMPARE(call.body, u"127.0.0.7"_s);
    QCOMPARE(call.actions, (QStringList{u"default"_s, u"Show"_s}));
    QCOMPARE(call.expireTimeout, -1);
    QCOMPARE(call.hints.value(u"category"_s).toString(), u"NETWORK_ALERT"_s);
    QCOMPARE(call.hints.value(u"x-velmora-category"_s).toString(), u"NETWORK_ALERT"_s);
    QCOMPARE(call.hints.value(u"desktop-entry"_s).toString(), u"velmora"_s);
    QCOMPARE(call.hints.contains(u"sound-name"_s), withSound);
    if (withSound)
        QCOMPARE(call.hints.value(u"sound-name"_s).toString(), u"dialog-warning"_s);
    // The protocol types urgency as a byte; servers reject other integer types.
    const QVariant urgencyHint = call.hints.value(u"urgency"_s);
    QCOMPARE(urgencyHint.metaType(), QMetaType::fromType<uchar>());
    QCOMPARE(urgencyHint.toInt(), urgency);

    server.unregisterService(notificationsService);
    server.unregisterObject(notificationsPath);
}

void TestDesktopNotifier::permissionAsksServerInformation()
{
    QDBusConnection server = connect(u"server"_s);
    FakeNotificationServer fake;
    QVERIFY(server.registerObject(notificationsPath, &fake, QDBusConnection::ExportAllSlots));
    QVERIFY(server.registerService(notificationsService));

    DesktopNotifier notifier(connect(u"client"_s), nullptr);
    QStringList logged;
    notifier.setLogSink([&](const QString& line) { logged.append(line); });
    QSignalSpy answered(&notifier, &DesktopNotifier::permissionAnswered);
    notifier.requestPermission();
    QTRY_COMPARE(answered.size(), 1);
    QCOMPARE(answered.at(0).at(0).toString(), u"fake-notifications"_s);
    QCOMPARE(fake.serverInformationCalls, 1);
    QVERIFY(logged.isEmpty());

    server.unregisterService(notificationsService);
    server.unregisterObject(notificationsPath);
}

void TestDesktopNotifier::emitServerSignal(const QString& member, const QList<QVariant>& arguments)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(notificationsPath, notificationsService, member);
    signal.setArguments(arguments);
    QVERIFY(QDBusConnection(u"server-signals"_s).send(signal));
}

void TestDesktopNotifier::defaultActionOnOurNotificationActivates()
{
    QDBusConnection server = QDBusConnection::connectToBus(m_address, u"server-signals"_s);
    FakeNotificationServer fake;
    QVERIFY(server.registerObject(notificationsPath, &fake, QDBusConnection::ExportAllSlots));
    QVERIFY(server.registerService(notificationsService));

    DesktopNotifier notifier(connect(u"client"_s), nullptr);
    QSignalSpy posted(&notifier, &DesktopNotifier::notificationPosted);
    QSignalSpy activated(&notifier, &DesktopNotifier::activationRequested);
    NetworkAlert alert;
    alert.id = QUuid::createUuid();
    notifier.postAlert(alert, u"A Offline"_s, QString());
    notifier.postAlert(alert, u"A Offline"_s, QString());
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
    QTest::qWait(50);
    QCOMPARE(activated.size(), 1);

    server.unregisterService(notificationsService);
    server.unregisterObject(notificationsPath);
    QDBusConnection::disconnectFromBus(u"server-signals"_s);
}

void TestDesktopNotifier::missingServiceLogsOneLine()
{
    DesktopNotifier notifier(connect(u"client"_s), nullptr);
    QSignalSpy posted(&notifier, &DesktopNotifier::notificationPosted);
    QSignalSpy answered(&notifier, &DesktopNotifier::permissionAnswered);

    // The default sink is standard output: capture it through a temporary file.
    QTemporaryFile capture;
    QVERIFY(capture.open());
    std::fflush(stdout);
    const int savedStdout = ::dup(STDOUT_FILENO);
    QVERIFY(savedStdout >= 0);
    QVERIFY(::dup2(capture.handle(), STDOUT_FILENO) >= 0);

    NetworkAlert alert;
    alert.id = QUuid::createUuid();
    notifier.postAlert(alert, u"A Offline"_s, u"127.0.0.1"_s);
    notifier.requestPermission();
    // Failures only log, so wait for the two lines themselves (stdout is restored before any
    // check can fail).
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QFile reader(capture.fileName());
        if (reader.open(QIODevice::ReadOnly) && reader.readAll().count('\n') >= 2)
            break;
        QTest::qWait(20);
    }
    QTest::qWait(50); // a third line would show up here
    std::fflush(stdout);
    ::dup2(savedStdout, STDOUT_FILENO);
    ::close(savedStdout);

    capture.seek(0);
    const QStringList lines = QString::fromUtf8(capture.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 2, qPrintable(lines.join(u" | "_s)));
    QStringList sorted = lines;
    sorted.sort();
    QVERIFY2(sorted.at(0).startsWith(u"Notification error: "_s), qPrintable(sorted.at(0)));
    QVERIFY2(sorted.at(1).startsWith(u"Notification permission error: "_s),
             qPrintable(sorted.at(1)));
    // The description is the bus's own message, not empty.
    QVERIFY(sorted.at(0).size() > QStringLiteral("Notification error: ").size());
    QVERIFY(sorted.at(0).contains(notificationsService));
    QCOMPARE(posted.size(), 0);
    QCOMPARE(answered.size(), 0);
    QVERIFY(notifier.activeNotificationIds().isEmpty());
}

void TestDesktopNotifier::noBusAtAllLogsOneLine()
{
    const QDBusConnection nowhere = QDBusConnection::connectToBus(
        u"unix:path=%1"_s.arg(m_dir.filePath(u"none"_s)), u"nowhere"_s);
    QVERIFY(!nowhere.isConnected());
    DesktopNotifier notifier(nowhere, nullptr);
    QStringList logged;
    notifier.setLogSink([&](const QString& line) { logged.append(line); });
    NetworkAlert alert;
    notifier.postAlert(alert, u"A Offline"_s, QString());
    notifier.requestPermission();
    QTRY_COMPARE(logged.size(), 2);
    QVERIFY(logged.at(0).startsWith(u"Notification error: "_s));
    QVERIFY(logged.at(1).startsWith(u"Notification permission error: "_s));
}

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "tst_desktop_notifier.moc"
