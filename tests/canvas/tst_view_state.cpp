// SPDX-License-Identifier: GPL-3.0-or-later
// The view state: zoom and pinch limits, the view animation (no-op threshold, ease-out,
// replacement mid-way, Qt's animation timer), the start-up rule and stored view, the reset
// request, and the framing math (fit to screen: map first, else nodes without scale; zoom to
// one node or to several; centring between the panes; degenerate input).

#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QLineF>
#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(velmora::ProjectData)
Q_DECLARE_METATYPE(velmora::PaneWidths)

using namespace velmora;

namespace {

struct Fixture {
    explicit Fixture(QList<NodeData> nodes = {}, ViewSettings stored = {})
        : document(ProjectData{.nodes = nodes, .viewSettings = stored}), session(&document),
          view(&session)
    {
        view.setViewSize(QSizeF(1400, 900));
        view.setPaneWidths({220, 410});
    }
    // Steps the running animation to `ms` milliseconds after its start.
    void at(int ms)
    {
        view.findChild<QVariantAnimation*>(QStringLiteral("viewAnimation"))->setCurrentTime(ms);
    }

    ProjectDocument document;
    ProjectSession session;
    ViewState view;
};

bool near(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

NodeData node(double x, double y, double scale = 1.0)
{
    return {.x = x, .y = y, .scale = scale};
}

// The image is not decoded here: its pixel size is passed in.
ProjectData withMap(double x, double y, double scale, QList<NodeData> nodes = {})
{
    return {.nodes = nodes, .map = MapData{QByteArray("image"), x, y, scale}};
}

} // namespace

class TestViewState final : public QObject {
    Q_OBJECT
private slots:
    void zoomCommands_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<bool>("zoomIn");
        QTest::addColumn<double>("expected");
        QTest::newRow("in from 1") << 1.0 << true << 1.25;
        QTest::newRow("in at 2.9 stops at 3") << 2.9 << true << 3.0;
        QTest::newRow("out at 0.21 stops at 0.2") << 0.21 << false << 0.2;
        // A framing may leave the zoom outside the limits; the next command clamps it.
        QTest::newRow("in from a framed 5") << 5.0 << true << 3.0;
    }
    void zoomCommands()
    {
        QFETCH(double, start);
        QFETCH(bool, zoomIn);
        QFETCH(double, expected);
        Fixture f;
        f.view.setView(start, QPointF(12, -7));
        zoomIn ? f.view.zoomIn() : f.view.zoomOut();
        QVERIFY(near(f.view.zoom(), expected));
        QCOMPARE(f.view.zoomStart(), f.view.zoom());
        // The content at the centre between the panes (605, 450) stays there.
        const QPointF centre(605, 450);
        const QPointF before = ViewTransform{start, QPointF(12, -7)}.toCanvas(centre);
        QVERIFY(QLineF(f.view.transform().toCanvas(centre), before).length() < 1e-9);
        QCOMPARE(f.view.dragStart(), f.view.pan());
        QVERIFY(near(f.document.projectData().viewSettings.zoom, expected));
    }

    void wheel_data()
    {
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<QPoint>("pixels");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("pan");
        // From zoom 1 at pan (0, 0), the pointer at (300, 200): zooming keeps it over the same
        // content point, so pan = pointer x (1 - zoom).
        QTest::newRow("one notch up")
            << QPoint(0, 120) << QPoint() << false << 1.25 << QPointF(-75, -50);
        QTest::newRow("one notch down")
            << QPoint(0, -120) << QPoint() << false << 0.8 << QPointF(60, 40);
        QTest::newRow("thirty notches stop at 3")
            << QPoint(0, 3600) << QPoint() << false << 3.0 << QPointF(-600, -400);
        QTest::newRow("thirty notches down stop at 0.2")
            << QPoint(0, -3600) << QPoint() << false << 0.2 << QPointF(240, 160);
        QTest::newRow("shift pans sideways")
            << QPoint(0, -120) << QPoint() << true << 1.0 << QPointF(-50, 0);
        QTest::newRow("horizontal wheel pans")
            << QPoint(120, 0) << QPoint() << false << 1.0 << QPointF(50, 0);
        QTest::newRow("touchpad pixels pan")
            << QPoint(24, 6) << QPoint(10, 3) << false << 1.0 << QPointF(10, 3);
    }
    void wheel()
    {
        QFETCH(QPoint, angle);
        QFETCH(QPoint, pixels);
        QFETCH(bool, shift);
        QFETCH(double, zoom);
        QFETCH(QPointF, pan);
        Fixture f;
        f.view.setView(1.0, QPointF(0, 0));
        f.view.wheel(angle, pixels, shift ? Qt::ShiftModifier : Qt::NoModifier, QPointF(300, 200));
        QVERIFY(near(f.view.zoom(), zoom));
        QVERIFY(QLineF(f.view.pan(), pan).length() < 1e-9);
        QCOMPARE(f.view.zoomStart(), f.view.zoom());
        QCOMPARE(f.view.dragStart(), f.view.pan());
    }

