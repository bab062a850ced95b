// SPDX-License-Identifier: GPL-3.0-or-later
// One outage end to end with nothing faked below the window: a real ContentView in live mode,
// the real ping manager and ICMP engine, the real desktop notifier on a private D-Bus bus with a
// small fake notification server. A host goes down by losing its address in a network namespace
// the test creates for itself, and comes back when the address returns.
//
// The ICMP engine is process-wide, so the whole test runs inside the namespace: main() creates
// it, runs this binary again under `ip netns exec` and deletes the namespace afterwards.

#include "support/builders.h"
#include "support/dbus_fixture.h"
#include "support/netns.h"
#include "support/pixels.h"

#include "app/content_view.h"
#include "canvas/cable_geometry.h"
#include "canvas/canvas_widget.h"
#include "canvas/splash_overlay.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "monitor/alert_center.h"
#include "monitor/ping_manager.h"
#include "panes/live_monitoring.h"

#include <QApplication>
#include <QDBusError>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

using namespace velmora;
using namespace velmora::test;
using namespace Qt::StringLiterals;

namespace {

// Set in the re-executed process to the name of the namespace it runs in.
constexpr char namespaceMarker[] = "VELMORA_E2E_NETNS";

// The host that goes down, and its neighbour whose address is never taken away.
constexpr qint64 downNodeId = 1;
constexpr qint64 neighbourId = 2;
const QString downAddress = u"127.0.77.1"_s;
const QString neighbourAddress = u"127.0.77.2"_s;
const QString downName = u"Core Switch"_s;

// Root — Core Switch — five hosts, for grouped alerts: the switch and its hosts go down at once.
const QString groupPrefix = u"127.0.78."_s;
constexpr qint64 groupSwitchId = 2;

QString skipReason;
QString busAddress;

ProjectData project()
{
    ProjectData data =
        projectWith({NodeData{downNodeId, downName, u"Switch"_s, downAddress},
                     NodeData{neighbourId, u"Uplink"_s, u"Router"_s, neighbourAddress, 500}},
                    {cableBetween(1, downNodeId, neighbourId)});
    data.projectName = u"Outage"_s;
    return data;
}

ProjectData switchProject()
{
    QList<NodeData> nodes{{.id = 1, .name = u"Root"_s, .ip = groupPrefix + u"1"_s},
                          {.id = groupSwitchId, .name = downName, .ip = groupPrefix + u"2"_s}};
    QList<CableData> cables{cableBetween(1, 1, groupSwitchId)};
    for (qint64 id = 3; id <= 7; ++id) {
        // A name that is markup to a notification server must arrive as that literal text.
        const QString name = id == 3 ? u"<b>x</b> & y"_s : u"Host %1"_s.arg(id);
        nodes.append({.id = id,
                      .name = name,
                      .ip = groupPrefix + QString::number(id),
                      .x = double(id * 200),
                      .y = 300});
        cables.append(cableBetween(id, groupSwitchId, id));
    }
    return projectWith(nodes, cables);
}

QStringList groupAddresses()
{
    QStringList addresses;
    for (int i = 1; i <= 7; ++i)
        addresses.append(groupPrefix + QString::number(i));
    return addresses;
}

// Takes the switch and its five hosts away at once, or gives them back.
bool setSwitchAndHosts(const char* operation)
{
    bool ok = true;
    for (const QString& address : groupAddresses().mid(1))
        ok = succeeds(u"ip"_s, {u"addr"_s, QString::fromLatin1(operation), address + u"/32"_s,
                                u"dev"_s, u"lo"_s}) &&
             ok;
    return ok;
}

// Takes the address that goes down away (inside our namespace) or gives it back.
bool setDownHost(const char* operation)
{
    return succeeds(u"ip"_s, {u"addr"_s, QString::fromLatin1(operation), downAddress + u"/32"_s,
                              u"dev"_s, u"lo"_s});
}

PingStatus statusOf(const PingManager* pings, qint64 id)
{
    return pings->nodeStatuses().value(id, PingStatus::unknown);
}

// A window on the outage project, framed and without the splash.
struct Window {
    explicit Window(bool onScreen, ProjectData data = project())
        : document(std::move(data)), view(&document)
    {
        // Off screen, the application stays in the background: on the offscreen platform the
        // first shown window makes it active for good, and alerts become desktop notifications
        // only while Velmora is not the active application.
        view.setAttribute(Qt::WA_DontShowOnScreen, !onScreen);
        view.resize(1400, 900);
        view.show();
        view.windowShown();
        view.splash()->finish();
    }
    PingManager* pings() { return view.pingManager(); }
    AlertCenter* alerts() { return view.liveMonitoring()->alertCenter(); }

