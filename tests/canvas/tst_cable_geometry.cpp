// SPDX-License-Identifier: GPL-3.0-or-later
// Cable point geometry, drag previews and the hit tests on points, segments, nodes and handles.

#include "canvas/cable_geometry.h"
#include "canvas/hit_test.h"

#include <QTest>

#include <cmath>
#include <numbers>

using namespace velmora;

namespace {

constexpr double pi = std::numbers::pi;

NodeData makeNode(qint64 id, double x, double y, double scale = 1.0)
{
    NodeData n;
    n.id = id;
    n.name = QStringLiteral("n%1").arg(id);
    n.type = QStringLiteral("Device");
    n.x = x;
    n.y = y;
    n.scale = scale;
    return n;
}

CablePointData nodePoint(qint64 nodeId, double angle)
{
    return CablePointData{cablePointTypeNode, 0.0, 0.0, nodeId, angle};
}

CablePointData freePoint(double x, double y)
{
    return CablePointData{cablePointTypeFree, x, y, std::nullopt, 0.0};
}

bool near(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) < 1e-9 && std::abs(a.y() - b.y()) < 1e-9;
}

} // namespace

class TestCableGeometry final : public QObject {
    Q_OBJECT
private slots:
    void anchorOnOutline_data();
    void anchorOnOutline();
    void anchorSpecialPoints_data();
    void anchorSpecialPoints();
    void screenPositionUsesTransform();
    void nodeDragPreview_data();
    void nodeDragPreview();
    void freePointPreviewFollowsFirstCableWithThatPosition();
    void pointDragPreview_data();
    void pointDragPreview();
    void pointDragPreviewWithStaleIndices();
    void pointAtRadius_data();
    void pointAtRadius();
    void pointAtPrefersEarlierCable();
    void segmentAt_data();
    void segmentAt();
    void segmentAtPrefersLaterCable();
    void nodeAtEdgesAndOrder_data();
    void nodeAtEdgesAndOrder();
    void nodeHandle_data();
    void nodeHandle();
    void mapHandle_data();
    void mapHandle();
};

void TestCableGeometry::anchorOnOutline_data()
{
    QTest::addColumn<double>("nodeX");
    QTest::addColumn<double>("nodeY");
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("angle");
    QTest::addColumn<QPointF>("expected");

    QTest::newRow("right") << 0.0 << 0.0 << 1.0 << 0.0 << QPointF(180, 40);
    QTest::newRow("down") << 0.0 << 0.0 << 1.0 << pi / 2 << QPointF(90, 80);
    QTest::newRow("diagonal hits the bottom") << 0.0 << 0.0 << 1.0 << pi / 4 << QPointF(130, 80);
    QTest::newRow("left") << 0.0 << 0.0 << 1.0 << pi << QPointF(0, 40);
    QTest::newRow("up") << 0.0 << 0.0 << 1.0 << -pi / 2 << QPointF(90, 0);
    QTest::newRow("shallow angle hits the side")
        << 0.0 << 0.0 << 1.0 << std::atan2(20.0, 90.0) << QPointF(180, 60);
    QTest::newRow("scale 2 right") << 0.0 << 0.0 << 2.0 << 0.0 << QPointF(360, 80);
    QTest::newRow("scale 2 down") << 0.0 << 0.0 << 2.0 << pi / 2 << QPointF(180, 160);
    QTest::newRow("scale 2 diagonal") << 0.0 << 0.0 << 2.0 << pi / 4 << QPointF(260, 160);
    QTest::newRow("moved node") << 100.0 << -50.0 << 1.0 << pi / 4 << QPointF(230, 30);
    QTest::newRow("NaN angle faces right") << 0.0 << 0.0 << 1.0 << std::nan("") << QPointF(180, 40);
    QTest::newRow("infinite angle faces right")
        << 0.0 << 0.0 << 1.0 << HUGE_VAL << QPointF(180, 40);
    // Scales that make no sense draw the node at scale 1 instead of producing NaN.
    QTest::newRow("scale 0") << 0.0 << 0.0 << 0.0 << pi / 2 << QPointF(90, 80);
    QTest::newRow("negative scale") << 0.0 << 0.0 << -2.0 << pi / 2 << QPointF(90, 80);
    QTest::newRow("NaN scale") << 0.0 << 0.0 << std::nan("") << 0.0 << QPointF(180, 40);
    QTest::newRow("infinite scale") << 0.0 << 0.0 << HUGE_VAL << 0.0 << QPointF(180, 40);
}