    void pinch()
    {
        Fixture f;
        f.view.setView(2.0, QPointF(0, 0));
        f.view.pinch(2.0);
        QCOMPARE(f.view.zoom(), 3.0);
        QCOMPARE(f.view.zoomStart(), 2.0); // unchanged while the pinch runs
        f.view.endPinch();
        QCOMPARE(f.view.zoomStart(), 3.0);
        f.view.pinch(0.5);
        QCOMPARE(f.view.zoom(), 1.5); // the next pinch starts from 3
        f.view.pinch(0.01);
        QCOMPARE(f.view.zoom(), minZoom);
    }

    void animationEasesOutAndFinishes()
    {
        Fixture f;
        f.view.setView(1.0, QPointF(0, 0));
        f.view.animateView(2.0, QPointF(100, -100), 0.5);
        QVERIFY(f.view.isAnimatingView());
        f.at(250); // t = 0.5, e = 1 - 0.125
        QVERIFY(near(f.view.zoom(), 1.875));
        QCOMPARE(f.view.pan(), QPointF(87.5, -87.5));
        QCOMPARE(f.view.zoomStart(), 1.0); // start values move only at the end
        QCOMPARE(f.view.dragStart(), QPointF(0, 0));
        f.at(500);
        QVERIFY(!f.view.isAnimatingView());
        QCOMPARE(f.view.zoom(), 2.0);
        QCOMPARE(f.view.zoomStart(), 2.0);
        QCOMPARE(f.view.dragStart(), QPointF(100, -100));
        QCOMPARE(f.document.projectData().viewSettings.panX, 100.0);
    }

    void animationReplacedMidwayContinuesFromCurrentValues()
    {
        Fixture f;
        f.view.setView(1.0, QPointF(0, 0));
        f.view.animateView(3.0, QPointF(200, 0), 0.5);
        f.at(250);
        const double zoomMid = f.view.zoom();
        const QPointF panMid = f.view.pan();
        QVERIFY(zoomMid > 1.0 && zoomMid < 3.0);

        f.view.animateView(1.0, QPointF(0, 0), 0.5);
        QVERIFY(near(f.view.zoom(), zoomMid)); // no jump
        QCOMPARE(f.view.pan(), panMid);
        f.at(250); // half of the full new duration
        QVERIFY(near(f.view.zoom(), zoomMid + (1.0 - zoomMid) * 0.875));
        QCOMPARE(f.view.zoomStart(), 1.0);
        f.at(500);
        QCOMPARE(f.view.zoom(), 1.0);
        QVERIFY(!f.view.isAnimatingView());
    }

    void animationNoOpThreshold_data()
    {
        QTest::addColumn<double>("targetZoom");
        QTest::addColumn<QPointF>("targetPan");
        QTest::addColumn<bool>("animates");
        QTest::newRow("within threshold") << 1.009 << QPointF(0.99, -0.99) << false;
        QTest::newRow("zoom differs by over 0.01") << 1.011 << QPointF(0, 0) << true;
        QTest::newRow("pan x differs by 1") << 1.0 << QPointF(1.0, 0) << true;
        QTest::newRow("pan y differs by 1") << 1.0 << QPointF(0, -1.0) << true;
    }
    // Measured from where a running animation has got to, which a no-op leaves stopped there.
    void animationNoOpThreshold()
    {
        QFETCH(double, targetZoom);
        QFETCH(QPointF, targetPan);
        QFETCH(bool, animates);
        Fixture f;
        f.view.animateView(2.0, QPointF(0, 0), 0.5);
        f.at(100);
        const double stoppedAt = f.view.zoom();
        f.view.animateView(stoppedAt - 1.0 + targetZoom, targetPan, 0.5);
        QCOMPARE(f.view.isAnimatingView(), animates);
        QCOMPARE(f.view.zoom(), stoppedAt); // no jump
        if (!animates) {
            QTest::qWait(50);
            QCOMPARE(f.view.zoom(), stoppedAt); // stays where it was stopped
        }
        QCOMPARE(f.view.zoomStart(), 1.0);
    }

