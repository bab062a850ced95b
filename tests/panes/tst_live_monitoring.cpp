// SPDX-License-Identifier: GPL-3.0-or-later
// Live mode wired into a window's parts: the live pane's options and interval choice act on the
// ping manager, the view and the canvas pulse; a publication reaches the counts, the node
// details and the alert bookkeeping; with ICMP available, a loopback node is counted online.

#include "canvas/canvas_widget.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "monitor/alert_center.h"
#include "monitor/ping_manager.h"
#include "panes/alert_history.h"
#include "panes/live_monitoring.h"
#include "panes/live_pane.h"
#include "panes/node_details.h"

#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace velmora;
using namespace Qt::StringLiterals;

namespace {

ProjectData loopbackProject()
{
    ProjectData project;
    NodeData a;
    a.id = 1;
    a.name = u"Loopback"_s;
    a.ip = u"127.0.0.1"_s;
    NodeData b;
    b.id = 2;
    b.name = u"No address"_s;
    project.nodes = {a, b};
    project.nextNodeId = 3;
    return project;
}

// The parts of a window that live mode touches.
struct Window {
    ProjectDocument document{loopbackProject()};
    ProjectSession session{&document};
    ViewState view{&session};
    PingManager pingManager;
    QWidget host;
    CanvasWidget* canvas = new CanvasWidget(&session, &view, &host);
    QVBoxLayout* detailsSlot = new QVBoxLayout;
    QVBoxLayout* liveSlot = new QVBoxLayout;
    LiveMonitoring* live;

    Window()
    {
        auto* layout = new QVBoxLayout(&host);
        layout->addLayout(detailsSlot);
        layout->addLayout(liveSlot);
        live = new LiveMonitoring(&session, &view, &pingManager, canvas, &host, detailsSlot,
                                  liveSlot, &host);
    }

