// SPDX-License-Identifier: GPL-3.0-or-later
// The live panes on the offscreen platform: status counts and the interval recommendation, the
// node details rows, the banner stack and the alert history.

#include "support/manual_scheduler.h"

#include "model/project_session.h"
#include "monitor/alert_center.h"
#include "panes/alert_banners.h"
#include "panes/alert_history.h"
#include "panes/live_pane.h"
#include "panes/node_details.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace velmora;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(velmora::Node)
Q_DECLARE_METATYPE(velmora::LiveOption)
Q_DECLARE_METATYPE(velmora::PingIntervalPreset)

namespace {

QList<Node> makeNodes(int count)
{
    QList<Node> nodes;
    for (int i = 1; i <= count; ++i) {
        Node node;
        node.id = i;
        node.name = u"N%1"_s.arg(i);
        nodes.append(node);
    }
    return nodes;
}

NodeData nodeData(qint64 id, const QString& name, const QString& type, const QString& ip)
{
    NodeData node;
    node.id = id;
    node.name = name;
    node.type = type;
    node.ip = ip;
    return node;
}

CableData cableData(qint64 id, const QList<qint64>& attached)
{
    CableData cable;
    cable.id = id;
    for (qint64 nodeId : attached) {
        CablePointData point;
        point.type = cablePointTypeNode;
        point.nodeId = nodeId;
        cable.points.append(point);
    }
    return cable;
}

// Chain A(1) - B(2) - C(3) and a lone D(4).
ProjectData chainProject()
{
    ProjectData project;
    project.nodes = {nodeData(1, u"A"_s, u"Router"_s, u"127.0.0.1"_s),
                     nodeData(2, u"B"_s, u"Switch"_s, u"127.0.0.2"_s),
                     nodeData(3, u"C"_s, u"Device"_s, u"127.0.0.3"_s),
                     nodeData(4, u"D"_s, u"Device"_s, QString())};
    project.cables = {cableData(1, {1, 2}), cableData(2, {2, 3})};
    project.nextNodeId = 5;
    project.nextCableId = 3;
    return project;
}

} // namespace

class TestLivePanes final : public QObject {
    Q_OBJECT
private slots:
    void counts_data();
    void counts();
    void recommendation_data();
    void recommendation();
    void intervalMenu();
    void optionsRowsAndGear();
    void nodeDetailsRows_data();
    void nodeDetailsRows();
    void nodeDetailsLiveRows();
    void nodeDetailsFollowsSelectionAndRoot();
    void bannersStackFiveOldest();
    void historyBadgeListAndClear();
    void bannerIconsBuiltOncePerType();
};

void TestLivePanes::counts_data()
{
    QTest::addColumn<QList<int>>("statuses"); // per node; -1 = no entry
    QTest::addColumn<LiveCounts>("expected");
    QTest::newRow("nothing published") << QList<int>{-1, -1, -1} << LiveCounts{0, 0, 0, 3};
    QTest::newRow("one without address") << QList<int>{1, 1, -1} << LiveCounts{2, 0, 0, 1};
    QTest::newRow("every kind") << QList<int>{1, 2, 3, 0, -1, 2} << LiveCounts{1, 2, 1, 2};
}

void TestLivePanes::counts()
{
    QFETCH(QList<int>, statuses);
    QFETCH(LiveCounts, expected);
    const QList<Node> nodes = makeNodes(int(statuses.size()));
    QHash<qint64, PingStatus> map;
    for (int i = 0; i < statuses.size(); ++i) {
        if (statuses.at(i) >= 0)
            map.insert(nodes.at(i).id, PingStatus(statuses.at(i)));
    }
    map.insert(999, PingStatus::online); // a node deleted since: not counted
    LivePane pane;
    pane.setStatuses(nodes, map);
    QCOMPARE(pane.counts(), expected);
    QCOMPARE(pane.countText(u"Online:"_s), QString::number(expected.online));
    QCOMPARE(pane.countText(u"Offline:"_s), QString::number(expected.offline));
    QCOMPARE(pane.countText(u"Slow:"_s), QString::number(expected.slow));
    QCOMPARE(pane.countText(u"Unknown:"_s), QString::number(expected.unknown));
    QCOMPARE(expected.online + expected.offline + expected.slow + expected.unknown, nodes.size());
}

