// SPDX-License-Identifier: GPL-3.0-or-later
// Alert rules driven on a manual clock: confirmation after 2 s, the transition table, the list
// limit, banner dismissal, the auto-zoom hold, outage focus and the alert texts.

#include "support/builders.h"
#include "support/manual_scheduler.h"

#include "monitor/alert_center.h"
#include "monitor/alert_mutes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;
using namespace Qt::StringLiterals;

namespace {

constexpr int noEntry = -1;
constexpr int unknownS = int(PingStatus::unknown);
constexpr int onlineS = int(PingStatus::online);
constexpr int offlineS = int(PingStatus::offline);
constexpr int slowS = int(PingStatus::slow);

// A window's worth of state around one AlertCenter on a manual clock.
struct Harness {
    ManualScheduler clock;
    AlertCenter center{nullptr, &clock};
    QList<Node> nodes;
    QHash<qint64, PingStatus> statuses;
    bool applicationActive = true;
    QList<qint64> selected;
    QList<Cable> cables;
    std::optional<qint64> root;

    Harness(std::initializer_list<Node> initial = {}) : nodes(initial)
    {
        center.setCableSource([this] { return cables; });
        center.setRootSource([this] { return root; });
        center.setNodeSource([this] { return nodes; });
        center.setStatusSource([this] { return statuses; });
        center.setApplicationActiveSource([this] { return applicationActive; });
        center.setSelectNode([this](qint64 id) { selected.append(id); });
    }

    // Publishes `status` for node `id` (noEntry removes it) at the current time.
    void publish(qint64 id, int status)
    {
        if (status == noEntry)
            statuses.remove(id);
        else
            statuses.insert(id, PingStatus(status));
        center.handleStatusChanges(nodes, statuses, true);
    }

    QList<qint64> visibleFirstIds() const
    {
        QList<qint64> ids;
        for (const NetworkAlert& alert : center.visibleAlerts(5))
            ids.append(alert.nodeIds.first());
        return ids;
    }
};

using Steps = QList<std::pair<qint64, int>>; // at ms, status

struct Change {
    qint64 atMs;
    QList<qint64> ids;
    int status;
};
using Changes = QList<Change>;

// Root(1) - Core Switch(2) - five hosts H3..H7, each on its own cable from the switch.
Harness& switchWithFiveHosts(Harness& h)
{
    h.nodes = {{.id = 1, .name = u"Root"_s}, {.id = 2, .name = u"Core Switch"_s}};
    h.cables = {toCable(test::cableBetween(1, 1, 2))};
    for (qint64 id = 3; id <= 7; ++id) {
        h.nodes.append({.id = id, .name = u"H%1"_s.arg(id), .ip = u"127.0.1.%1"_s.arg(id)});
        h.cables.append(toCable(test::cableBetween(id, 2, id)));
    }
    for (const Node& node : std::as_const(h.nodes))
        h.publish(node.id, onlineS);
    return h;
}

// "title|message|outage length" of every alert raised.
QStringList alertLines(const Harness& h)
{
    QStringList lines;
    for (const NetworkAlert& alert : h.center.alerts())
        lines.append(alertTitle(alert) + u'|' + h.center.alertMessage(alert) + u'|' +
                     (alert.outageSeconds ? durationText(*alert.outageSeconds) : QString()));
    return lines;
}

const QList<qint64> hosts{3, 4, 5, 6, 7};

} // namespace