    // The window's mode switch.
    void switchTo(AppMode mode)
    {
        view.setAppMode(mode);
        live->applyMode(mode);
    }
};

// Puts CAP_NET_RAW into or out of this thread's effective set (it stays permitted, so it can
// come back); false when this thread is not permitted it. The engine opens its socket on the
// thread that starts monitoring.
bool setEffectiveNetRaw(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0 || !(data[0].permitted & (1U << CAP_NET_RAW)))
        return false;
    data[0].effective =
        on ? data[0].effective | (1U << CAP_NET_RAW) : data[0].effective & ~(1U << CAP_NET_RAW);
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

class TestLiveMonitoring final : public QObject {
    Q_OBJECT
private slots:
    // First: it needs an engine that has not opened its socket yet.
    void missingPermissionSaidOncePerWindow();
    void liveGlowStopsAndRestartsMonitoring();
    void intervalChoiceRestartsWithNewInterval();
    void liveGlowOffSendsNoPings_data();
    void liveGlowOffSendsNoPings();
    void optionsReachTheAlertCenter();
    void liveSectionOnlyInLiveMode();
    void loopbackNodeCountsOnline();
};

void TestLiveMonitoring::missingPermissionSaidOncePerWindow()
{
    const bool mayRestore = setEffectiveNetRaw(false);
    const auto restore = qScopeGuard([] { setEffectiveNetRaw(true); });
    Window w;
    QSignalSpy warnings(w.live, &LiveMonitoring::monitoringWarning);
    w.switchTo(AppMode::live);
    if (warnings.isEmpty()) {
        w.switchTo(AppMode::edit);
        QSKIP("An ICMP socket opens here without CAP_NET_RAW (net.ipv4.ping_group_range admits "
              "this user's group)");
    }
    w.live->livePane()->intervalMenu()->actions().at(0)->trigger();
    w.switchTo(AppMode::edit);
    w.switchTo(AppMode::live);
    QCOMPARE(warnings.count(), 1);
    const QString reason = warnings.first().first().toString();
    QVERIFY2(reason.contains(u"setcap cap_net_raw+ep"_s), qPrintable(reason));
    QCOMPARE(w.live->livePane()->noticeText(), reason);
    QVERIFY(w.live->livePane()->isVisibleTo(&w.host));

    if (!mayRestore)
        QSKIP("Without CAP_NET_RAW permitted the permission cannot be given back here");
    QVERIFY(setEffectiveNetRaw(true));
    w.live->livePane()->intervalMenu()->actions().at(0)->trigger();
    QCOMPARE(w.live->livePane()->noticeText(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(w.pingManager.nodeStatuses().value(1), PingStatus::online, 5000);
    QCOMPARE(warnings.count(), 1);
    w.switchTo(AppMode::edit);
}

void TestLiveMonitoring::liveGlowStopsAndRestartsMonitoring()
{
    Window w;
    w.switchTo(AppMode::live);
    QVERIFY(w.pingManager.isMonitoring());
    QVERIFY(w.canvas->isPulsing());

    emit w.live->livePane()->optionToggled(LiveOption::liveGlow);
    QVERIFY(!w.view.liveGlowEnabled());
    QVERIFY(!w.pingManager.isMonitoring());
    QVERIFY(!w.canvas->isPulsing());
    QCOMPARE(w.live->livePane()->optionBadgeText(LiveOption::liveGlow), u"OFF"_s);

    emit w.live->livePane()->optionToggled(LiveOption::liveGlow);
    QVERIFY(w.view.liveGlowEnabled());
    QVERIFY(w.pingManager.isMonitoring());
    QVERIFY(w.canvas->isPulsing());
    QCOMPARE(w.live->livePane()->optionBadgeText(LiveOption::liveGlow), u"ON"_s);
    w.switchTo(AppMode::edit);
}

void TestLiveMonitoring::intervalChoiceRestartsWithNewInterval()
{
    Window w;
    w.switchTo(AppMode::live);
    QCOMPARE(w.live->livePane()->intervalButtonText(), u"Normal (3s)"_s);
    w.live->livePane()->intervalMenu()->actions().at(3)->trigger();
    QCOMPARE(w.pingManager.pingInterval(), 10.0);
    QVERIFY(w.pingManager.isMonitoring());
    QCOMPARE(w.live->livePane()->intervalButtonText(), u"Slow (10s)"_s);
    // The restart sets the monitored node back to unknown; the other has no entry at all.
    QCOMPARE(w.pingManager.nodeStatuses().value(1), PingStatus::unknown);
    QCOMPARE(w.live->livePane()->counts(), (LiveCounts{0, 0, 0, 2}));
    w.switchTo(AppMode::edit);
}

void TestLiveMonitoring::liveGlowOffSendsNoPings_data()
{
    QTest::addColumn<bool>("viaPreset");
    QTest::newRow("entering live mode") << false;
    QTest::newRow("choosing a preset") << true;
}

void TestLiveMonitoring::liveGlowOffSendsNoPings()
{
    QFETCH(bool, viaPreset);
    Window w;
    LivePane* pane = w.live->livePane();
    if (viaPreset) {
        w.switchTo(AppMode::live);
        emit pane->optionToggled(LiveOption::liveGlow);
        pane->intervalMenu()->actions().at(0)->trigger();
        QCOMPARE(pane->intervalButtonText(), u"Fast (1s)"_s); // kept for when pinging resumes
    } else {
        emit pane->optionToggled(LiveOption::liveGlow);
        w.switchTo(AppMode::live);
    }
    QVERIFY(!w.pingManager.isMonitoring());
    QVERIFY(!w.canvas->isPulsing());
    QCOMPARE(pane->optionBadgeText(LiveOption::liveGlow), u"OFF"_s);
    QCOMPARE(pane->noticeText(), u"Live Glow is off: no pings are sent."_s);

    emit pane->optionToggled(LiveOption::liveGlow);
    QCOMPARE(pane->noticeText(), w.pingManager.monitoringErrorMessage());
    QVERIFY(w.pingManager.isMonitoring());
    QVERIFY(w.canvas->isPulsing());
    QCOMPARE(w.pingManager.pingInterval(), viaPreset ? 1.0 : 3.0);
    w.switchTo(AppMode::edit);
}

void TestLiveMonitoring::optionsReachTheAlertCenter()
{
    Window w;
    AlertCenter* alerts = w.live->alertCenter();
    LivePane* pane = w.live->livePane();
    emit pane->optionToggled(LiveOption::inAppAlerts);
    emit pane->optionToggled(LiveOption::backgroundAlerts);
    emit pane->optionToggled(LiveOption::autoZoomOutage);
    QVERIFY(!alerts->alertsEnabled());
    QVERIFY(!alerts->systemNotificationsEnabled());
    QVERIFY(!alerts->autoZoomToOutage());
    QCOMPARE(pane->optionBadgeText(LiveOption::inAppAlerts), u"OFF"_s);
    QCOMPARE(pane->optionBadgeText(LiveOption::backgroundAlerts), u"OFF"_s);
    QCOMPARE(pane->optionBadgeText(LiveOption::autoZoomOutage), u"OFF"_s);
    emit pane->optionToggled(LiveOption::inAppAlerts);
    QVERIFY(alerts->alertsEnabled());
    QCOMPARE(pane->optionBadgeText(LiveOption::inAppAlerts), u"ON"_s);
}

void TestLiveMonitoring::liveSectionOnlyInLiveMode()
{
    Window w;
    w.session.setSelectedNodes({1});
    QVERIFY(w.live->livePane()->isHidden());
    QCOMPARE(w.live->nodeDetails()->rowValue(u"Status:"_s), std::nullopt);
    w.switchTo(AppMode::live);
    QVERIFY(!w.live->livePane()->isHidden());
    QCOMPARE(w.live->nodeDetails()->rowValue(u"Status:"_s), u"Unknown"_s);
    // Options survive leaving live mode.
    w.live->livePane()->setShowLiveOptions(true);
    w.switchTo(AppMode::edit);
    QVERIFY(w.live->livePane()->isHidden());
    QVERIFY(w.live->livePane()->showLiveOptions());
    QVERIFY(w.live->alertCenter()->previousStatuses().isEmpty());
}

void TestLiveMonitoring::loopbackNodeCountsOnline()
{
    Window w;
    w.session.setSelectedNodes({1});
    w.switchTo(AppMode::live);
    // Pinging needs an ICMP socket: root, CAP_NET_RAW or an open ping_group_range.
    QTest::qWait(1500);
    if (w.pingManager.nodeStatuses().value(1) != PingStatus::online) {
        w.switchTo(AppMode::edit);
        QSKIP("no ICMP socket could be opened here (needs root, CAP_NET_RAW or "
              "net.ipv4.ping_group_range); the loopback node never answered");
    }
    QTRY_COMPARE(w.live->livePane()->counts(), (LiveCounts{1, 0, 0, 1}));
    QVERIFY(w.live->nodeDetails()->rowValue(u"Response:"_s).has_value());
    QCOMPARE(w.live->nodeDetails()->rowValue(u"Status:"_s), u"Online"_s);
    // The first status seen is only recorded: starting monitoring raises no alert.
    QCOMPARE(w.live->alertCenter()->previousStatuses().value(1), PingStatus::online);
    QVERIFY(w.live->alertCenter()->alerts().isEmpty());
    w.switchTo(AppMode::edit);
}

QTEST_MAIN(TestLiveMonitoring)
#include "tst_live_monitoring.moc"