    ProjectDocument document;
    ContentView view;
};

// In a fresh rendering of the canvas, whether the cable is drawn in `expected`: of 19 samples
// along its middle (a fifth at either end is left out: there it meets the nodes' outlines), at
// least 10 show that colour and none shows `forbidden`.
bool cableDrawnIn(const ContentView& view, QColor expected, QColor forbidden)
{
    const ProjectData& data = view.session()->project();
    const ViewTransform transform = view.viewState()->transform();
    const QPointF from = transform.toScreen(anchorPosition(data.cables[0].points.at(0), data));
    const QPointF to = transform.toScreen(anchorPosition(data.cables[0].points.at(1), data));
    const QImage image = view.canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int matches = 0;
    for (int k = 6; k <= 24; ++k) {
        const QColor pixel = image.pixelColor((from + (to - from) * (k / 30.0)).toPoint());
        if (colorsNear(pixel, forbidden, 30))
            return false;
        matches += colorsNear(pixel, expected, 30) ? 1 : 0;
    }
    return matches >= 10;
}

const QColor online = QColor::fromRgbF(0.29f, 0.87f, 0.5f);
const QColor offline = QColor::fromRgbF(0.95f, 0.3f, 0.3f);

} // namespace

class TestLiveEndToEnd final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!skipReason.isEmpty())
            QSKIP(qPrintable(skipReason));
        QStandardPaths::setTestModeEnabled(true); // per-user options at their defaults
        QSettings().clear();
        m_server = QDBusConnection::connectToBus(busAddress, u"fake-notification-server"_s);
        QVERIFY2(m_server.isConnected(), qPrintable(m_server.lastError().message()));
        QVERIFY(m_fake.serve(m_server));
    }

    void outageAndRecovery()
    {
        Window w(false);
        QTRY_VERIFY_WITH_TIMEOUT(w.view.viewState()->isContentReady(), 2000);
        QVERIFY2(QGuiApplication::applicationState() != Qt::ApplicationActive,
                 "the application must be in the background for desktop notifications");
        PingManager* pings = w.pings();
        AlertCenter* alerts = w.alerts();
        ProjectSession* session = w.view.session();
        const QList<CablePoint> cablePoints = session->project().cables[0].points;
        const auto cableStatus = [&] { return pings->cableStatus(1, cablePoints); };

        // The selection when the first alert is raised: the outage zoom comes after it.
        std::optional<QSet<qint64>> selectionAtAlert;
        connect(alerts, &AlertCenter::alertsChanged, this, [&] {
            if (!selectionAtAlert && !alerts->alerts().isEmpty())
                selectionAtAlert = session->selectedNodes();
        });
        QSignalSpy monitoringErrors(pings, &PingManager::monitoringError);

        // The fastest interval preset, then live mode.
        pings->setPingInterval(1.0);
        w.view.switchMode(AppMode::live);
        QVERIFY(pings->isMonitoring());
        QTRY_VERIFY2_WITH_TIMEOUT(statusOf(pings, downNodeId) == PingStatus::online &&
                                      statusOf(pings, neighbourId) == PingStatus::online,
                                  monitoringErrors.isEmpty()
                                      ? "both hosts answer within 10 s"
                                      : qPrintable(monitoringErrors.first().first().toString()),
                                  10000);
        // Rendering the live cable while both ends answer draws it in the online colour (and
        // remembers that it has been online, which later lets it be drawn offline).
        QTRY_VERIFY_WITH_TIMEOUT(cableDrawnIn(w.view, online, offline), 3000);
        QCOMPARE(cableStatus(), PingStatus::online);
        QVERIFY(alerts->alerts().isEmpty()); // starting to monitor raises nothing
        QVERIFY(m_fake.calls.isEmpty());

        // The host goes down: sends to it now fail at once; the next request follows within
        // 1 s and is published within 0.5 s.
        QVERIFY(setDownHost("del"));
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(pings, downNodeId), PingStatus::offline, 5000);
        QCOMPARE(statusOf(pings, neighbourId), PingStatus::online);
        QCOMPARE(cableStatus(), PingStatus::offline);
        QVERIFY(cableDrawnIn(w.view, offline, online));

        // Confirmed after 2 s: one offline alert, in the history and as a desktop notification.
        QTRY_VERIFY_WITH_TIMEOUT(!alerts->alerts().isEmpty(), 5000);
        const NetworkAlert down = alerts->alerts().first();
        QCOMPARE(alerts->alerts().size(), 1);
        QCOMPARE(down.type, AlertType::offline);
        QCOMPARE(down.nodeIds, QList<qint64>{downNodeId});
        QCOMPARE(down.nodeNames, QStringList{downName});
        QVERIFY(down.isVisible);
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.calls.size(), 1, 3000);
        QCOMPARE(m_fake.calls.at(0).summary, downName + u" Offline"_s);
        QCOMPARE(m_fake.calls.at(0).body, downAddress);
        QCOMPARE(m_fake.calls.at(0).hints.value(u"category"_s).toString(), u"NETWORK_ALERT"_s);
        QVERIFY(m_fake.calls.at(0).hints.contains(u"sound-name"_s)); // offline alerts sound

        // Auto-zoom: shortly after the alert the outage node becomes the only selection.
        QCOMPARE(selectionAtAlert, std::optional(QSet<qint64>{}));
        QVERIFY(alerts->isAutoZooming());
        QTRY_COMPARE_WITH_TIMEOUT(session->selectedNodes(), QSet<qint64>{downNodeId}, 2000);
        QVERIFY(session->selectedCableIds().isEmpty());

        // The host comes back: an online alert and a second notification, without sound.
        QVERIFY(setDownHost("add"));
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(pings, downNodeId), PingStatus::online, 5000);
        QCOMPARE(cableStatus(), PingStatus::online);
        QTRY_COMPARE_WITH_TIMEOUT(alerts->alerts().size(), 2, 5000);
        QCOMPARE(alerts->alerts().at(1).type, AlertType::online);
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.calls.size(), 2, 3000);
        QCOMPARE(m_fake.calls.at(1).summary, downName + u" Online"_s);
        QVERIFY(!m_fake.calls.at(1).hints.contains(u"sound-name"_s));
        QTRY_VERIFY_WITH_TIMEOUT(cableDrawnIn(w.view, online, offline), 3000);

        w.view.switchMode(AppMode::edit);
        QVERIFY(!pings->isMonitoring());
    }

    // With grouping on, the switch and the five hosts behind it failing together raise one
    // alert and one notification naming the switch, and their return one grouped online alert.
    void groupedOutageAndRecovery()
    {
        Window w(false, switchProject());
        QTRY_VERIFY_WITH_TIMEOUT(w.view.viewState()->isContentReady(), 2000);
        w.view.session()->setRoot(1);
        w.alerts()->setGroupAlerts(true);
        const qsizetype notifiedBefore = m_fake.calls.size();
        w.pings()->setPingInterval(1.0);
        w.view.switchMode(AppMode::live);
        const auto allAre = [&](PingStatus status, qint64 from) {
            for (qint64 id = from; id <= 7; ++id) {
                if (statusOf(w.pings(), id) != status)
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(allAre(PingStatus::online, 1), 15000);

        QVERIFY(setSwitchAndHosts("del"));
        QTRY_VERIFY_WITH_TIMEOUT(allAre(PingStatus::offline, groupSwitchId), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.alerts()->alerts().isEmpty(), 10000);
        QTest::qWait(4000); // every other confirmation is due by now
        QCOMPARE(w.alerts()->alerts().size(), 1);
        const NetworkAlert down = w.alerts()->alerts().first();
        QVERIFY(down.isGrouped);
        QCOMPARE(down.nodeIds.first(), groupSwitchId);
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.calls.size(), notifiedBefore + 1, 3000);
        const NotifyCall call = m_fake.calls.last();
        QCOMPARE(call.summary, downName + u" Offline \u2014 5 nodes behind it unreachable"_s);
        QVERIFY2(call.body.startsWith(u"&lt;b&gt;x&lt;/b&gt; &amp; y, Host 4"_s),
                 qPrintable(call.body));

        QVERIFY(setSwitchAndHosts("add"));
        QTRY_VERIFY_WITH_TIMEOUT(allAre(PingStatus::online, groupSwitchId), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(w.alerts()->alerts().size(), 2, 10000);
        QTest::qWait(4000);
        QCOMPARE(w.alerts()->alerts().size(), 2);
        const NetworkAlert back = w.alerts()->alerts().last();
        QCOMPARE(alertTitle(back),
                 downName + u" Online \u2014 5 nodes behind it reachable again"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_fake.calls.size(), notifiedBefore + 2, 3000);
        w.view.switchMode(AppMode::edit);
    }

    // Last: once a window has been shown on the offscreen platform, the application stays
    // active for the rest of the process.
    void activeApplicationShowsBannerOnly()
    {
        QVERIFY(setDownHost("replace")); // whatever the previous test left, the host answers
        Window w(true);
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::applicationState(), Qt::ApplicationActive, 2000);
        QSignalSpy notificationRequests(w.alerts(), &AlertCenter::systemNotificationRequested);
        const qsizetype notifiedBefore = m_fake.calls.size();
        w.pings()->setPingInterval(1.0);
        w.view.switchMode(AppMode::live);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(w.pings(), downNodeId), PingStatus::online, 10000);

        QVERIFY(setDownHost("del"));
        QTRY_VERIFY_WITH_TIMEOUT(!w.alerts()->alerts().isEmpty(), 10000);
        QCOMPARE(w.alerts()->alerts().size(), 1);
        QCOMPARE(w.alerts()->alerts().first().type, AlertType::offline);
        QVERIFY(w.alerts()->alerts().first().isVisible); // the in-window banner
        QCOMPARE(notificationRequests.size(), 0);
        // The outage zoom follows 0.3 s later; a notification sent with the alert would have
        // reached the server by then.
        QTRY_COMPARE_WITH_TIMEOUT(w.view.session()->selectedNodes(), QSet<qint64>{downNodeId},
                                  2000);
        QCOMPARE(m_fake.calls.size(), notifiedBefore);
        QVERIFY(setDownHost("add"));
        w.view.switchMode(AppMode::edit);
    }

