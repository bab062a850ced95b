// SPDX-License-Identifier: GPL-3.0-or-later
// The live panes on the offscreen platform (status counts, the interval menu, the node details,
// the banner stack and the alert history), and live mode wired into a window's parts: the
// options and the interval act on the ping manager, the view and the pulse; with ICMP
// available, a loopback node is counted online.

#include "support/builders.h"
#include "support/manual_scheduler.h"
#include "support/pixels.h"

#include "canvas/canvas_context_menu.h"
#include "canvas/canvas_widget.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "monitor/alert_center.h"
#include "monitor/alert_mutes.h"
#include "monitor/ping_manager.h"
#include "panes/alert_banners.h"
#include "panes/alert_history.h"
#include "panes/live_monitoring.h"
#include "panes/live_pane.h"
#include "panes/node_details.h"

#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace velmora;
using namespace Qt::StringLiterals;

namespace {

QList<Node> makeNodes(int count)
{
    QList<Node> nodes;
    for (int i = 1; i <= count; ++i)
        nodes.append(Node{.id = i});
    return nodes;
}

// Chain A(1) - B(2) - C(3) and a lone D(4).
ProjectData chainProject()
{
    return test::projectWith({{.id = 1, .name = u"A"_s, .type = u"Router"_s, .ip = u"127.0.0.1"_s},
                              {.id = 2, .name = u"B"_s, .type = u"Switch"_s, .ip = u"127.0.0.2"_s},
                              {.id = 3, .name = u"C"_s, .type = u"Device"_s, .ip = u"127.0.0.3"_s},
                              {.id = 4, .name = u"D"_s, .type = u"Device"_s}},
                             {test::cableBetween(1, 1, 2), test::cableBetween(2, 2, 3)});
}

// The node details of a chain project.
struct Details {
    ProjectDocument document{chainProject()};
    ProjectSession session{&document};
    QWidget host;
    NodeDetails details{&session, &host};
};

// The alert logic on a hand-driven clock, without auto-zoom.
struct Alerts {
    Alerts() { center.setAutoZoomToOutage(false); }
    ManualScheduler clock;
    AlertCenter center{nullptr, &clock};
};

ProjectData loopbackProject()
{
    return test::projectWith({{.id = 1, .name = u"Loopback"_s, .ip = u"127.0.0.1"_s},
                              {.id = 2, .name = u"No address"_s}});
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

class TestLivePanes final : public QObject {
    Q_OBJECT
private slots:
    // The per-user options live in a test location, emptied first.
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
    }

    // First: it needs an engine that has not opened its socket yet.
    void missingPermissionSaidOncePerWindow()
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

        if (!mayRestore)
            QSKIP("Without CAP_NET_RAW permitted the permission cannot be given back here");
        QVERIFY(setEffectiveNetRaw(true));
        w.live->livePane()->intervalMenu()->actions().at(0)->trigger();
        QCOMPARE(w.live->livePane()->noticeText(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(w.pingManager.nodeStatuses().value(1), PingStatus::online, 5000);
        QCOMPARE(warnings.count(), 1);
        w.switchTo(AppMode::edit);
    }

    void liveGlowOffSendsNoPings_data()
    {
        QTest::addColumn<bool>("viaPreset");
        QTest::newRow("entering live mode") << false;
        QTest::newRow("choosing a preset") << true;
    }
    void liveGlowOffSendsNoPings()
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
        QCOMPARE(pane->noticeText(), u"Live Glow is off: no pings are sent."_s);

        emit pane->optionToggled(LiveOption::liveGlow);
        QCOMPARE(pane->noticeText(), w.pingManager.monitoringErrorMessage());
        QVERIFY(w.pingManager.isMonitoring());
        QVERIFY(w.canvas->isPulsing());
        QCOMPARE(w.pingManager.pingInterval(), viaPreset ? 1.0 : 3.0);
        w.switchTo(AppMode::edit);
    }

    // The live section shows in live mode only, its options reach the alert logic, and they
    // survive leaving live mode; the alert bookkeeping starts afresh.
    void liveSectionAndOptions()
    {
        Window w;
        LivePane* pane = w.live->livePane();
        AlertCenter* alerts = w.live->alertCenter();
        w.session.setSelectedNodes({1});
        QVERIFY(pane->isHidden());
        QCOMPARE(w.live->nodeDetails()->rowValue(u"Status:"_s), std::nullopt);
        w.switchTo(AppMode::live);
        QVERIFY(!pane->isHidden());
        QCOMPARE(w.live->nodeDetails()->rowValue(u"Status:"_s), u"Unknown"_s);
        for (LiveOption option :
             {LiveOption::inAppAlerts, LiveOption::backgroundAlerts, LiveOption::autoZoomOutage})
            emit pane->optionToggled(option);
        QVERIFY(!alerts->alertsEnabled() && !alerts->systemNotificationsEnabled() &&
                !alerts->autoZoomToOutage());
        QCOMPARE(pane->optionBadgeText(LiveOption::backgroundAlerts), u"OFF"_s);
        pane->setShowLiveOptions(true);
        w.switchTo(AppMode::edit);
        QVERIFY(pane->isHidden() && pane->showLiveOptions());
        QVERIFY(alerts->previousStatuses().isEmpty());
    }

    void loopbackNodeCountsOnline()
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
        w.switchTo(AppMode::edit);
    }