void TestLivePanes::recommendation_data()
{
    QTest::addColumn<int>("nodes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << u"Recommended: Fast (1s)"_s;
    QTest::newRow("24") << 24 << u"Recommended: Fast (1s)"_s;
    QTest::newRow("25") << 25 << u"Recommended: Normal (3s)"_s;
    QTest::newRow("74") << 74 << u"Recommended: Normal (3s)"_s;
    QTest::newRow("75") << 75 << u"Recommended: Relaxed (5s)"_s;
    QTest::newRow("149") << 149 << u"Recommended: Relaxed (5s)"_s;
    QTest::newRow("150") << 150 << u"Recommended: Slow (10s)"_s;
    QTest::newRow("299") << 299 << u"Recommended: Slow (10s)"_s;
    QTest::newRow("300") << 300 << u"Recommended: Very Slow (30s)"_s;
}

void TestLivePanes::recommendation()
{
    QFETCH(int, nodes);
    QFETCH(QString, text);
    LivePane pane;
    pane.setPingInterval(1.0); // the recommendation never follows the interval, nor sets it
    pane.setStatuses(makeNodes(nodes), {});
    QCOMPARE(pane.recommendationText(), text);
    QCOMPARE(pane.intervalButtonText(), u"Fast (1s)"_s);
}

void TestLivePanes::intervalMenu()
{
    LivePane pane;
    QCOMPARE(
        pane.intervalMenuTexts(),
        (QStringList{u"Fast (1s) \u2013 < 25 nodes"_s, u"Normal (3s) \u2013 25-75 nodes"_s,
                     u"Relaxed (5s) \u2013 75-150 nodes"_s, u"Slow (10s) \u2013 150-300 nodes"_s,
                     u"Very Slow (30s) \u2013 300+ nodes"_s}));
    QCOMPARE(pane.intervalButtonText(), u"Normal (3s)"_s);
    pane.setPingInterval(7.5);
    QCOMPARE(pane.intervalButtonText(), u"7s"_s);

    QSignalSpy chosen(&pane, &LivePane::presetChosen);
    pane.intervalMenu()->actions().at(3)->trigger();
    pane.intervalMenu()->actions().at(3)->trigger(); // the same choice again still reports
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(chosen.at(1).at(0).value<PingIntervalPreset>(), PingIntervalPreset::slow);
}

void TestLivePanes::optionsRowsAndGear()
{
    LivePane pane;
    pane.show();
    QVERIFY(!pane.showLiveOptions());
    QVERIFY(!pane.optionButton(LiveOption::liveGlow)->isVisible());
    QTest::mouseClick(pane.optionsToggleButton(), Qt::LeftButton);
    QVERIFY(pane.showLiveOptions());
    QVERIFY(pane.optionButton(LiveOption::liveGlow)->isVisible());

    LiveOptions options;
    options.alertsEnabled = false;
    pane.setOptions(options);
    QCOMPARE(pane.optionBadgeText(LiveOption::liveGlow), u"ON"_s);
    QCOMPARE(pane.optionBadgeText(LiveOption::inAppAlerts), u"OFF"_s);
    QCOMPARE(pane.optionBadgeText(LiveOption::backgroundAlerts), u"ON"_s);
    QCOMPARE(pane.optionBadgeText(LiveOption::autoZoomOutage), u"ON"_s);

    QSignalSpy toggled(&pane, &LivePane::optionToggled);
    QTest::mouseClick(pane.optionButton(LiveOption::autoZoomOutage), Qt::LeftButton);
    QCOMPARE(toggled.size(), 1);
    QCOMPARE(toggled.at(0).at(0).value<LiveOption>(), LiveOption::autoZoomOutage);

    QTest::mouseClick(pane.optionsToggleButton(), Qt::LeftButton);
    QVERIFY(!pane.showLiveOptions());
    QVERIFY(!pane.optionButton(LiveOption::liveGlow)->isVisible());
}

void TestLivePanes::nodeDetailsRows_data()
{
    QTest::addColumn<qint64>("node");
    QTest::addColumn<qint64>("root");      // 0: none
    QTest::addColumn<QStringList>("rows"); // Cables, Direct, Network, Hops ("-" absent)
    QTest::newRow("A, no root") << 1LL << 0LL
                                << QStringList{u"1"_s, u"1 node"_s, u"2 nodes"_s, u"-"_s};
    QTest::newRow("B, no root") << 2LL << 0LL
                                << QStringList{u"2"_s, u"2 nodes"_s, u"2 nodes"_s, u"-"_s};
    QTest::newRow("C from root A")
        << 3LL << 1LL << QStringList{u"1"_s, u"1 node"_s, u"2 nodes"_s, u"2 from root"_s};
    QTest::newRow("root itself") << 1LL << 1LL
                                 << QStringList{u"1"_s, u"1 node"_s, u"2 nodes"_s,
                                                u"0 from root"_s};
    QTest::newRow("lone node, root elsewhere")
        << 4LL << 1LL << QStringList{u"0"_s, u"0 nodes"_s, u"0 nodes"_s, u"-"_s};
}

void TestLivePanes::nodeDetailsRows()
{
    QFETCH(qint64, node);
    QFETCH(qint64, root);
    QFETCH(QStringList, rows);

    ProjectDocument document(chainProject());
    ProjectSession session(&document);
    if (root != 0)
        session.setRoot(root);
    session.setSelectedNodes({node});
    QWidget host;
    NodeDetails details(&session, &host);
    QCOMPARE(details.shownNodeId(), node);
    QCOMPARE(details.rowValue(u"Cables:"_s), rows.at(0));
    QCOMPARE(details.rowValue(u"Direct:"_s), rows.at(1));
    QCOMPARE(details.rowValue(u"Network:"_s), rows.at(2));
    QCOMPARE(details.rowValue(u"Hops:"_s),
             rows.at(3) == u"-"_s ? std::nullopt : std::optional(rows.at(3)));
    QCOMPARE(details.hasRootBadge(), root == node);
    QCOMPARE(details.rootButtonText(), root == node ? u"Clear Root"_s : u"Set as Root"_s);
    // Edit mode: no live rows.
    QCOMPARE(details.rowValue(u"Status:"_s), std::nullopt);
    QCOMPARE(details.rowValue(u"Response:"_s), std::nullopt);
}

void TestLivePanes::nodeDetailsLiveRows()
{
    ProjectDocument document(chainProject());
    ProjectSession session(&document);
    session.setSelectedNodes({2});
    QWidget host;
    NodeDetails details(&session, &host);
    QCOMPARE(details.rowValue(u"Name:"_s), u"B"_s);
    QCOMPARE(details.rowValue(u"Type:"_s), u"Switch"_s);
    QCOMPARE(details.rowValue(u"IP:"_s), u"127.0.0.2"_s);

    details.setLiveState(true, {{2, PingStatus::slow}}, {{2, 0.012345}});
    QCOMPARE(details.rowValue(u"Status:"_s), u"Slow"_s);
    QCOMPARE(details.rowValue(u"Response:"_s), u"12.3 ms"_s);

    // No entry at all reads Unknown, and without a latency the response row is absent.
    details.setLiveState(true, {}, {{3, 0.5}});
    QCOMPARE(details.rowValue(u"Status:"_s), u"Unknown"_s);
    QCOMPARE(details.rowValue(u"Response:"_s), std::nullopt);
    details.setLiveState(true, {{2, PingStatus::offline}}, {});
    QCOMPARE(details.rowValue(u"Status:"_s), u"Offline"_s);

    QCOMPARE(responseTimeText(0.2), u"200.0 ms"_s);
    QCOMPARE(responseTimeText(0.00004), u"0.0 ms"_s);
}

void TestLivePanes::nodeDetailsFollowsSelectionAndRoot()
{
    ProjectDocument document(chainProject());
    ProjectSession session(&document);
    QWidget host;
    NodeDetails details(&session, &host);
    QVERIFY(details.isHidden());
    QVERIFY(!details.shownNodeId());

    session.setSelectedNodes({1, 2});
    QVERIFY(details.isHidden());
    session.setSelectedNodes({2});
    QVERIFY(!details.isHidden());
    QCOMPARE(details.shownNodeId(), 2);
    session.setSelectedNodes({77}); // an id no node carries
    QVERIFY(details.isHidden());
    session.setSelectedNodes({2});

    QList<QPushButton*> buttons = details.findChildren<QPushButton*>();
    QPushButton* setRoot = nullptr;
    QPushButton* zoom = nullptr;
    for (QPushButton* button : buttons) {
        if (button->text() == u"Set as Root"_s)
            setRoot = button;
        else if (button->text() == u"Zoom To"_s)
            zoom = button;
    }
    QVERIFY(setRoot && zoom);
    setRoot->click();
    QCOMPARE(session.rootNodeId(), 2);
    QVERIFY(details.hasRootBadge());
    QCOMPARE(details.rowValue(u"Hops:"_s), u"0 from root"_s);
    QCOMPARE(details.rootButtonText(), u"Clear Root"_s);
    QVERIFY(session.undoStack().isEmpty()); // view state only

    // A cable edit shows at once: cut B off from C.
    document.modify([](ProjectData& project) { project.cables.removeLast(); });
    QCOMPARE(details.rowValue(u"Network:"_s), u"1 node"_s);

    QSignalSpy zooms(&details, &NodeDetails::zoomToNodeRequested);
    zoom->click();
    QCOMPARE(zooms.size(), 1);
    QCOMPARE(zooms.at(0).at(0).value<Node>().id, 2);
    QCOMPARE(session.selectedNodes(), QSet<qint64>{2});

    setRoot->click(); // now "Clear Root"
    QCOMPARE(session.rootNodeId(), std::nullopt);
    QCOMPARE(details.rowValue(u"Hops:"_s), std::nullopt);
}

void TestLivePanes::bannersStackFiveOldest()
{
    ManualScheduler clock;
    AlertCenter center(nullptr, &clock);
    center.setAutoZoomToOutage(false);
    QWidget host;
    AlertBanners banners(&center, &host);
    host.show(); // banners added to a visible stack must count in its size at once
    QVERIFY(banners.shownAlertIds().isEmpty());
    for (int i = 1; i <= 6; ++i) {
        center.raiseAlert(i % 2 ? AlertType::offline : AlertType::online, {{i, u"N%1"_s.arg(i)}});
        clock.advance(10);
    }
    QList<QUuid> oldestFive;
    for (int i = 0; i < 5; ++i)
        oldestFive.append(center.alerts().at(i).id);
    QCOMPARE(banners.shownAlertIds(), oldestFive);
    QVERIFY(banners.height() > 5 * 30);
    QCOMPARE(banners.height(), banners.sizeHint().height());
    const QList<QWidget*> shown = banners.findChildren<QWidget*>(u"alertBanner"_s);
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.first()->width(), AlertBanners::bannerWidth);

    // The close button of the oldest banner dismisses it; the sixth moves up.
    QList<QToolButton*> closes = banners.findChildren<QToolButton*>(u"closeBanner"_s);
    QToolButton* firstClose = nullptr;
    for (QToolButton* button : closes) {
        if (button->parentWidget() == banners.layout()->itemAt(0)->widget())
            firstClose = button;
    }
    QVERIFY(firstClose);
    firstClose->click();
    QVERIFY(!center.alerts().first().isVisible);
    QCOMPARE(banners.shownAlertIds().first(), center.alerts().at(1).id);
    QCOMPARE(banners.shownAlertIds().last(), center.alerts().at(5).id);

    // A banner draws in its type's colour: red pixels in the second shown one (alert 3, offline).
    QWidget* top = banners.layout()->itemAt(1)->widget();
    top->adjustSize();
    const QImage image = top->grab().toImage();
    const QColor red = alertTypeColor(AlertType::offline);
    qsizetype redPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - red.red()) < 12 &&
                std::abs(pixel.green() - red.green()) < 12 &&
                std::abs(pixel.blue() - red.blue()) < 12)
                ++redPixels;
        }
    }
    QVERIFY2(redPixels > 20, qPrintable(QString::number(redPixels)));

    clock.advance(6000);
    QVERIFY(banners.shownAlertIds().isEmpty());
    QVERIFY(banners.isHidden());
}