void TestCableGeometry::anchorOnOutline()
{
    QFETCH(double, nodeX);
    QFETCH(double, nodeY);
    QFETCH(double, scale);
    QFETCH(double, angle);
    QFETCH(QPointF, expected);

    ProjectData project;
    project.nodes = {makeNode(7, nodeX, nodeY, scale)};
    const QPointF p = anchorPosition(nodePoint(7, angle), project);
    QVERIFY2(near(p, expected), qPrintable(QStringLiteral("got (%1, %2)").arg(p.x()).arg(p.y())));
}

void TestCableGeometry::anchorSpecialPoints_data()
{
    QTest::addColumn<CablePointData>("point");
    QTest::addColumn<QPointF>("expected");

    QTest::newRow("free point") << freePoint(-12.5, 300) << QPointF(-12.5, 300);
    QTest::newRow("missing node") << nodePoint(99, pi / 2) << QPointF(0, 0);
    QTest::newRow("no node id") << CablePointData{cablePointTypeNode, 5, 5, std::nullopt, 0.0}
                                << QPointF(0, 0);
    QTest::newRow("unknown type positions like a node")
        << CablePointData{QStringLiteral("bend"), 5, 5, qint64(1), pi / 2} << QPointF(190, 160);
    QTest::newRow("duplicate id takes the first node") << nodePoint(2, 0.0) << QPointF(580, 40);
}

void TestCableGeometry::anchorSpecialPoints()
{
    QFETCH(CablePointData, point);
    QFETCH(QPointF, expected);

    ProjectData project;
    project.nodes = {makeNode(1, 100, 80), makeNode(2, 400, 0), makeNode(2, 0, 0)};
    QVERIFY(near(anchorPosition(point, project), expected));
}

void TestCableGeometry::screenPositionUsesTransform()
{
    ProjectData project;
    project.nodes = {makeNode(1, 0, 0)};
    const ViewTransform t{2.0, QPointF(10, -20)};
    const CableGeometry geometry(project, t, {}, {});
    QVERIFY(near(geometry.screenPosition(nodePoint(1, 0.0)), QPointF(370, 60)));
    QVERIFY(near(geometry.screenPosition(freePoint(5, 5)), QPointF(20, -10)));
}

void TestCableGeometry::nodeDragPreview_data()
{
    QTest::addColumn<QSet<qint64>>("selectedNodes");
    QTest::addColumn<QSet<qint64>>("selectedCables");
    QTest::addColumn<bool>("endOnAShifted");
    QTest::addColumn<bool>("freeShifted");

    // Cable 1: A - free (500, 500) - B.
    QTest::newRow("cable and both nodes selected")
        << QSet<qint64>{1, 2} << QSet<qint64>{1} << true << true;
    QTest::newRow("cable not selected") << QSet<qint64>{1, 2} << QSet<qint64>{} << true << false;
    QTest::newRow("one end node not selected")
        << QSet<qint64>{1} << QSet<qint64>{1} << true << false;
    QTest::newRow("nothing selected") << QSet<qint64>{} << QSet<qint64>{} << false << false;
}

void TestCableGeometry::nodeDragPreview()
{
    QFETCH(QSet<qint64>, selectedNodes);
    QFETCH(QSet<qint64>, selectedCables);
    QFETCH(bool, endOnAShifted);
    QFETCH(bool, freeShifted);

    ProjectData project;
    project.nodes = {makeNode(1, 0, 0), makeNode(2, 1000, 0)};
    project.cables = {CableData{1, {nodePoint(1, 0.0), freePoint(500, 500), nodePoint(2, pi)}}};
    GestureState gesture;
    gesture.isDragging = true;
    gesture.draggedNode = toNode(project.nodes[0]);
    gesture.nodeDragOffset = QSizeF(30, -10);
    const CableGeometry geometry(project, ViewTransform{}, gesture,
                                 SelectionSets{selectedNodes, selectedCables});

    const QPointF shift(30, -10);
    QCOMPARE(geometry.screenPosition(project.cables[0].points[0]),
             QPointF(180, 40) + (endOnAShifted ? shift : QPointF()));
    QCOMPARE(geometry.screenPosition(project.cables[0].points[1]),
             QPointF(500, 500) + (freeShifted ? shift : QPointF()));

    // Without a dragged node nothing is shifted, whatever the offset says.
    gesture.draggedNode.reset();
    const CableGeometry idle(project, ViewTransform{}, gesture,
                             SelectionSets{selectedNodes, selectedCables});
    QCOMPARE(idle.screenPosition(project.cables[0].points[1]), QPointF(500, 500));
    QCOMPARE(idle.screenPosition(project.cables[0].points[0]), QPointF(180, 40));
}