    // Counts cover every node of the project: no entry counts as unknown, a status of a node
    // deleted since is not counted. The recommendation follows the node count only, never the
    // interval, nor sets it.
    void countsAndRecommendation()
    {
        LivePane pane;
        pane.setPingInterval(30.0);
        pane.setStatuses(makeNodes(6), {{1, PingStatus::online},
                                        {2, PingStatus::offline},
                                        {3, PingStatus::slow},
                                        {4, PingStatus::unknown},
                                        {6, PingStatus::offline},
                                        {999, PingStatus::online}});
        QCOMPARE(pane.counts(), (LiveCounts{1, 2, 1, 2}));
        QCOMPARE(pane.statusCountText(PingStatus::online), u"1"_s);
        QCOMPARE(pane.statusCountText(PingStatus::offline), u"2"_s);
        QCOMPARE(pane.statusCountText(PingStatus::slow), u"1"_s);
        QCOMPARE(pane.statusCountText(PingStatus::unknown), u"2"_s);
        QCOMPARE(pane.recommendationText(), u"Recommended: Fast (1s)"_s);
        QCOMPARE(pane.intervalButtonText(), u"Very Slow (30s)"_s);
        const std::pair<int, PingIntervalPreset> bands[] = {
            {24, PingIntervalPreset::fast},     {25, PingIntervalPreset::normal},
            {74, PingIntervalPreset::normal},   {75, PingIntervalPreset::relaxed},
            {149, PingIntervalPreset::relaxed}, {150, PingIntervalPreset::slow},
            {299, PingIntervalPreset::slow},    {300, PingIntervalPreset::verySlow}};
        for (const auto& [nodes, preset] : bands)
            QCOMPARE(recommendedPreset(nodes), preset);
    }

    // The interval menu reports every choice (the current one too); the gear shows the option
    // rows, whose clicks are reported.
    void intervalMenuAndOptions()
    {
        LivePane pane;
        pane.show();
        QCOMPARE(pane.intervalMenuTexts().at(4), u"Very Slow (30s) \u2013 300+ nodes"_s);
        pane.setPingInterval(7.5);
        QCOMPARE(pane.intervalButtonText(), u"7s"_s);
        QSignalSpy chosen(&pane, &LivePane::presetChosen);
        pane.intervalMenu()->actions().at(3)->trigger();
        pane.intervalMenu()->actions().at(3)->trigger();
        QCOMPARE(chosen.size(), 2);
        QCOMPARE(chosen.at(1).at(0).value<PingIntervalPreset>(), PingIntervalPreset::slow);

        QVERIFY(!pane.optionButton(LiveOption::liveGlow)->isVisible());
        QTest::mouseClick(pane.optionsToggleButton(), Qt::LeftButton);
        pane.setOptions(LiveOptions{.alertsEnabled = false});
        QCOMPARE(pane.optionBadgeText(LiveOption::inAppAlerts), u"OFF"_s);
        QSignalSpy toggled(&pane, &LivePane::optionToggled);
        QTest::mouseClick(pane.optionButton(LiveOption::autoZoomOutage), Qt::LeftButton);
        QCOMPARE(toggled.at(0).at(0).value<LiveOption>(), LiveOption::autoZoomOutage);
        QTest::mouseClick(pane.optionsToggleButton(), Qt::LeftButton);
        QVERIFY(!pane.optionButton(LiveOption::liveGlow)->isVisible());
    }