void TestLivePanes::historyBadgeListAndClear()
{
    ManualScheduler clock;
    AlertCenter center(nullptr, &clock);
    center.setAutoZoomToOutage(false);
    QWidget host;
    AlertHistory history(&center, &host);
    QCOMPARE(history.badgeText(), QString());
    history.setShowAlertHistory(true);
    QCOMPARE(history.listedTexts(), QStringList{u"No alerts"_s});

    center.raiseAlert(AlertType::offline, {{1, u"Core"_s}});
    center.raiseAlert(AlertType::slow, {{2, u"Edge"_s}});
    center.raiseAlert(AlertType::online, {{1, u"Core"_s}});
    clock.advance(6000); // banners gone; the history keeps them all
    QCOMPARE(history.badgeText(), u"3"_s);
    QCOMPARE(history.listedTexts(),
             (QStringList{u"Core Offline"_s, u"Edge Slow"_s, u"Core Online"_s}));

    QTest::mouseClick(history.alertsButton(), Qt::LeftButton);
    QVERIFY(!history.showAlertHistory());
    QTest::mouseClick(history.alertsButton(), Qt::LeftButton);
    QVERIFY(history.showAlertHistory());

    history.clearAllButton()->click();
    QVERIFY(center.alerts().isEmpty());
    QCOMPARE(history.badgeText(), QString());
    QCOMPARE(history.listedTexts(), QStringList{u"No alerts"_s});
}