void TestCableGeometry::freePointPreviewFollowsFirstCableWithThatPosition()
{
    // Two cables share a free point position; only the first cable holding it decides.
    ProjectData project;
    project.nodes = {makeNode(1, 0, 0), makeNode(2, 1000, 0), makeNode(3, 0, 1000)};
    project.cables = {CableData{5, {nodePoint(3, 0.0), freePoint(500, 500), nodePoint(2, pi)}},
                      CableData{6, {nodePoint(1, 0.0), freePoint(500, 500), nodePoint(2, pi)}}};
    GestureState gesture;
    gesture.draggedNode = toNode(project.nodes[0]);
    gesture.nodeDragOffset = QSizeF(7, 7);

    const CableGeometry secondSelected(project, ViewTransform{}, gesture,
                                       SelectionSets{{1, 2}, {6}});
    QCOMPARE(secondSelected.screenPosition(project.cables[1].points[1]), QPointF(500, 500));

    const CableGeometry firstSelected(project, ViewTransform{}, gesture,
                                      SelectionSets{{2, 3}, {5}});
    QCOMPARE(firstSelected.screenPosition(project.cables[1].points[1]), QPointF(507, 507));

    // A selected cable without any node point never drags its free points along.
    project.cables = {CableData{9, {freePoint(1, 1), freePoint(2, 2)}}};
    const CableGeometry loose(project, ViewTransform{}, gesture, SelectionSets{{1}, {9}});
    QCOMPARE(loose.screenPosition(project.cables[0].points[0]), QPointF(1, 1));
}

void TestCableGeometry::pointDragPreview_data()
{
    QTest::addColumn<qsizetype>("pointIndex");
    QTest::addColumn<QSizeF>("offset");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QPointF>("expectedDragged");

    // Cable: A at pi/2 (screen (90, 80) at zoom 1) - free (300, 300) - B.
    QTest::newRow("node point slides to the right side")
        << qsizetype(0) << QSizeF(200, -40) << 1.0 << QPointF(180, 40);
    QTest::newRow("node point slides to the top")
        << qsizetype(0) << QSizeF(0, -500) << 1.0 << QPointF(90, 0);
    QTest::newRow("node point at zoom 2")
        << qsizetype(0) << QSizeF(400, -80) << 2.0 << QPointF(360, 80);
    QTest::newRow("free point moves by the offset")
        << qsizetype(1) << QSizeF(-20, 15) << 1.0 << QPointF(280, 315);
}

void TestCableGeometry::pointDragPreview()
{
    QFETCH(qsizetype, pointIndex);
    QFETCH(QSizeF, offset);
    QFETCH(double, zoom);
    QFETCH(QPointF, expectedDragged);

    ProjectData project;
    project.nodes = {makeNode(1, 0, 0), makeNode(2, 1000, 1000)};
    project.cables = {CableData{1, {nodePoint(1, pi / 2), freePoint(300, 300), nodePoint(2, pi)}}};
    GestureState gesture;
    gesture.isDragging = true;
    gesture.draggingCableIndex = 0;
    gesture.draggingPointIndex = pointIndex;
    gesture.draggingPointOffset = offset;
    const CableGeometry geometry(project, ViewTransform{zoom, {}}, gesture, {});

    QVERIFY(near(geometry.screenPosition(project.cables[0].points[pointIndex]), expectedDragged));
    // The far end is not touched by the preview.
    QVERIFY(near(geometry.screenPosition(project.cables[0].points[2]), QPointF(1000, 1040) * zoom));
}