    // The three per-user rows start at the plain rule, act at once and are read back by the
    // next window; the failed-ping count cycles 1, 2, 3, 5.
    void alertOptionsKeptPerUser()
    {
        const auto cleanup = qScopeGuard([] { QSettings().clear(); });
        {
            Window w;
            LivePane* pane = w.live->livePane();
            QCOMPARE((QStringList{pane->optionBadgeText(LiveOption::offlineAfter),
                                  pane->optionBadgeText(LiveOption::groupAlerts),
                                  pane->optionBadgeText(LiveOption::countNeverAnswered)}),
                     (QStringList{u"1"_s, u"OFF"_s, u"OFF"_s}));
            QStringList counts;
            for (int i = 0; i < 4; ++i) {
                emit pane->optionToggled(LiveOption::offlineAfter);
                counts.append(pane->optionBadgeText(LiveOption::offlineAfter));
            }
            QCOMPARE(counts, (QStringList{u"2"_s, u"3"_s, u"5"_s, u"1"_s}));
            emit pane->optionToggled(LiveOption::offlineAfter);
            emit pane->optionToggled(LiveOption::groupAlerts);
            QVERIFY(w.live->alertCenter()->groupAlerts());
        }
        Window next;
        QCOMPARE(next.live->alertPolicy(), (AlertPolicy{.offlineAfter = 2, .groupAlerts = true}));
        QVERIFY(next.live->alertCenter()->groupAlerts());
        QCOMPARE(next.live->livePane()->optionBadgeText(LiveOption::groupAlerts), u"ON"_s);
    }

    // "Mute Alerts" in a node's context menu keeps the mute by address and marks the node.
    void muteFromContextMenu()
    {
        const auto cleanup = qScopeGuard([] { QSettings().clear(); });
        Window w;
        w.session.setSelectedNodes({1});
        const std::unique_ptr<QMenu> menu(buildCanvasContextMenu(
            *w.canvas->interaction(), {}, nullptr, w.canvas->nodeMenuExtension()));
        QMenu* mute = menu->actions().last()->menu();
        QVERIFY(mute);
        QCOMPARE(menu->actions().last()->text(), u"Mute Alerts"_s);
        mute->actions().at(0)->trigger(); // 1 hour
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(w.live->mutes().isMuted(u"127.0.0.1"_s, now.addSecs(3590)));
        QVERIFY(!w.live->mutes().isMuted(u"127.0.0.1"_s, now.addSecs(3610)));
        QCOMPARE(w.canvas->renderFrame().mutedNodes, QSet<qint64>{1});
    }

    // A count row selects the nodes it counts (no status counts as unknown) and frames them.
    void countRowSelectsItsNodes()
    {
        Window w;
        w.session.setSelectedNodes({1});
        w.live->livePane()->statusCountButton(PingStatus::offline)->click(); // none: no change
        QCOMPARE(w.session.selectedNodes(), QSet<qint64>{1});
        w.live->livePane()->statusCountButton(PingStatus::unknown)->click();
        QCOMPARE(w.session.selectedNodes(), (QSet<qint64>{1, 2}));
        QVERIFY(w.view.isAnimatingView());
    }