// Banners are rebuilt on every change of the alert list; their symbols are drawn once per alert
// type and shared, so flapping hosts do not fill the pixmap cache. Node names show as typed.
void TestLivePanes::bannerIconsBuiltOncePerType()
{
    ManualScheduler clock;
    AlertCenter center(nullptr, &clock);
    center.setAutoZoomToOutage(false);
    AlertBanners banners(&center);
    const auto symbols = [&](int index) {
        QWidget* banner = banners.layout()->itemAt(index)->widget();
        qint64 icon = 0;
        for (QLabel* label : banner->findChildren<QLabel*>())
            if (!label->pixmap().isNull())
                icon = label->pixmap().cacheKey();
        const auto* close = banner->findChild<QToolButton*>(u"closeBanner"_s);
        return std::pair{icon, close->icon().cacheKey()};
    };
    center.raiseAlert(AlertType::offline, {{1, u"<b>Lab</b> & R&D"_s}});
    const auto offline = symbols(0);
    QVERIFY(offline.first != 0);
    center.raiseAlert(AlertType::online, {{2, u"B"_s}});
    center.raiseAlert(AlertType::offline, {{3, u"C"_s}});
    QCOMPARE(symbols(0), offline);
    QCOMPARE(symbols(2), offline);
    QVERIFY(symbols(1).first != offline.first);
    QCOMPARE(symbols(1).second, offline.second);

    const auto* title = banners.layout()->itemAt(0)->widget()->findChild<QLabel*>(u"alertTitle"_s);
    QCOMPARE(title->text(), u"<b>Lab</b> & R&D Offline"_s);
    QCOMPARE(title->textFormat(), Qt::PlainText);
}

QTEST_MAIN(TestLivePanes)
#include "tst_live_panes.moc"