void TestCableGeometry::pointDragPreviewWithStaleIndices()
{
    ProjectData project;
    project.cables = {CableData{1, {freePoint(1, 1), freePoint(2, 2)}}};
    GestureState gesture;
    gesture.draggingCableIndex = 3;
    gesture.draggingPointIndex = 0;
    gesture.draggingPointOffset = QSizeF(50, 50);
    const CableGeometry geometry(project, ViewTransform{}, gesture, {});
    QCOMPARE(geometry.screenPosition(project.cables[0].points[0]), QPointF(1, 1));
}

void TestCableGeometry::pointAtRadius_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<bool>("hit");

    // The free point (100, 100) is at screen (100, 100) * zoom.
    QTest::newRow("inside") << 1.0 << QPointF(111.9, 100) << true;
    QTest::newRow("exactly 12 away misses") << 1.0 << QPointF(112, 100) << false;
    QTest::newRow("zoom 2 widens the radius") << 2.0 << QPointF(223, 200) << true;
    QTest::newRow("zoom 0.5 narrows it") << 0.5 << QPointF(57, 50) << false;
}

void TestCableGeometry::pointAtRadius()
{
    QFETCH(double, zoom);
    QFETCH(QPointF, pointer);
    QFETCH(bool, hit);

    ProjectData project;
    project.cables = {CableData{1, {freePoint(0, 0), freePoint(100, 100)}}};
    const CableGeometry geometry(project, ViewTransform{zoom, {}}, {}, {});
    const auto ref = geometry.pointAt(pointer);
    QCOMPARE(ref.has_value(), hit);
    if (hit)
        QCOMPARE(*ref, (CablePointRef{0, 1}));
}

void TestCableGeometry::pointAtPrefersEarlierCable()
{
    ProjectData project;
    project.cables = {CableData{1, {freePoint(0, 0), freePoint(100, 0)}},
                      CableData{2, {freePoint(0, 50), freePoint(100, 2)}}};
    const CableGeometry geometry(project, ViewTransform{}, {}, {});
    QCOMPARE(geometry.pointAt(QPointF(100, 1)), (CablePointRef{0, 1}));
    QCOMPARE(geometry.pointAt(QPointF(0, 45)), (CablePointRef{1, 0}));
    QVERIFY(!geometry.pointAt(QPointF(50, 25)).has_value());
}

void TestCableGeometry::segmentAt_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<qsizetype>("expected"); // -1: none

    // Cable 0: (0,0)-(100,0)-(100,100). Cable 1: one point. Cable 2: both points at (300, 300).
    QTest::newRow("on the first segment") << 1.0 << QPointF(50, 9.9) << qsizetype(0);
    QTest::newRow("10 away misses") << 1.0 << QPointF(50, 10) << qsizetype(-1);
    QTest::newRow("past the end uses the end point") << 1.0 << QPointF(-6, -6) << qsizetype(0);
    QTest::newRow("second segment") << 1.0 << QPointF(108, 60) << qsizetype(0);
    QTest::newRow("one-point cable is skipped") << 1.0 << QPointF(500, 500) << qsizetype(-1);
    QTest::newRow("degenerate segment") << 1.0 << QPointF(305, 305) << qsizetype(2);
    QTest::newRow("zoom 2") << 2.0 << QPointF(100, 19) << qsizetype(0);
}

void TestCableGeometry::segmentAt()
{
    QFETCH(double, zoom);
    QFETCH(QPointF, pointer);
    QFETCH(qsizetype, expected);

    ProjectData project;
    project.cables = {CableData{1, {freePoint(0, 0), freePoint(100, 0), freePoint(100, 100)}},
                      CableData{2, {freePoint(500, 500)}},
                      CableData{3, {freePoint(300, 300), freePoint(300, 300)}}};
    const CableGeometry geometry(project, ViewTransform{zoom, {}}, {}, {});
    const auto hit = geometry.segmentAt(pointer);
    QCOMPARE(hit.value_or(-1), expected);
}

void TestCableGeometry::segmentAtPrefersLaterCable()
{
    ProjectData project;
    project.cables = {CableData{1, {freePoint(0, 0), freePoint(100, 0)}},
                      CableData{2, {freePoint(0, 2), freePoint(100, 2)}},
                      CableData{3, {freePoint(0, 300), freePoint(100, 300)}}};
    const CableGeometry geometry(project, ViewTransform{}, {}, {});
    QCOMPARE(geometry.segmentAt(QPointF(50, 1)).value_or(-1), qsizetype(1));
}