private:
    QDBusConnection m_server{u"unconnected"_s};
    FakeNotificationServer m_fake;
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(namespaceMarker)) {
        // Inside the namespace. The outer process waits for us; should it be killed outright,
        // do not outlive it. The private bus comes first, so that every session-bus user of
        // the process (the window's notifier among them) finds it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        QTemporaryDir busFolder;
        PrivateBus bus;
        skipReason = bus.start(busFolder.path());
        busAddress = bus.address();
        QApplication app(argc, argv);
        TestLiveEndToEnd test;
        return QTest::qExec(&test, argc, argv);
    }
    QCoreApplication app(argc, argv);
    skipReason = NetworkNamespace::unavailableReason();
    if (skipReason.isEmpty()) {
        // Loopback inside holds only the two hosts, one of which the test takes away.
        const NetworkNamespace space(u"velmora-e2e"_s);
        if (space.isValid() &&
            space.useOnlyHosts(QStringList{downAddress, neighbourAddress} + groupAddresses())) {
            RunOptions options{.prefix = space.execPrefix(), .timeoutMs = 170000};
            options.environment.insert(QString::fromLatin1(namespaceMarker), space.name());
            const ProcessResult inner = runProgram(QCoreApplication::applicationFilePath(),
                                                   app.arguments().mid(1), options);
            std::fputs(inner.out.constData(), stdout);
            std::fputs(inner.err.constData(), stderr);
            return inner.exitCode == 0 ? 0 : 1;
        }
        skipReason = u"cannot set up a network namespace (ip netns add) for the hosts"_s;
    }
    TestLiveEndToEnd test; // skips with the reason
    return QTest::qExec(&test, argc, argv);
}

#include "tst_live_e2e.moc"