    void unknownReason_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("monitored");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pinged") << u"127.0.0.2"_s << true << u"No reply since monitoring started"_s;
        QTest::newRow("no address") << u"  "_s << false << u"Not monitored: no address"_s;
        QTest::newRow("placeholder")
            << u" 000.0.0.00 "_s << false << u"Not monitored: placeholder address"_s;
        QTest::newRow("host name")
            << u"printer.lan"_s << false << u"Not monitored: not an IPv4 address"_s;
        QTest::newRow("out of range")
            << u"10.0.0.256"_s << false << u"Not monitored: not an IPv4 address"_s;
    }
    void unknownReason()
    {
        QFETCH(QString, address);
        QFETCH(bool, monitored);
        QFETCH(QString, reason);
        QCOMPARE(unknownReasonText(address, monitored), reason);
    }

    // Muting from node details: kept by address, shown in a row, undone by "Unmute Alerts".
    void muteFromNodeDetails()
    {
        QTemporaryDir dir;
        AlertMutes mutes(dir.filePath(u"mutes.ini"_s));
        Details d;
        d.details.setMutes(&mutes);
        d.session.setSelectedNodes({2});
        d.details.setLiveState(true, {{2, PingStatus::unknown}}, {});
        QCOMPARE(d.details.rowValue(u"Reason:"_s), u"No reply since monitoring started"_s);
        QCOMPARE(d.details.rowValue(u"Alerts:"_s), std::nullopt);
        QPushButton* mute = d.details.findChildren<QPushButton*>().at(2);
        QSignalSpy changed(&d.details, &NodeDetails::mutesChanged);
        emit mute->menu()->aboutToShow();
        mute->menu()->actions().at(0)->menu()->actions().at(2)->trigger(); // until unmuted
        QCOMPARE(changed.size(), 1);
        QVERIFY(mutes.isMuted(u"127.0.0.2"_s, QDateTime::currentDateTimeUtc()));
        QCOMPARE(d.details.rowValue(u"Alerts:"_s), u"Alerts muted until unmuted"_s);
        QCOMPARE(mute->text(), u"Unmute Alerts"_s);
        emit mute->menu()->aboutToShow();
        mute->menu()->actions().at(0)->trigger();
        QVERIFY(!mutes.isMuted(u"127.0.0.2"_s, QDateTime::currentDateTimeUtc()));
        QCOMPARE(d.details.rowValue(u"Alerts:"_s), std::nullopt);
    }

    void nodeDetailsLiveRows()
    {
        Details d;
        NodeDetails& details = d.details;
        d.session.setSelectedNodes({2});
        details.setLiveState(true, {{2, PingStatus::slow}}, {{2, 0.012345}});
        QCOMPARE(details.rowValue(u"Status:"_s), u"Slow"_s);
        QCOMPARE(details.rowValue(u"Response:"_s), u"12.3 ms"_s);
        // No entry at all reads Unknown, and without a latency the response row is absent.
        details.setLiveState(true, {}, {{3, 0.5}});
        QCOMPARE(details.rowValue(u"Status:"_s), u"Unknown"_s);
        QCOMPARE(details.rowValue(u"Response:"_s), std::nullopt);
    }

    void nodeDetailsFollowsSelectionAndRoot()
    {
        Details d;
        NodeDetails& details = d.details;
        ProjectSession& session = d.session;
        session.setSelectedNodes({1, 2});
        QVERIFY(details.isHidden());
        session.setSelectedNodes({77}); // an id no node carries
        QVERIFY(details.isHidden());
        session.setSelectedNodes({2});
        QCOMPARE(details.shownNodeId(), 2);
        QCOMPARE(details.rowValue(u"Cables:"_s), u"2"_s);
        QCOMPARE(details.rowValue(u"Direct:"_s), u"2 nodes"_s);
        QCOMPARE(details.rowValue(u"Hops:"_s), std::nullopt); // no root

        QPushButton* root = details.findChildren<QPushButton*>().at(0);
        root->click();
        QCOMPARE(session.rootNodeId(), 2);
        QVERIFY(details.hasRootBadge());
        QCOMPARE(details.rowValue(u"Hops:"_s), u"0 from root"_s);
        session.setSelectedNodes({3});
        QCOMPARE(details.rowValue(u"Hops:"_s), u"1 from root"_s);
        QVERIFY(!details.hasRootBadge());
        session.setSelectedNodes({2});
        QCOMPARE(details.rootButtonText(), u"Clear Root"_s);
        QVERIFY(session.undoStack().isEmpty()); // view state only

        // A cable edit shows at once: cut B off from C.
        d.document.modify([](ProjectData& project) { project.cables.removeLast(); });
        QCOMPARE(details.rowValue(u"Network:"_s), u"1 node"_s);
        QSignalSpy zooms(&details, &NodeDetails::zoomToNodeRequested);
        details.findChildren<QPushButton*>().at(1)->click();
        QCOMPARE(zooms.at(0).at(0).value<Node>().id, 2);
        root->click();
        QCOMPARE(session.rootNodeId(), std::nullopt);
        QCOMPARE(details.rowValue(u"Hops:"_s), std::nullopt);
    }

    // The stack shows the five oldest visible alerts, each in its type's colour under a symbol
    // drawn once per type and shared (flapping hosts must not fill the pixmap cache), with the
    // node's name as typed; a banner's close button dismisses its alert and the next moves up.
    void bannersFollowTheAlertCenter()
    {
        Alerts alerts;
        QWidget host;
        AlertBanners banners(&alerts.center, &host);
        host.show(); // banners added to a visible stack must count in its size at once
        QVERIFY(banners.isHidden());
        for (int i = 1; i <= 6; ++i) {
            alerts.center.raiseAlert(i == 1 ? AlertType::offline : AlertType::online,
                                     {{i, u"<b>Lab</b> & R&D"_s}});
        }
        QList<QUuid> ids;
        for (const NetworkAlert& alert : alerts.center.alerts())
            ids.append(alert.id);
        QCOMPARE(banners.shownAlertIds(), ids.first(5));
        QCOMPARE(banners.height(), banners.sizeHint().height());

        const auto banner = [&](int index) { return banners.layout()->itemAt(index)->widget(); };
        const auto symbol = [&](int index) {
            return banner(index)->findChild<QLabel*>()->pixmap().cacheKey();
        };
        QCOMPARE(symbol(1), symbol(2));
        QVERIFY(symbol(0) != symbol(1));
        const auto* title = banner(0)->findChild<QLabel*>(u"alertTitle"_s);
        QCOMPARE(title->text(), u"<b>Lab</b> & R&D Offline"_s);
        QCOMPARE(title->textFormat(), Qt::PlainText);
        const QImage image = banner(0)->grab().toImage();
        QVERIFY(test::countNear(image, alertTypeColor(AlertType::offline), 12) > 20);
        QCOMPARE(test::countNear(image, alertTypeColor(AlertType::online), 12), 0);

        banner(0)->findChild<QToolButton*>(u"closeBanner"_s)->click();
        QCOMPARE(banners.shownAlertIds(), ids.mid(1));
        alerts.clock.advance(6000);
        QVERIFY(banners.isHidden());
    }

    void historyBadgeListAndClear()
    {
        Alerts alerts;
        QWidget host;
        AlertHistory history(&alerts.center, &host);
        QCOMPARE(history.badgeText(), QString());
        history.setShowAlertHistory(true);
        QCOMPARE(history.listedTexts(), QStringList{u"No alerts"_s});
        alerts.center.raiseAlert(AlertType::offline, {{1, u"Core"_s}});
        alerts.center.raiseAlert(AlertType::slow, {{2, u"Edge"_s}});
        alerts.center.raiseAlert(AlertType::online, {{1, u"Core"_s}});
        alerts.clock.advance(6000); // banners gone; the history keeps them all
        QCOMPARE(history.badgeText(), u"3"_s);
        QCOMPARE(history.listedTexts(),
                 (QStringList{u"Core Offline"_s, u"Edge Slow"_s, u"Core Online"_s}));
        // Each row gives the clock time beside the age.
        const QString time = alerts.clock.now().addSecs(-6).toLocalTime().toString(u"HH:mm:ss"_s);
        for (const QLabel* age : history.findChildren<QLabel*>(u"alertTime"_s))
            QCOMPARE(age->text(), time + u" \u00b7 now"_s);
        QTest::mouseClick(history.alertsButton(), Qt::LeftButton);
        QVERIFY(!history.showAlertHistory());
        QTest::mouseClick(history.alertsButton(), Qt::LeftButton);
        QVERIFY(history.showAlertHistory());
        history.clearAllButton()->click();
        QCOMPARE(history.badgeText(), QString());
        QCOMPARE(history.listedTexts(), QStringList{u"No alerts"_s});
    }
};

QTEST_MAIN(TestLivePanes)
#include "tst_live_panes.moc"
