// SPDX-License-Identifier: GPL-3.0-or-later
// Framing math: fit to screen (map first, else nodes without scale), zoom to one node, zoom to
// a set of nodes, centring between the panes, and the guards against degenerate input.

#include "canvas/view_framing.h"

#include <QTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(velmora::ProjectData)
Q_DECLARE_METATYPE(velmora::PaneWidths)

using namespace velmora;

namespace {

NodeData node(double x, double y, double scale = 1.0)
{
    NodeData n;
    n.x = x;
    n.y = y;
    n.scale = scale;
    return n;
}

ProjectData withMap(double x, double y, double scale)
{
    ProjectData project;
    MapData map;
    map.imageData = QByteArray("not decoded here; the pixel size is passed in");
    map.positionX = x;
    map.positionY = y;
    map.scale = scale;
    project.map = map;
    return project;
}

} // namespace

class TestViewFraming final : public QObject {
    Q_OBJECT
private slots:
    void paneWidths_data()
    {
        QTest::addColumn<bool>("leftCollapsed");
        QTest::addColumn<bool>("live");
        QTest::addColumn<bool>("nodesCollapsed");
        QTest::addColumn<bool>("layersCollapsed");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("right");
        QTest::newRow("edit, all open") << false << false << false << false << 220.0 << 410.0;
        QTest::newRow("edit, nodes collapsed") << false << false << true << false << 220.0 << 60.0;
        QTest::newRow("edit ignores layers") << true << false << false << true << 60.0 << 410.0;
        QTest::newRow("live, layers open") << false << true << true << false << 220.0 << 340.0;
        QTest::newRow("live, layers collapsed") << true << true << false << true << 60.0 << 60.0;
    }
    void paneWidths()
    {
        QFETCH(bool, leftCollapsed);
        QFETCH(bool, live);
        QFETCH(bool, nodesCollapsed);
        QFETCH(bool, layersCollapsed);
        QFETCH(double, left);
        QFETCH(double, right);
        const PaneWidths widths =
            paneWidthsFor(leftCollapsed, live, nodesCollapsed, layersCollapsed);
        QCOMPARE(widths.left, left);
        QCOMPARE(widths.right, right);
    }

    void fitToScreen_data()
    {
        QTest::addColumn<ProjectData>("project");
        QTest::addColumn<QSize>("mapPixels");
        QTest::addColumn<QSizeF>("canvas");
        QTest::addColumn<PaneWidths>("panes");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("pan");

        ProjectData oneNode;
        oneNode.nodes = {node(100, 100, 2.0)};
        // Node scale is ignored: box 180 x 80; W' = 770, H' = 820; min(4.28, 10.25, 1.5) x 0.85.
        QTest::newRow("one node, scale ignored")
            << oneNode << QSize() << QSizeF(1400, 900) << PaneWidths{220, 410} << 1.275
            << QPointF(220 + 385 - 190 * 1.275, 410 + 40 - 140 * 1.275);

        ProjectData twoNodes;
        twoNodes.nodes = {node(0, 0), node(1000, 500)};
        // Box 1180 x 580: min(770/1180, 820/580, 1.5) x 0.85.
        const double z2 = 770.0 / 1180.0 * 0.85;
        QTest::newRow("two nodes")
            << twoNodes << QSize() << QSizeF(1400, 900) << PaneWidths{220, 410} << z2
            << QPointF(605 - 590 * z2, 450 - 290 * z2);

        ProjectData sameX;
        sameX.nodes = {node(10, 10), node(10, 10)};
        QTest::newRow("coincident nodes: box of one node")
            << sameX << QSize() << QSizeF(1400, 900) << PaneWidths{220, 410} << 1.275
            << QPointF(605 - 100 * 1.275, 450 - 50 * 1.275);

        // The map wins over nodes lying outside it: 800 x 600 at (100, 50), scale 1.
        ProjectData map = withMap(100, 50, 1.0);
        map.nodes = {node(5000, 5000)};
        const double zm = 770.0 / 800.0 * 0.9;
        QTest::newRow("map wins over nodes")
            << map << QSize(800, 600) << QSizeF(1400, 900) << PaneWidths{220, 410} << zm
            << QPointF(605 - 500 * zm, 450 - 350 * zm);

        QTest::newRow("small map not enlarged beyond 0.9")
            << withMap(0, 0, 1.0) << QSize(100, 100) << QSizeF(1400, 900) << PaneWidths{220, 410}
            << 0.9 << QPointF(605 - 50 * 0.9, 450 - 50 * 0.9);

        const double zs = std::min(770.0 / 1600.0, 820.0 / 1200.0) * 0.9;
        QTest::newRow("map scale applied")
            << withMap(0, 0, 2.0) << QSize(800, 600) << QSizeF(1400, 900) << PaneWidths{220, 410}
            << zs << QPointF(605 - 800 * zs, 450 - 600 * zs);

        QTest::newRow("map scale 0 treated as 1")
            << withMap(0, 0, 0.0) << QSize(100, 100) << QSizeF(1400, 900) << PaneWidths{220, 410}
            << 0.9 << QPointF(605 - 50 * 0.9, 450 - 50 * 0.9);

        ProjectData undecodable = withMap(0, 0, 1.0);
        undecodable.nodes = {node(100, 100)};
        QTest::newRow("undecodable map: nodes are framed")
            << undecodable << QSize() << QSizeF(1400, 900) << PaneWidths{220, 410} << 1.275
            << QPointF(605 - 190 * 1.275, 450 - 140 * 1.275);

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
        const Framing framing = fitFraming(project, mapPixels, canvas, panes);
        QVERIFY2(qFuzzyCompare(framing.zoom, zoom),
                 qPrintable(QString::number(framing.zoom, 'g', 12)));
        QFETCH(QPointF, pan);
        QVERIFY2(std::abs(framing.pan.x() - pan.x()) < 1e-9 &&
                     std::abs(framing.pan.y() - pan.y()) < 1e-9,
                 qPrintable(QStringLiteral("%1, %2").arg(framing.pan.x()).arg(framing.pan.y())));
    }

    void zoomToNode_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("zoom");
        QTest::newRow("scale 1") << 1.0 << 1.5;
        QTest::newRow("scale 0.5 reaches the maximum") << 0.5 << 3.0;
        QTest::newRow("scale 0.25 clamped") << 0.25 << 3.0;
        QTest::newRow("scale 3") << 3.0 << 0.5;
        QTest::newRow("scale 10 clamped to the minimum") << 10.0 << 0.2;
        QTest::newRow("scale 0 from a file: treated as 1") << 0.0 << 1.5;
        QTest::newRow("negative scale: treated as 1") << -2.0 << 1.5;
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

QTEST_APPLESS_MAIN(TestViewFraming)
#include "tst_view_framing.moc"