    // Run by Qt's animation timer in real time, the move ends on its target.
    void zoomToNodeKeepsSelection()
    {
        const NodeData node{.id = 1, .scale = 0.5};
        Fixture f({node});
        f.session.setSelection({}, {4}, std::nullopt);
        f.view.zoomToNode(node);
        QTRY_VERIFY_WITH_TIMEOUT(!f.view.isAnimatingView(), 3000);
        QCOMPARE(f.view.zoom(), 3.0);
        QCOMPARE(f.view.zoomStart(), 3.0);
        QCOMPARE(f.session.selectedCableIds(), QSet<qint64>{4});
    }

    void startUpRule_data()
    {
        QTest::addColumn<double>("panX");
        QTest::addColumn<double>("panY");
        QTest::addColumn<bool>("framed");
        QTest::newRow("stored pan (0, 0) is framed") << 0.0 << 0.0 << true;
        QTest::newRow("stored pan restored exactly") << 0.0 << -12.5 << false;
        QTest::newRow("negative zero counts as zero") << -0.0 << 0.0 << true;
    }
    void startUpRule()
    {
        QFETCH(double, panX);
        QFETCH(double, panY);
        QFETCH(bool, framed);
        Fixture f({NodeData{.x = 100, .y = 100}}, ViewSettings{0.7, panX, panY, 0.4, 0.25});
        QSignalSpy ready(&f.view, &ViewState::contentReadyChanged);
        f.view.windowShown(QSizeF(1400, 900));
        QCOMPARE(f.view.zoom(), 0.7); // restored at once
        QCOMPARE(f.view.mapOpacity(), 0.4);
        QCOMPARE(f.view.mapSaturation(), 0.25);
        QVERIFY(!f.view.isContentReady());
        QVERIFY(ready.wait(1000));
        QVERIFY(f.view.isContentReady());
        QVERIFY(!f.view.isAnimatingView());
        QCOMPARE(f.view.zoom(), framed ? 0.85 * 1.5 : 0.7);
        if (!framed)
            QCOMPARE(f.view.pan(), QPointF(panX, panY));
    }

    void unusableStoredZoomOpensAtOne()
    {
        Fixture f({}, ViewSettings{.zoom = 0.0, .panX = 5});
        f.view.loadViewSettings();
        QCOMPARE(f.view.zoom(), 1.0);
        QCOMPARE(f.view.pan(), QPointF(5, 0));
    }

    void viewResetRequest()
    {
        Fixture f({NodeData{.id = 1}});
        f.view.setView(2.5, QPointF(40, 50));
        f.view.animateView(1.5, QPointF(0, 0), 0.5);
        f.session.resetEverything();
        QCOMPARE(f.view.zoom(), 1.0);
        QCOMPARE(f.view.pan(), QPointF(0, 0));
        QCOMPARE(f.view.dragStart(), QPointF(0, 0));
        QCOMPARE(f.view.zoomStart(), 1.0);
        QVERIFY(!f.view.isAnimatingView());
    }