void TestCableGeometry::nodeAtEdgesAndOrder_data()
{
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<qsizetype>("expected"); // -1: none

    // Node 0 at (0,0), node 1 at (100, 40) overlapping it; zoom 0.5, pan (10, 10).
    QTest::newRow("top-left corner") << QPointF(10, 10) << qsizetype(0);
    QTest::newRow("bottom-right edge of node 0") << QPointF(100, 50) << qsizetype(1);
    QTest::newRow("only node 0") << QPointF(50, 20) << qsizetype(0);
    QTest::newRow("overlap: the later node") << QPointF(70, 35) << qsizetype(1);
    QTest::newRow("bottom-right corner of node 1") << QPointF(150, 70) << qsizetype(1);
    QTest::newRow("just outside") << QPointF(150.01, 70) << qsizetype(-1);
    QTest::newRow("left of everything") << QPointF(9.99, 30) << qsizetype(-1);
}

void TestCableGeometry::nodeAtEdgesAndOrder()
{
    QFETCH(QPointF, pointer);
    QFETCH(qsizetype, expected);

    ProjectData project;
    project.nodes = {makeNode(1, 0, 0), makeNode(2, 100, 40)};
    QCOMPARE(nodeAt(pointer, project, ViewTransform{0.5, QPointF(10, 10)}).value_or(-1), expected);
}

void TestCableGeometry::nodeHandle_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<bool>("live");
    QTest::addColumn<qsizetype>("expected");

    QTest::newRow("inside") << 1.0 << 1.0 << QPointF(170, 70) << false << qsizetype(0);
    QTest::newRow("handle top-left corner")
        << 1.0 << 1.0 << QPointF(164, 64) << false << qsizetype(0);
    QTest::newRow("left of the handle")
        << 1.0 << 1.0 << QPointF(163.9, 70) << false << qsizetype(-1);
    QTest::newRow("16 units at zoom 0.5") << 0.5 << 1.0 << QPointF(74, 24) << false << qsizetype(0);
    QTest::newRow("16 units at scale 2")
        << 1.0 << 2.0 << QPointF(344, 144) << false << qsizetype(0);
    QTest::newRow("live mode has no handles")
        << 1.0 << 1.0 << QPointF(170, 70) << true << qsizetype(-1);
}

void TestCableGeometry::nodeHandle()
{
    QFETCH(double, zoom);
    QFETCH(double, scale);
    QFETCH(QPointF, pointer);
    QFETCH(bool, live);
    QFETCH(qsizetype, expected);

    ProjectData project;
    project.nodes = {makeNode(1, 0, 0, scale)};
    const auto hit = nodeHandleAt(pointer, project, ViewTransform{zoom, {}},
                                  live ? AppMode::live : AppMode::edit);
    QCOMPARE(hit.value_or(-1), expected);
}

void TestCableGeometry::mapHandle_data()
{
    QTest::addColumn<bool>("withImage");
    QTest::addColumn<double>("mapScale");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<bool>("hit");

    // Map at (100, 50), image 400 x 300, zoom 1, pan (0, 0).
    QTest::newRow("corner at scale 0.5") << true << 0.5 << QPointF(300, 200) << true;
    QTest::newRow("handle top-left") << true << 0.5 << QPointF(284, 184) << true;
    QTest::newRow("outside") << true << 0.5 << QPointF(283, 184) << false;
    QTest::newRow("no image bytes") << false << 0.5 << QPointF(300, 200) << false;
    QTest::newRow("broken scale drawn at 1") << true << -3.0 << QPointF(495, 345) << true;
}

void TestCableGeometry::mapHandle()
{
    QFETCH(bool, withImage);
    QFETCH(double, mapScale);
    QFETCH(QPointF, pointer);
    QFETCH(bool, hit);

    ProjectData project;
    project.map = MapData{};
    project.map->scale = mapScale;
    if (withImage)
        project.map->imageData = QByteArray("not decoded here");
    QCOMPARE(mapHandleHit(pointer, project, QSizeF(400, 300), ViewTransform{}), hit);
}

QTEST_GUILESS_MAIN(TestCableGeometry)
#include "tst_cable_geometry.moc"