class TestAlertCenter final : public QObject {
    Q_OBJECT
private slots:
    void transitions_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QList<AlertType>>("expected");
        using L = Steps;
        using A = QList<AlertType>;
        QTest::newRow("offline held 2 s")
            << L{{0, onlineS}, {1000, offlineS}} << A{AlertType::offline};
        QTest::newRow("offline under 2 s, back")
            << L{{0, onlineS}, {1000, offlineS}, {2900, onlineS}} << A{AlertType::online};
        QTest::newRow("offline then online") << L{{0, onlineS}, {1000, offlineS}, {5000, onlineS}}
                                             << A{AlertType::offline, AlertType::online};
        QTest::newRow("slow to online") << L{{0, slowS}, {1000, onlineS}} << A{};
        QTest::newRow("online to slow") << L{{0, onlineS}, {1000, slowS}} << A{AlertType::slow};
        QTest::newRow("offline to slow") << L{{0, offlineS}, {1000, slowS}} << A{};
        QTest::newRow("unknown to offline")
            << L{{0, unknownS}, {1000, offlineS}} << A{AlertType::offline};
        QTest::newRow("online to unknown") << L{{0, onlineS}, {1000, unknownS}} << A{};
        QTest::newRow("first status only recorded") << L{{0, offlineS}} << A{};
        QTest::newRow("no entry is skipped") << L{{0, noEntry}, {1000, offlineS}} << A{};
        QTest::newRow("flapping, settles offline")
            << L{{0, onlineS}, {500, offlineS}, {1000, onlineS}, {1500, offlineS}}
            << A{AlertType::offline};
    }
    void transitions()
    {
        QFETCH(Steps, steps);
        QFETCH(QList<AlertType>, expected);
        Harness h{{.id = 1, .name = u"Core Switch"_s}};
        for (const auto& [atMs, status] : steps) {
            h.clock.advanceTo(atMs);
            h.publish(1, status);
        }
        h.clock.advance(60000);
        QList<AlertType> types;
        for (const NetworkAlert& alert : h.center.alerts())
            types.append(alert.type);
        QCOMPARE(types, expected);
        QVERIFY(h.center.pendingAlertTimers().isEmpty());
    }

    void grouping_data()
    {
        QTest::addColumn<bool>("group");
        QTest::addColumn<bool>("withRoot");
        QTest::addColumn<QList<qint64>>("muted");
        QTest::addColumn<Changes>("changes");
        QTest::addColumn<QStringList>("expected");
        const QString down = u"Core Switch Offline \u2014 5 nodes behind it unreachable|"
                             u"H3, H4, H5, H6, H7|"_s;
        const QString back = u"Core Switch Online \u2014 5 nodes behind it reachable again|"
                             u"H3, H4, H5, H6, H7|1m 10s"_s;
        // The switch fails first, the hosts' failures are published up to 1.5 s later.
        const Changes outage{{1000, {2}, offlineS},
                             {1500, {3, 4}, offlineS},
                             {2500, {5, 6, 7}, offlineS},
                             {71000, {2}, onlineS},
                             {72000, hosts, onlineS}};
        using S = QStringList;
        using Ids = QList<qint64>;
        QTest::newRow("root: one alert each way")
            << true << true << Ids{} << outage << S{down, back};
        QTest::newRow("no root: neighbours rule")
            << true << false << Ids{} << outage << S{down, back};
        QTest::newRow("hosts fail first")
            << true << true << Ids{} << Changes{{1000, hosts, offlineS}, {2000, {2}, offlineS}}
            << S{down};
        QTest::newRow("one host still down after recovery")
            << true << true << Ids{}
            << Changes{{1000, {2, 3, 4, 5, 6, 7}, offlineS}, {11000, {2, 3, 4, 5, 6}, onlineS}}
            << S{u"Core Switch Offline \u2014 5 nodes behind it unreachable|H3, H4, H5, H6, H7|"_s,
                 u"H7 Offline|127.0.1.7|"_s,
                 u"Core Switch Online \u2014 4 nodes behind it reachable again|H3, H4, H5, H6|10s"_s};
        QTest::newRow("one host alone is not grouped")
            << true << true << Ids{} << Changes{{1000, {4}, offlineS}, {5000, {4}, onlineS}}
            << S{u"H4 Offline|127.0.1.4|"_s, u"H4 Online|127.0.1.4|4s"_s};
        QTest::newRow("grouping off: one alert per node")
            << false << true << Ids{} << Changes{{1000, {2, 3}, offlineS}}
            << S{u"Core Switch Offline|127.0.1.2|"_s, u"H3 Offline|127.0.1.3|"_s};
        QTest::newRow("muted node raises nothing")
            << false << true << Ids{4} << Changes{{1000, {4}, offlineS}, {9000, {4}, onlineS}}
            << S{};
        QTest::newRow("muted host left out of the group")
            << true << true << Ids{7} << Changes{{1000, {2, 3, 4, 5, 6, 7}, offlineS}}
            << S{u"Core Switch Offline \u2014 4 nodes behind it unreachable|H3, H4, H5, H6|"_s};
        QTest::newRow("hosts behind a muted switch stay quiet")
            << true << true << Ids{2} << Changes{{1000, {2, 3, 4, 5, 6, 7}, offlineS}} << S{};
    }
    void grouping()
    {
        QFETCH(bool, group);
        QFETCH(bool, withRoot);
        QFETCH(QList<qint64>, muted);
        QFETCH(Changes, changes);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        AlertMutes mutes(dir.filePath(u"mutes.ini"_s));
        Harness h;
        switchWithFiveHosts(h);
        h.nodes[1].ip = u"127.0.1.2"_s;
        h.root = withRoot ? std::optional<qint64>(1) : std::nullopt;
        h.center.setGroupAlerts(group);
        h.center.setMutes(&mutes);
        for (qint64 id : muted)
            mutes.mute(u"127.0.1.%1"_s.arg(id), std::nullopt, h.clock.now());
        for (const Change& change : changes) {
            h.clock.advanceTo(change.atMs);
            for (qint64 id : change.ids)
                h.publish(id, change.status);
        }
        h.clock.advance(60000);
        QCOMPARE(alertLines(h), expected);
    }

    void unmutingReplaysNothing()
    {
        QTemporaryDir dir;
        AlertMutes mutes(dir.filePath(u"mutes.ini"_s));
        Harness h{{.id = 1, .name = u"A"_s, .ip = u"127.0.0.5"_s}};
        h.center.setMutes(&mutes);
        mutes.mute(u"127.0.0.5"_s, std::chrono::hours(1), h.clock.now());
        h.publish(1, onlineS);
        h.publish(1, offlineS);
        h.clock.advance(10000);
        mutes.unmute(u"127.0.0.5"_s);
        h.clock.advance(60000);
        QVERIFY(h.center.alerts().isEmpty());
        // A mute ends by itself after its time; a later outage alerts again.
        mutes.mute(u"127.0.0.5"_s, std::chrono::hours(1), h.clock.now());
        QVERIFY(AlertMutes(dir.filePath(u"mutes.ini"_s)).isMuted(u"127.0.0.5"_s, h.clock.now()));
        h.clock.advance(3600000);
        h.publish(1, onlineS);
        h.publish(1, offlineS);
        h.clock.advance(3000);
        QCOMPARE(alertLines(h), QStringList{u"A Offline|127.0.0.5|"_s});
    }

    void nothingExaminedWhenDisabledOrInEditMode()
    {
        Harness h{{.id = 1}};
        h.statuses = {{1, PingStatus::online}};
        h.center.handleStatusChanges(h.nodes, h.statuses, false);
        QVERIFY(h.center.previousStatuses().isEmpty());
        h.center.setAlertsEnabled(false);
        h.publish(1, onlineS);
        h.publish(1, offlineS);
        h.clock.advance(10000);
        QVERIFY(h.center.previousStatuses().isEmpty());
        QVERIFY(h.center.alerts().isEmpty());
    }

    void pendingConfirmationCancelled_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("mode change") << 0;
        QTest::newRow("in-app alerts turned off") << 1;
        // The ping manager's map returns to online without a publication reaching the center
        // (a restart resets statuses); the confirmation reads the map itself.
        QTest::newRow("back online unpublished") << 2;
    }
    void pendingConfirmationCancelled()
    {
        QFETCH(int, how);
        Harness h{{.id = 1}, {.id = 2}};
        h.publish(1, onlineS);
        h.publish(2, onlineS);
        h.publish(1, offlineS);
        QCOMPARE(h.center.pendingAlertTimers().size(), 1);
        h.clock.advance(1000);
        if (how == 0)
            h.center.resetForModeChange();
        else if (how == 1)
            h.center.setAlertsEnabled(false);
        else
            h.statuses.insert(1, PingStatus::online);
        h.clock.advance(5000);
        QVERIFY(h.center.alerts().isEmpty());
        QVERIFY(h.center.pendingAlertTimers().isEmpty());
        if (how != 0)
            return;
        // After a mode change the next status seen is only recorded, even though it differs.
        QVERIFY(h.center.previousStatuses().isEmpty());
        h.publish(2, offlineS);
        h.clock.advance(5000);
        QVERIFY(h.center.alerts().isEmpty());
    }

    void alertListKeepsFifty()
    {
        Harness h;
        h.center.setAutoZoomToOutage(false);
        QSignalSpy changed(&h.center, &AlertCenter::alertsChanged);
        for (int i = 1; i <= 51; ++i)
            h.center.raiseAlert(AlertType::slow, {{i, u"N%1"_s.arg(i)}});
        QCOMPARE(h.center.alerts().size(), 50);
        QCOMPARE(h.center.alerts().first().nodeIds, QList<qint64>{2});
        QCOMPARE(h.center.alerts().last().nodeIds, QList<qint64>{51});
        QCOMPARE(changed.size(), 51);
    }

    void bannersShowFiveOldestAndHideAfterFiveSeconds()
    {
        Harness h;
        for (int i = 1; i <= 6; ++i) {
            h.center.raiseAlert(AlertType::online, {{i, u"N%1"_s.arg(i)}});
            h.clock.advance(100);
        }
        QCOMPARE(h.visibleFirstIds(), (QList<qint64>{1, 2, 3, 4, 5}));
        // Closing the first banner by hand brings the sixth into the stack.
        h.center.dismissAlert(h.center.alerts().first().id);
        QCOMPARE(h.visibleFirstIds(), (QList<qint64>{2, 3, 4, 5, 6}));
        // Alert 2 was raised at 100 ms: still shown at 5099 ms, hidden at 5100 ms.
        h.clock.advanceTo(5099);
        QVERIFY(h.center.alerts().at(1).isVisible);
        h.clock.advanceTo(5100);
        QVERIFY(!h.center.alerts().at(1).isVisible);
        h.clock.advanceTo(6000);
        QVERIFY(h.visibleFirstIds().isEmpty());
        QCOMPARE(h.center.alerts().size(), 6); // the history keeps them
    }

    void autoZoomHoldsForFiveSeconds()
    {
        Harness h{{.id = 1}, {.id = 2}, {.id = 3}};
        QSignalSpy zooms(&h.center, &AlertCenter::zoomToOutageRequested);
        h.center.raiseAlert(AlertType::offline, {{1, u"A"_s}});
        QVERIFY(h.center.isAutoZooming());
        h.clock.advance(299);
        QCOMPARE(zooms.size(), 0);
        h.clock.advance(1);
        QCOMPARE(zooms.size(), 1);
        QCOMPARE(h.selected, QList<qint64>{1});

        h.clock.advanceTo(1000);
        h.center.raiseAlert(AlertType::offline, {{2, u"B"_s}});
        h.clock.advanceTo(6000);
        QCOMPARE(zooms.size(), 1);
        QVERIFY(!h.center.isAutoZooming()); // cleared 5 s after the zoom at 300 ms

        h.center.raiseAlert(AlertType::offline, {{3, u"C"_s}});
        h.clock.advance(300);
        QCOMPARE(zooms.size(), 2);
        QCOMPARE(h.selected, (QList<qint64>{1, 3}));

        // Online and slow alerts never zoom.
        h.clock.advance(10000);
        h.center.raiseAlert(AlertType::online, {{1, u"A"_s}});
        h.center.raiseAlert(AlertType::slow, {{2, u"B"_s}});
        QVERIFY(!h.center.isAutoZooming());
    }

    void autoZoomOffOrCancelled()
    {
        Harness h{{.id = 1}};
        h.center.setAutoZoomToOutage(false);
        QSignalSpy zooms(&h.center, &AlertCenter::zoomToOutageRequested);
        h.center.raiseAlert(AlertType::offline, {{1, u"A"_s}});
        QVERIFY(!h.center.isAutoZooming());
        // A mode change between the alert and its delayed zoom cancels the zoom.
        h.center.setAutoZoomToOutage(true);
        h.center.raiseAlert(AlertType::offline, {{1, u"A"_s}});
        h.center.resetForModeChange();
        QVERIFY(!h.center.isAutoZooming());
        h.clock.advance(1000);
        QCOMPARE(zooms.size(), 0);
    }

    void deletedNodeStillAlertsWithoutFocus()
    {
        Harness h{{.id = 1, .name = u"Printer"_s, .ip = u"127.0.0.9"_s}};
        QSignalSpy zooms(&h.center, &AlertCenter::zoomToOutageRequested);
        h.publish(1, onlineS);
        h.publish(1, offlineS);
        h.nodes.clear(); // deleted before the confirmation; the manager keeps its entry
        h.clock.advance(2000);
        QCOMPARE(h.center.alerts().size(), 1);
        const NetworkAlert alert = h.center.alerts().first();
        QCOMPARE(alertTitle(alert), u"Printer Offline"_s);
        QCOMPARE(h.center.alertMessage(alert), QString());
        h.clock.advance(400);
        QCOMPARE(zooms.size(), 0);
        QVERIFY(h.selected.isEmpty());
        h.clock.advance(5000);
        QVERIFY(!h.center.isAutoZooming());
    }

    void systemNotificationOnlyInBackground_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("posted");
        QTest::newRow("background") << true << false << true;
        QTest::newRow("active") << true << true << false;
        QTest::newRow("option off") << false << false << false;
    }
    void systemNotificationOnlyInBackground()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, active);
        QFETCH(bool, posted);
        Harness h{{.id = 4, .name = u"Core Switch"_s, .ip = u"127.0.0.4"_s}};
        h.applicationActive = active;
        h.center.setSystemNotificationsEnabled(enabled);
        QSignalSpy requests(&h.center, &AlertCenter::systemNotificationRequested);
        h.center.raiseAlert(AlertType::offline, {{4, u"Core Switch"_s}});
        QCOMPARE(requests.size(), posted ? 1 : 0);
        if (posted) {
            QCOMPARE(requests.at(0).at(0).value<NetworkAlert>(), h.center.alerts().first());
            QCOMPARE(requests.at(0).mid(1),
                     (QVariantList{u"Core Switch Offline"_s, u"127.0.0.4"_s}));
        }
    }

    void outageFocus_data()
    {
        QTest::addColumn<QList<qint64>>("named");
        QTest::addColumn<bool>("withRoot");
        QTest::addColumn<int>("statusOfA");
        QTest::addColumn<qint64>("focus"); // 0: none
        // Chain R(1) - A(2) - B(3) - C(4), one cable per link; D(5) - Lone(9) apart.
        using L = QList<qint64>;
        QTest::newRow("C,B with root: nearest") << L{4, 3} << true << onlineS << 3LL;
        QTest::newRow("C,B no root, A online") << L{4, 3} << false << onlineS << 3LL;
        QTest::newRow("C,B no root, A down: first") << L{4, 3} << false << offlineS << 4LL;
        QTest::newRow("root named is skipped") << L{1, 4} << true << onlineS << 4LL;
        QTest::newRow("unreachable from root: first") << L{9, 5} << true << onlineS << 9LL;
        QTest::newRow("empty with root") << L{} << true << onlineS << 0LL;
        QTest::newRow("deleted node") << L{42} << false << onlineS << 0LL;
    }
    void outageFocus()
    {
        QFETCH(QList<qint64>, named);
        QFETCH(bool, withRoot);
        QFETCH(int, statusOfA);
        QFETCH(qint64, focus);
        const QList<Node> nodes{{.id = 1}, {.id = 2}, {.id = 3}, {.id = 4}, {.id = 5}, {.id = 9}};
        const QList<Cable> cables{
            toCable(test::cableBetween(1, 1, 2)), toCable(test::cableBetween(2, 2, 3)),
            toCable(test::cableBetween(3, 3, 4)), toCable(test::cableBetween(4, 5, 9))};
        const QHash<qint64, PingStatus> statuses{{1, PingStatus::online},
                                                 {2, PingStatus(statusOfA)},
                                                 {3, PingStatus::offline},
                                                 {4, PingStatus::offline}};
        const std::optional<Node> found = findOutageFocus(
            named, nodes, cables, withRoot ? std::optional<qint64>(1) : std::nullopt, statuses);
        QCOMPARE(found ? found->id : 0, focus);
    }

    void texts_data()
    {
        QTest::addColumn<AlertType>("type");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::newRow("one") << AlertType::offline << QStringList{u"Core Switch"_s}
                             << u"Core Switch Offline"_s << u"127.0.0.2"_s;
        QTest::newRow("one, no name")
            << AlertType::online << QStringList{} << u"Node Online"_s << u"127.0.0.2"_s;
        QTest::newRow("one, name like a placeholder")
            << AlertType::slow << QStringList{u"%2 %1"_s} << u"%2 %1 Slow"_s << u"127.0.0.2"_s;
        QTest::newRow("three") << AlertType::offline << QStringList{u"A"_s, u"B"_s, u"C"_s}
                               << u"3 Nodes Offline"_s << u"A, B, C"_s;
        QTest::newRow("four") << AlertType::offline << QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s}
                              << u"4 Nodes Offline"_s << u"A, B +2 more"_s;
    }
    void texts()
    {
        QFETCH(AlertType, type);
        QFETCH(QStringList, names);
        QFETCH(QString, title);
        QFETCH(QString, message);
        NetworkAlert alert{.type = type, .nodeIds = {2}, .nodeNames = names};
        for (qint64 id = 3; alert.nodeIds.size() < names.size(); ++id)
            alert.nodeIds.append(id);
        QCOMPARE(alertTitle(alert), title);
        QCOMPARE(alertMessage(alert, {{.id = 2, .ip = u"127.0.0.2"_s}}), message);
    }

    // A grouped alert names up to five nodes behind the failed one; outage lengths read in the
    // two largest units.
    void groupedTextsAndDurations()
    {
        NetworkAlert alert{.type = AlertType::offline, .isGrouped = true};
        for (int i = 0; i <= 7; ++i) {
            alert.nodeIds.append(i + 1);
            alert.nodeNames.append(i == 0 ? u"Core Switch"_s : u"N%1"_s.arg(i));
        }
        QCOMPARE(alertTitle(alert), u"Core Switch Offline \u2014 7 nodes behind it unreachable"_s);
        QCOMPARE(alertMessage(alert, {}), u"N1, N2, N3, N4, N5 and 2 more"_s);
        alert.nodeIds.resize(2);
        alert.nodeNames.resize(2);
        alert.type = AlertType::online;
        QCOMPARE(alertTitle(alert),
                 u"Core Switch Online \u2014 1 node behind it reachable again"_s);
        QCOMPARE((QStringList{durationText(59), durationText(192), durationText(7500)}),
                 (QStringList{u"59s"_s, u"3m 12s"_s, u"2h 5m"_s}));
    }

    void relativeTime_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("text");
        QTest::newRow("59.999 s") << 59999LL << u"now"_s;
        QTest::newRow("60 s") << 60000LL << u"1m ago"_s;
        QTest::newRow("3600 s") << 3600000LL << u"1h ago"_s;
        QTest::newRow("future") << -90000LL << u"now"_s;
    }
    void relativeTime()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, text);
        const QDateTime stamp(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
        QCOMPARE(relativeTimeText(stamp, stamp.addMSecs(elapsedMs)), text);
    }
};

QTEST_GUILESS_MAIN(TestAlertCenter)
#include "tst_alert_center.moc"