    void fitToScreen_data()
    {
        QTest::addColumn<ProjectData>("project");
        QTest::addColumn<QSize>("mapPixels");
        QTest::addColumn<QSizeF>("canvas");
        QTest::addColumn<PaneWidths>("panes");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("pan");

        const ProjectData oneNode{.nodes = {node(100, 100, 2.0)}};
        // Node scale is ignored: box 180 x 80; W' = 770, H' = 820; min(4.28, 10.25, 1.5) x 0.85.
        QTest::newRow("one node, scale ignored")
            << oneNode << QSize() << QSizeF(1400, 900) << PaneWidths{220, 410} << 1.275
            << QPointF(220 + 385 - 190 * 1.275, 410 + 40 - 140 * 1.275);

        const ProjectData twoNodes{.nodes = {node(0, 0), node(1000, 500)}};
        // Box 1180 x 580: min(770/1180, 820/580, 1.5) x 0.85.
        const double z2 = 770.0 / 1180.0 * 0.85;
        QTest::newRow("two nodes")
            << twoNodes << QSize() << QSizeF(1400, 900) << PaneWidths{220, 410} << z2
            << QPointF(605 - 590 * z2, 450 - 290 * z2);

        // The map, 800 x 600 at (100, 50), scale 1, framed alone while every node is on it.
        const ProjectData map = withMap(100, 50, 1.0, {node(200, 200), node(720, 570)});
        const double zm = 770.0 / 800.0 * 0.9;
        QTest::newRow("map with its nodes on it")
            << map << QSize(800, 600) << QSizeF(1400, 900) << PaneWidths{220, 410} << zm
            << QPointF(605 - 500 * zm, 450 - 350 * zm);
        // A node off the map: the union (100, 50)-(5180, 5080) is framed.
        const double zu = 770.0 / 5080.0 * 0.9;
        QTest::newRow("map and a node off it")
            << withMap(100, 50, 1.0, {node(200, 200), node(5000, 5000)}) << QSize(800, 600)
            << QSizeF(1400, 900) << PaneWidths{220, 410} << zu
            << QPointF(605 - 2640 * zu, 450 - 2565 * zu);

        const double zs = std::min(770.0 / 1600.0, 820.0 / 1200.0) * 0.9;
        QTest::newRow("map scale applied")
            << withMap(0, 0, 2.0) << QSize(800, 600) << QSizeF(1400, 900) << PaneWidths{220, 410}
            << zs << QPointF(605 - 800 * zs, 450 - 600 * zs);

        QTest::newRow("map scale 0 treated as 1")
            << withMap(0, 0, 0.0) << QSize(100, 100) << QSizeF(1400, 900) << PaneWidths{220, 410}
            << 0.9 << QPointF(605 - 50 * 0.9, 450 - 50 * 0.9);

        QTest::newRow("undecodable map: nodes are framed")
            << withMap(0, 0, 1.0, {node(100, 100)}) << QSize() << QSizeF(1400, 900)
            << PaneWidths{220, 410} << 1.275 << QPointF(605 - 190 * 1.275, 450 - 140 * 1.275);

        QTest::newRow("empty project") << ProjectData() << QSize() << QSizeF(1400, 900)
                                       << PaneWidths{220, 410} << 1.0 << QPointF(0, 0);

        QTest::newRow("live panes")
            << oneNode << QSize() << QSizeF(1400, 900) << PaneWidths{60, 340} << 1.275
            << QPointF(60 + 500 - 190 * 1.275, 450 - 140 * 1.275);

        // A canvas narrower than its panes gives no usable zoom; the view keeps zoom 1.
        QTest::newRow("canvas smaller than the panes")
            << oneNode << QSize() << QSizeF(0, 0) << PaneWidths{220, 410} << 1.0
            << QPointF(220 - 315 - 190, -40 + 40 - 140);
    }
    void fitToScreen()
    {
        QFETCH(ProjectData, project);
        QFETCH(QSize, mapPixels);
        QFETCH(QSizeF, canvas);
        QFETCH(PaneWidths, panes);
        QFETCH(double, zoom);
        QFETCH(QPointF, pan);
        const Framing framing = fitFraming(project, mapPixels, canvas, panes);
        QCOMPARE(framing.zoom, zoom);
        QCOMPARE(framing.pan, pan);
    }

    void zoomToNode_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("zoom");
        QTest::newRow("scale 1") << 1.0 << 1.5;
        QTest::newRow("scale 0.5 reaches the maximum") << 0.5 << 3.0;
        QTest::newRow("scale 3") << 3.0 << 0.5;
        QTest::newRow("scale 10 clamped to the minimum") << 10.0 << 0.2;
        QTest::newRow("scale 0 from a file: treated as 1") << 0.0 << 1.5;
        QTest::newRow("NaN scale: treated as 1") << std::numeric_limits<double>::quiet_NaN() << 1.5;
    }
    void zoomToNode()
    {
        QFETCH(double, scale);
        QFETCH(double, zoom);
        const Framing framing =
            nodeFraming(node(300, 200, scale), QSizeF(1400, 900), PaneWidths{220, 410});
        QCOMPARE(framing.zoom, zoom);
        const double s = (std::isfinite(scale) && scale > 0) ? scale : 1.0;
        const QPointF centre(300 + 90 * s, 200 + 40 * s);
        QCOMPARE(framing.pan, QPointF(605 - centre.x() * zoom, 450 - centre.y() * zoom));
    }

    void searchResults()
    {
        QVERIFY(!nodesFraming({}, QSizeF(1400, 900), PaneWidths{}).has_value());
        // Scale applied: a scale-2 node at (400, 200) reaches 760 x 360.
        const auto framing = nodesFraming({node(0, 0), node(400, 200, 2.0)}, QSizeF(1400, 900),
                                          PaneWidths{220, 410});
        QVERIFY(framing);
        const double z = std::min({770.0 / 760.0, 820.0 / 360.0, 2.0}) * 0.8;
        QVERIFY(qFuzzyCompare(framing->zoom, z));
        QCOMPARE(framing->pan, QPointF(605 - 380 * z, 450 - 180 * z));
        // One small node is capped at 2 x 0.8, beyond the zoom limits' reach of commands.
        const auto single = nodesFraming({node(0, 0)}, QSizeF(4000, 4000), PaneWidths{220, 410});
        QCOMPARE(single->zoom, 1.6);
    }
};

QTEST_GUILESS_MAIN(TestViewState)
#include "tst_view_state.moc"
