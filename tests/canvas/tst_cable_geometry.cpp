// SPDX-License-Identifier: GPL-3.0-or-later
// Cable point geometry, drag previews and the hit tests on points, segments, nodes and handles.

#include "support/builders.h"

#include "canvas/cable_geometry.h"
#include "canvas/hit_test.h"

#include <QTest>

#include <cmath>
#include <numbers>

using namespace velmora;
using namespace velmora::test;

namespace {

constexpr double pi = std::numbers::pi;

NodeData node(qint64 id, double x, double y, double scale = 1.0)
{
    return {.id = id, .x = x, .y = y, .scale = scale};
}

bool near(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) < 1e-9 && std::abs(a.y() - b.y()) < 1e-9;
}

} // namespace

class TestCableGeometry final : public QObject {
    Q_OBJECT
private slots:
    void anchorOnOutline_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("angle");
        QTest::addColumn<QPointF>("expected");
        // The node's box is (100, -50) to (280, 30) at scale 1.
        QTest::newRow("right") << 1.0 << 0.0 << QPointF(280, -10);
        QTest::newRow("down") << 1.0 << pi / 2 << QPointF(190, 30);
        QTest::newRow("diagonal hits the bottom") << 1.0 << pi / 4 << QPointF(230, 30);
        QTest::newRow("left") << 1.0 << pi << QPointF(100, -10);
        QTest::newRow("shallow angle hits the side")
            << 1.0 << std::atan2(20.0, 90.0) << QPointF(280, 10);
        QTest::newRow("scale 2 diagonal") << 2.0 << pi / 4 << QPointF(360, 110);
        QTest::newRow("NaN angle faces right") << 1.0 << std::nan("") << QPointF(280, -10);
        // Scales that make no sense draw the node at scale 1 instead of producing NaN.
        QTest::newRow("scale 0") << 0.0 << pi / 2 << QPointF(190, 30);
        QTest::newRow("NaN scale") << std::nan("") << 0.0 << QPointF(280, -10);
    }
    void anchorOnOutline()
    {
        QFETCH(double, scale);
        QFETCH(double, angle);
        QFETCH(QPointF, expected);
        const ProjectData project = projectWith({node(7, 100, -50, scale)});
        const QPointF p = anchorPosition(nodePoint(7, angle), project);
        QVERIFY2(near(p, expected), qPrintable(QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y())));
    }

    void anchorSpecialPoints_data()
    {
        QTest::addColumn<CablePointData>("point");
        QTest::addColumn<QPointF>("expected");
        QTest::newRow("free point") << freePoint(-12.5, 300) << QPointF(-12.5, 300);
        QTest::newRow("missing node") << nodePoint(99, pi / 2) << QPointF(0, 0);
        QTest::newRow("no node id")
            << CablePointData{.type = cablePointTypeNode, .x = 5, .y = 5} << QPointF(0, 0);
        QTest::newRow("unknown type positions like a node")
            << CablePointData{QStringLiteral("bend"), 5, 5, qint64(1), pi / 2} << QPointF(190, 160);
        QTest::newRow("duplicate id takes the first node") << nodePoint(2, 0.0) << QPointF(580, 40);
    }
    void anchorSpecialPoints()
    {
        QFETCH(CablePointData, point);
        QFETCH(QPointF, expected);
        const ProjectData project = projectWith({node(1, 100, 80), node(2, 400, 0), node(2, 0, 0)});
        QVERIFY(near(anchorPosition(point, project), expected));
        // On screen: zoom 2, pan (10, -20).
        const CableGeometry geometry(project, ViewTransform{2.0, QPointF(10, -20)}, {}, {});
        QVERIFY(near(geometry.screenPosition(point), expected * 2 + QPointF(10, -20)));
    }

    void nodeDragPreview_data()
    {
        QTest::addColumn<QSet<qint64>>("selectedNodes");
        QTest::addColumn<QSet<qint64>>("selectedCables");
        QTest::addColumn<bool>("endOnAShifted");
        QTest::addColumn<bool>("freeShifted");
        // Cable 1: A - free (500, 500) - B.
        QTest::newRow("cable and both nodes selected")
            << QSet<qint64>{1, 2} << QSet<qint64>{1} << true << true;
        QTest::newRow("cable not selected")
            << QSet<qint64>{1, 2} << QSet<qint64>{} << true << false;
        QTest::newRow("one end node not selected")
            << QSet<qint64>{1} << QSet<qint64>{1} << true << false;
        QTest::newRow("nothing selected") << QSet<qint64>{} << QSet<qint64>{} << false << false;
    }
    void nodeDragPreview()
    {
        QFETCH(QSet<qint64>, selectedNodes);
        QFETCH(QSet<qint64>, selectedCables);
        QFETCH(bool, endOnAShifted);
        QFETCH(bool, freeShifted);
        const ProjectData project =
            projectWith({node(1, 0, 0), node(2, 1000, 0)},
                        {CableData{1, {nodePoint(1, 0.0), freePoint(500, 500), nodePoint(2, pi)}}});
        GestureState gesture;
        gesture.isDragging = true;
        gesture.draggedNode = toNode(project.nodes[0]);
        gesture.nodeDragOffset = QSizeF(30, -10);
        const QList<CablePointData>& points = project.cables[0].points;
        const CableGeometry geometry(project, ViewTransform{}, gesture,
                                     SelectionSets{selectedNodes, selectedCables});
        const QPointF shift(30, -10);
        QCOMPARE(geometry.screenPosition(points[0]),
                 QPointF(180, 40) + (endOnAShifted ? shift : QPointF()));
        QCOMPARE(geometry.screenPosition(points[1]),
                 QPointF(500, 500) + (freeShifted ? shift : QPointF()));

        // Without a dragged node nothing is shifted, whatever the offset says.
        gesture.draggedNode.reset();
        const CableGeometry idle(project, ViewTransform{}, gesture,
                                 SelectionSets{selectedNodes, selectedCables});
        QCOMPARE(idle.screenPosition(points[1]), QPointF(500, 500));
        QCOMPARE(idle.screenPosition(points[0]), QPointF(180, 40));
    }

    void freePointPreviewFollowsFirstCableWithThatPosition()
    {
        // Two cables share a free point position; only the first cable holding it decides.
        ProjectData project =
            projectWith({node(1, 0, 0), node(2, 1000, 0), node(3, 0, 1000)},
                        {CableData{5, {nodePoint(3, 0.0), freePoint(500, 500), nodePoint(2, pi)}},
                         CableData{6, {nodePoint(1, 0.0), freePoint(500, 500), nodePoint(2, pi)}}});
        GestureState gesture;
        gesture.draggedNode = toNode(project.nodes[0]);
        gesture.nodeDragOffset = QSizeF(7, 7);
        const CablePointData& shared = project.cables[1].points[1];
        QCOMPARE(CableGeometry(project, {}, gesture, {{1, 2}, {6}}).screenPosition(shared),
                 QPointF(500, 500));
        QCOMPARE(CableGeometry(project, {}, gesture, {{2, 3}, {5}}).screenPosition(shared),
                 QPointF(507, 507));

        // A selected cable without any node point never drags its free points along.
        project.cables = {CableData{9, {freePoint(1, 1), freePoint(2, 2)}}};
        QCOMPARE(CableGeometry(project, {}, gesture, {{1}, {9}}).screenPosition(freePoint(1, 1)),
                 QPointF(1, 1));
    }

    void pointDragPreview_data()
    {
        QTest::addColumn<qsizetype>("cableIndex");
        QTest::addColumn<qsizetype>("pointIndex");
        QTest::addColumn<QSizeF>("offset");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("expectedDragged");
        // Cable: A at pi/2 (screen (90, 80) at zoom 1) - free (300, 300) - B.
        QTest::newRow("node point slides to the right side")
            << qsizetype(0) << qsizetype(0) << QSizeF(200, -40) << 1.0 << QPointF(180, 40);
        QTest::newRow("node point slides to the top")
            << qsizetype(0) << qsizetype(0) << QSizeF(0, -500) << 1.0 << QPointF(90, 0);
        QTest::newRow("node point at zoom 2")
            << qsizetype(0) << qsizetype(0) << QSizeF(400, -80) << 2.0 << QPointF(360, 80);
        QTest::newRow("free point moves by the offset")
            << qsizetype(0) << qsizetype(1) << QSizeF(-20, 15) << 1.0 << QPointF(280, 315);
        QTest::newRow("stale indices move nothing")
            << qsizetype(3) << qsizetype(1) << QSizeF(-20, 15) << 1.0 << QPointF(300, 300);
    }
    void pointDragPreview()
    {
        QFETCH(qsizetype, cableIndex);
        QFETCH(qsizetype, pointIndex);
        QFETCH(QSizeF, offset);
        QFETCH(double, zoom);
        QFETCH(QPointF, expectedDragged);
        const ProjectData project = projectWith(
            {node(1, 0, 0), node(2, 1000, 1000)},
            {CableData{1, {nodePoint(1, pi / 2), freePoint(300, 300), nodePoint(2, pi)}}});
        GestureState gesture;
        gesture.isDragging = true;
        gesture.draggingCableIndex = cableIndex;
        gesture.draggingPointIndex = pointIndex;
        gesture.draggingPointOffset = offset;
        const QList<CablePointData>& points = project.cables[0].points;
        const CableGeometry geometry(project, ViewTransform{zoom, {}}, gesture, {});
        QVERIFY(near(geometry.screenPosition(points[pointIndex]), expectedDragged));
        // The far end is not touched by the preview.
        QVERIFY(near(geometry.screenPosition(points[2]), QPointF(1000, 1040) * zoom));
    }

    void pointAt_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<int>("cable"); // -1: none
        QTest::addColumn<int>("point");
        // Cable 0: (0, 0)-(100, 100); cable 1: (0, 50)-(100, 102), points at zoom times that.
        QTest::newRow("exactly 12 away misses") << 1.0 << QPointF(112, 100) << -1 << 0;
        QTest::newRow("zoom 2 widens the radius") << 2.0 << QPointF(223, 200) << 0 << 1;
        QTest::newRow("zoom 0.5 narrows it") << 0.5 << QPointF(57, 50) << -1 << 0;
        QTest::newRow("both near: the earlier cable") << 1.0 << QPointF(100, 101) << 0 << 1;
        QTest::newRow("second cable") << 1.0 << QPointF(0, 45) << 1 << 0;
    }
    void pointAt()
    {
        QFETCH(double, zoom);
        QFETCH(QPointF, pointer);
        QFETCH(int, cable);
        QFETCH(int, point);
        const ProjectData project =
            projectWith({}, {CableData{1, {freePoint(0, 0), freePoint(100, 100)}},
                             CableData{2, {freePoint(0, 50), freePoint(100, 102)}}});
        const auto ref = CableGeometry(project, ViewTransform{zoom, {}}, {}, {}).pointAt(pointer);
        QCOMPARE(ref.has_value(), cable >= 0);
        if (ref)
            QCOMPARE(*ref, (CablePointRef{cable, point}));
    }

    void segmentAt_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<qsizetype>("expected"); // -1: none
        // Cable 0: (0,0)-(100,0)-(100,100). Cable 1: one point. Cable 2: both points at
        // (300, 300). Cable 3: (0, 2)-(100, 2), over cable 0's first segment.
        QTest::newRow("nearer than 10") << 1.0 << QPointF(50, 11.9) << qsizetype(3);
        QTest::newRow("10 away misses") << 1.0 << QPointF(50, 12) << qsizetype(-1);
        QTest::newRow("both near: the later cable") << 1.0 << QPointF(50, 1) << qsizetype(3);
        QTest::newRow("past the end uses the end point") << 1.0 << QPointF(-6, -6) << qsizetype(0);
        QTest::newRow("one-point cable is skipped") << 1.0 << QPointF(500, 500) << qsizetype(-1);
        QTest::newRow("degenerate segment") << 1.0 << QPointF(305, 305) << qsizetype(2);
        QTest::newRow("zoom 2") << 2.0 << QPointF(200, 100) << qsizetype(0);
    }
    void segmentAt()
    {
        QFETCH(double, zoom);
        QFETCH(QPointF, pointer);
        QFETCH(qsizetype, expected);
        const ProjectData project = projectWith(
            {}, {CableData{1, {freePoint(0, 0), freePoint(100, 0), freePoint(100, 100)}},
                 CableData{2, {freePoint(500, 500)}},
                 CableData{3, {freePoint(300, 300), freePoint(300, 300)}},
                 CableData{4, {freePoint(0, 2), freePoint(100, 2)}}});
        const CableGeometry geometry(project, ViewTransform{zoom, {}}, {}, {});
        QCOMPARE(geometry.segmentAt(pointer).value_or(-1), expected);
    }

    void nodeAtEdgesAndOrder_data()
    {
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<qsizetype>("expected"); // -1: none
        // Node 0 at (0,0), node 1 at (100, 40) overlapping it; zoom 0.5, pan (10, 10).
        QTest::newRow("top-left corner") << QPointF(10, 10) << qsizetype(0);
        QTest::newRow("overlap: the later node") << QPointF(70, 35) << qsizetype(1);
        QTest::newRow("bottom-right corner of node 1") << QPointF(150, 70) << qsizetype(1);
        QTest::newRow("just outside") << QPointF(150.01, 70) << qsizetype(-1);
        QTest::newRow("left of everything") << QPointF(9.99, 30) << qsizetype(-1);
    }
    void nodeAtEdgesAndOrder()
    {
        QFETCH(QPointF, pointer);
        QFETCH(qsizetype, expected);
        const ProjectData project = projectWith({node(1, 0, 0), node(2, 100, 40)});
        QCOMPARE(nodeAt(pointer, project, ViewTransform{0.5, QPointF(10, 10)}).value_or(-1),
                 expected);
    }

    void nodeHandle_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<bool>("live");
        QTest::addColumn<qsizetype>("expected");
        QTest::newRow("handle top-left corner")
            << 1.0 << 1.0 << QPointF(164, 64) << false << qsizetype(0);
        QTest::newRow("left of the handle")
            << 1.0 << 1.0 << QPointF(163.9, 70) << false << qsizetype(-1);
        QTest::newRow("16 units at zoom 0.5")
            << 0.5 << 1.0 << QPointF(74, 24) << false << qsizetype(0);
        QTest::newRow("16 units at scale 2")
            << 1.0 << 2.0 << QPointF(344, 144) << false << qsizetype(0);
        QTest::newRow("live mode has no handles")
            << 1.0 << 1.0 << QPointF(170, 70) << true << qsizetype(-1);
    }
    void nodeHandle()
    {
        QFETCH(double, zoom);
        QFETCH(double, scale);
        QFETCH(QPointF, pointer);
        QFETCH(bool, live);
        QFETCH(qsizetype, expected);
        const ProjectData project = projectWith({node(1, 0, 0, scale)});
        const auto hit = nodeHandleAt(pointer, project, ViewTransform{zoom, {}},
                                      live ? AppMode::live : AppMode::edit);
        QCOMPARE(hit.value_or(-1), expected);
    }

    void mapHandle_data()
    {
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<double>("mapScale");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<bool>("hit");
        // Map at (100, 50), image 400 x 300, zoom 1, pan (0, 0).
        QTest::newRow("handle top-left") << true << 0.5 << QPointF(284, 184) << true;
        QTest::newRow("outside") << true << 0.5 << QPointF(283, 184) << false;
        QTest::newRow("no image bytes") << false << 0.5 << QPointF(300, 200) << false;
        QTest::newRow("broken scale drawn at 1") << true << -3.0 << QPointF(495, 345) << true;
    }
    void mapHandle()
    {
        QFETCH(bool, withImage);
        QFETCH(double, mapScale);
        QFETCH(QPointF, pointer);
        QFETCH(bool, hit);
        ProjectData project;
        project.map = MapData{.scale = mapScale};
        if (withImage)
            project.map->imageData = QByteArray("not decoded here");
        QCOMPARE(mapHandleHit(pointer, project, QSizeF(400, 300), ViewTransform{}), hit);
    }
};

QTEST_GUILESS_MAIN(TestCableGeometry)
#include "tst_cable_geometry.moc"
