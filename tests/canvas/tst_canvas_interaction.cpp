// SPDX-License-Identifier: GPL-3.0-or-later
// The canvas controller driven with pointer positions: what ends up in the project, the
// selection, the view and the undo history.

#include "support/builders.h"

#include "canvas/canvas_interaction.h"
#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>
#include <numbers>

using namespace velmora;
using namespace velmora::test;

namespace {

constexpr double pi = std::numbers::pi;

// A window's worth of editing state around one project.
struct Rig {
    explicit Rig(ProjectData project)
        : document(std::move(project)), session(&document), view(&session),
          interaction(&session, &view)
    {
        view.setViewSize(QSizeF(1400, 900));
        interaction.setUrlOpener([this](const QUrl& url) { opened.append(url); });
    }

    const ProjectData& project() const { return session.project(); }
    // The project without its view settings, which every pan and zoom rewrites.
    ProjectData drawing() const
    {
        ProjectData p = project();
        p.viewSettings = {};
        return p;
    }
    qsizetype undoDepth() const { return session.undoStack().size(); }

    // A press, moves in steps of at most 4 units, and a release: a real pointer drag.
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        interaction.press(from);
        const QPointF delta = to - from;
        const int steps = std::max(1, int(std::ceil(std::hypot(delta.x(), delta.y()) / 4.0)));
        for (int i = 1; i <= steps; ++i)
            interaction.move(from + delta * (double(i) / steps));
        interaction.release(to, modifiers);
    }

    void click(QPointF at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        interaction.press(at);
        interaction.release(at, modifiers);
    }

    ProjectDocument document;
    ProjectSession session;
    ViewState view;
    CanvasInteraction interaction;
    QList<QUrl> opened;
};

// Two nodes far apart: A (id 1) at (0, 0) and B (id 2) at (400, 0), both 180 x 80.
ProjectData twoNodes(QList<CableData> cables = {})
{
    ProjectData p = projectWith({NodeData{.id = 1}, NodeData{.id = 2, .x = 400}}, cables);
    p.nextCableId = std::max<qint64>(p.nextCableId, 7);
    return p;
}

QByteArray pngOfSize(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestCanvasInteraction final : public QObject {
    Q_OBJECT
private slots:
    void smallMovementIsAClick()
    {
        Rig rig(twoNodes());
        rig.interaction.press(QPointF(50, 50));
        rig.interaction.move(QPointF(53, 53)); // 4.24 units: still a click
        QVERIFY(!rig.interaction.gesture().isDragging);
        rig.interaction.release(QPointF(53, 53), Qt::NoModifier);
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{1});
        QCOMPARE(rig.project(), twoNodes());

        // Five units make a drag; a drag is never also a click.
        rig.session.clearSelection();
        rig.interaction.press(QPointF(50, 50));
        rig.interaction.move(QPointF(53, 54));
        QVERIFY(rig.interaction.gesture().isDragging);
        rig.interaction.release(QPointF(53, 54), Qt::NoModifier);
        QVERIFY(!rig.interaction.gesture().isDragging);
        QCOMPARE(rig.project().nodes[0].x, 3.0);
        QCOMPARE(rig.project().nodes[0].y, 4.0);
    }

    void drawFourPointCable()
    {
        Rig rig(twoNodes());
        rig.session.setSelection({1}, {}, std::nullopt);
        rig.interaction.toggleCableDrawing();
        QVERIFY(rig.interaction.gesture().isDrawingCable);
        QVERIFY(rig.session.selectedNodes().isEmpty());

        rig.click(QPointF(300, 300)); // empty canvas first: ignored
        QVERIFY(rig.interaction.gesture().currentCable->points.isEmpty());
        rig.click(QPointF(90, 79));                     // A, just above the middle of its bottom
        rig.click(QPointF(90, 200));                    // free
        rig.drag(QPointF(490, 200), QPointF(560, 260)); // a drag start also adds a point: free
        rig.click(QPointF(420, 60));                    // B
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
        QVERIFY(!rig.interaction.gesture().currentCable);

        QCOMPARE(rig.project().cables.size(), 1);
        const CableData& cable = rig.project().cables[0];
        QCOMPARE(cable.id, 7);
        QCOMPARE(rig.project().nextCableId, 8);
        QCOMPARE(rig.undoDepth(), 1);
        // The first point faces the click: from the centre (90, 40) towards (90, 79) is straight
        // down; the last node point faces the previous point: from B's centre to (490, 200).
        QCOMPARE(cable.points, (QList<CablePointData>{nodePoint(1, pi / 2), freePoint(90, 200),
                                                      freePoint(490, 200), nodePoint(2, pi / 2)}));
        QCOMPARE(rig.view.pan(), QPointF()); // the panning part of that drag did not move the view

        rig.session.undo();
        QVERIFY(rig.project().cables.isEmpty());
        QCOMPARE(rig.project().nextCableId, 7);
    }

    // The platform reports the second of two quick clicks as a double click; while drawing it
    // places a point (here a cable from a node to itself) instead of opening the address.
    void quickSecondClickWhileDrawingAddsAPoint()
    {
        ProjectData p = twoNodes();
        p.nodes[0].ip = QStringLiteral("10.0.0.7");
        Rig rig(p);
        rig.interaction.toggleCableDrawing();
        rig.click(QPointF(170, 40));
        rig.interaction.doublePress(QPointF(10, 10));
        rig.interaction.release(QPointF(10, 10), Qt::NoModifier);
        QVERIFY(rig.opened.isEmpty());
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
        // The second point faces the first point's anchor (180, 40) seen from the centre: 0.
        QCOMPARE(rig.project().cables,
                 (QList<CableData>{{.id = 7, .points = {nodePoint(1), nodePoint(1)}}}));
    }

    void drawingIgnoresEmptyStartAndEscapeCancels()
    {
        Rig rig(twoNodes());
        QSignalSpy changed(&rig.document, &ProjectDocument::changed);
        rig.interaction.toggleCableDrawing();
        rig.click(QPointF(90, 40));
        rig.interaction.hover(QPointF(250, 250));
        QCOMPARE(rig.interaction.gesture().cablePreviewPoint,
                 std::optional<QPointF>(QPointF(250, 250)));
        rig.interaction.escape();
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
        QVERIFY(!rig.interaction.gesture().currentCable);
        QVERIFY(!rig.interaction.gesture().cablePreviewPoint);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(rig.undoDepth(), 0);

        // The button toggles: a second press cancels.
        rig.interaction.toggleCableDrawing();
        rig.interaction.toggleCableDrawing();
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
    }

    void finishedCableKeepsIdsUnique()
    {
        // The project gains a cable with the reserved id while drawing (for instance by undo
        // and a paste elsewhere): the new cable must not share it.
        Rig rig(twoNodes());
        rig.interaction.toggleCableDrawing();
        rig.click(QPointF(90, 40));
        rig.document.modify([](ProjectData& p) {
            p.cables.append(cableBetween(7, 1, 2));
            p.nextCableId = 8;
        });
        rig.click(QPointF(490, 40));
        QCOMPARE(rig.project().cables.size(), 2);
        QCOMPARE(rig.project().cables[1].id, 8);
        QCOMPARE(rig.project().nextCableId, 9);
    }

    void cableIdsRefuseToOverflow_data()
    {
        constexpr qint64 max = std::numeric_limits<qint64>::max();
        QTest::addColumn<qint64>("atStart");  // nextCableId when drawing begins
        QTest::addColumn<qint64>("atFinish"); // and when the last node is clicked
        QTest::addColumn<bool>("made");
        QTest::newRow("last identifier") << max - 1 << max - 1 << true;
        QTest::newRow("none left") << max << max << false;
        QTest::newRow("used up while drawing") << qint64(7) << max << false;
    }
    void cableIdsRefuseToOverflow()
    {
        QFETCH(qint64, atStart);
        QFETCH(qint64, atFinish);
        QFETCH(bool, made);
        ProjectData start = twoNodes();
        start.nextCableId = atStart;
        Rig rig(start);
        QSignalSpy refused(&rig.session, &ProjectSession::editRefused);
        rig.interaction.toggleCableDrawing();
        rig.click(QPointF(90, 40));
        rig.document.modify([&](ProjectData& p) { p.nextCableId = atFinish; });
        const ProjectData before = rig.project();
        rig.click(QPointF(490, 40));
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
        QCOMPARE(refused.count(), made ? 0 : 1);
        if (made) {
            QCOMPARE(rig.project().cables.last().id, atFinish);
            QCOMPARE(rig.project().nextCableId, std::numeric_limits<qint64>::max());
        } else {
            QCOMPARE(rig.project(), before);
            QCOMPARE(rig.undoDepth(), 0);
        }
    }

    void drawingEndsWhenItsNodeGoes_data()
    {
        QTest::addColumn<bool>("undoAddition");
        QTest::addColumn<qint64>("removedId");
        QTest::addColumn<bool>("drawingAfter");
        QTest::newRow("start node deleted") << false << qint64(1) << false;
        QTest::newRow("start node's addition undone") << true << qint64(3) << false;
        QTest::newRow("other node deleted") << false << qint64(2) << true;
    }
    // Finishing the cable would attach it to a missing node, or after an undo to the next node
    // that is given the same id.
    void drawingEndsWhenItsNodeGoes()
    {
        QFETCH(bool, undoAddition);
        QFETCH(qint64, removedId);
        QFETCH(bool, drawingAfter);
        ProjectData project = twoNodes();
        project.nodes.append(NodeData{.id = 4, .y = 300});
        project.nextNodeId = 5;
        Rig rig(project);
        if (undoAddition) {
            rig.session.pushUndoSnapshot();
            rig.document.modify([](ProjectData& p) {
                p.nodes.append(NodeData{.id = 3, .y = 150});
                p.nextNodeId = 4;
            });
        }
        rig.interaction.toggleCableDrawing();
        rig.click(removedId == 3 ? QPointF(90, 190) : QPointF(90, 40)); // the first point
        rig.click(QPointF(250, 250));
        QCOMPARE(rig.interaction.gesture().currentCable->points.size(), 2);
        if (undoAddition) {
            rig.session.undo();
        } else {
            rig.session.setSelection({removedId}, {}, std::nullopt);
            rig.session.deleteSelection();
        }
        QCOMPARE(rig.interaction.gesture().isDrawingCable, drawingAfter);
        QCOMPARE(rig.interaction.gesture().currentCable.has_value(), drawingAfter);

        // A click on a node afterwards stores no cable on a missing node.
        rig.click(QPointF(90, 340));
        for (const CableData& cable : rig.project().cables)
            for (const CablePointData& point : cable.points)
                QVERIFY(!point.nodeId || *point.nodeId == 1 || *point.nodeId == 4);
        QCOMPARE(rig.project().cables.size(), drawingAfter ? 1 : 0);
    }

    void dragEndPointAroundNode()
    {
        Rig rig(twoNodes({cableBetween(3, 1, 2)}));
        rig.view.setView(2.0, QPointF(100, 50));

        // B's left anchor (400, 40) is at screen (900, 130); B's centre (490, 40) at
        // (1080, 130). Dropping straight below the centre slides the point to the bottom.
        rig.interaction.press(QPointF(900, 130));
        rig.interaction.move(QPointF(910, 130)); // the first call only picks the point
        QVERIFY(rig.interaction.gesture().isPointDragActive());
        QCOMPARE(rig.interaction.gesture().draggingPointOffset, QSizeF());
        rig.interaction.move(QPointF(1000, 200));
        const QPointF preview =
            rig.interaction.cableGeometry().screenPosition(rig.project().cables[0].points[1]);
        QVERIFY(preview.y() > 130.0); // moving along the outline, not across the canvas
        rig.interaction.move(QPointF(1080, 400));
        QCOMPARE(rig.project().cables[0].points[1].anchorAngle, pi); // nothing stored yet
        rig.interaction.release(QPointF(1080, 400), Qt::NoModifier);

        const CablePointData& end = rig.project().cables[0].points[1];
        QCOMPARE(end.nodeId, std::optional<qint64>(2));
        QVERIFY(std::abs(end.anchorAngle - pi / 2) < 1e-12);
        QCOMPARE(rig.undoDepth(), 1);
        QCOMPARE(rig.session.selectedCableIds(), QSet<qint64>{3});
        QCOMPARE(rig.session.selectedCable()->id, 3);
        QVERIFY(!rig.interaction.gesture().isPointDragActive());

        // Moving B afterwards keeps the point on B's outline at that angle.
        rig.session.setSelection({2}, {}, std::nullopt);
        rig.drag(QPointF(1000, 120), QPointF(1000, 320)); // B down by 100 canvas units
        QCOMPARE(rig.project().nodes[1].y, 100.0);
        QCOMPARE(anchorPosition(rig.project().cables[0].points[1], rig.project()),
                 QPointF(490, 180));
    }

    void pointHitBeatsNodeHit()
    {
        Rig rig(
            twoNodes({CableData{3, {nodePoint(1, 0.0), freePoint(300, 200), nodePoint(2, pi)}}}));
        rig.session.setSelection({1}, {}, std::nullopt);
        // (175, 40) lies in node A and within 12 units of the cable's point on A's right edge.
        rig.drag(QPointF(175, 40), QPointF(175, 90));
        QCOMPARE(rig.project().nodes[0], twoNodes().nodes[0]);
        QVERIFY(rig.session.selectedNodes().isEmpty());
        QCOMPARE(rig.session.selectedCableIds(), QSet<qint64>{3});
        // The point slid down A's right side: from the centre (90, 40) towards (180, 90).
        const double angle = rig.project().cables[0].points[0].anchorAngle;
        QVERIFY(std::abs(angle - std::atan2(50.0, 90.0)) < 1e-12);

        // A free point is moved by the drag, in canvas units.
        rig.drag(QPointF(300, 200), QPointF(320, 170));
        QCOMPARE(rig.project().cables[0].points[1], freePoint(320, 170));
        QCOMPARE(rig.undoDepth(), 2);
    }

    void overlappingCables()
    {
        Rig rig(twoNodes({CableData{3, {freePoint(0, 300), freePoint(600, 300)}},
                          CableData{4, {freePoint(0, 302), freePoint(600, 302)}}}));
        rig.click(QPointF(300, 301)); // segments: the later cable wins
        QCOMPARE(rig.session.selectedCableIds(), QSet<qint64>{4});
        QCOMPARE(rig.session.selectedCable()->id, 4);

        rig.drag(QPointF(600, 301), QPointF(600, 401)); // points: the earlier cable wins
        QCOMPARE(rig.project().cables[0].points[1], freePoint(600, 400));
        QCOMPARE(rig.project().cables[1].points[1], freePoint(600, 302));
        QCOMPARE(rig.session.selectedCableIds(), QSet<qint64>{3});
    }

    void multiSelectionDragMovesNodesAndFreePoints()
    {
        ProjectData p =
            twoNodes({CableData{3, {nodePoint(1, 0.0), freePoint(300, 200), nodePoint(2, pi)}},
                      CableData{4, {nodePoint(5, 0.0), freePoint(300, 500)}}});
        p.nodes.append(NodeData{.id = 5, .y = 400});
        Rig rig(p);
        rig.session.setSelection({1, 2}, {3}, std::nullopt);

        // Clicking a selected node keeps the whole selection.
        rig.click(QPointF(90, 40));
        QCOMPARE(rig.session.selectedNodes(), (QSet<qint64>{1, 2}));
        QCOMPARE(rig.session.selectedCableIds(), QSet<qint64>{3});

        rig.interaction.press(QPointF(90, 40));
        rig.interaction.move(QPointF(120, 60));
        // While dragging nothing in the project moves; the preview shifts the free point.
        QCOMPARE(rig.project().nodes[0].x, 0.0);
        QCOMPARE(rig.interaction.cableGeometry().screenPosition(rig.project().cables[0].points[1]),
                 QPointF(330, 220));
        rig.interaction.release(QPointF(120, 60), Qt::NoModifier);

        QCOMPARE(rig.project().nodes[0].x, 30.0);
        QCOMPARE(rig.project().nodes[1].x, 430.0);
        QCOMPARE(rig.project().nodes[1].y, 20.0);
        QCOMPARE(rig.project().nodes[2].x, 0.0); // not selected
        QCOMPARE(rig.project().cables[0].points[1], freePoint(330, 220));
        QCOMPARE(rig.project().cables[1].points[1], freePoint(300, 500)); // cable not selected
        QCOMPARE(rig.undoDepth(), 1);
        QCOMPARE(rig.interaction.gesture().nodeDragOffset, QSizeF());
        QVERIFY(!rig.interaction.gesture().draggedNode);

        rig.session.undo();
        QCOMPARE(rig.project(), p);
    }

    void nodeDragAtZoomCommitsCanvasUnits()
    {
        Rig rig(twoNodes());
        rig.view.setView(0.5, QPointF(-40, 10));
        // B's box is at screen (160, 10)-(250, 50); grabbing an unselected node selects it
        // alone.
        rig.session.setSelection({1}, {9}, std::nullopt);
        rig.drag(QPointF(200, 30), QPointF(150, 80));
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{2});
        QVERIFY(rig.session.selectedCableIds().isEmpty());
        QCOMPARE(rig.project().nodes[1].x, 300.0);
        QCOMPARE(rig.project().nodes[1].y, 100.0);
        QCOMPARE(rig.project().nodes[0].x, 0.0);
    }

    void resizeNode_data()
    {
        QTest::addColumn<QPointF>("translation");
        QTest::addColumn<double>("expected");
        QTest::newRow("+100,+100") << QPointF(100, 100) << 1.5;
        QTest::newRow("+600,+600 hits the limit") << QPointF(600, 600) << 3.0;
        QTest::newRow("-300,-300 hits the limit") << QPointF(-300, -300) << 0.5;
        QTest::newRow("right and up cancel out") << QPointF(100, -100) << 1.0;
    }
    void resizeNode()
    {
        QFETCH(QPointF, translation);
        QFETCH(double, expected);
        Rig rig(twoNodes());
        // B is not selected and shows no handle; its corner still starts a resize.
        const QPointF corner(575, 75);
        rig.interaction.press(corner);
        rig.interaction.move(corner + QPointF(10, 10));
        // The first call only starts the resize (and records the snapshot).
        QCOMPARE(rig.undoDepth(), 1);
        QCOMPARE(rig.project().nodes[1].scale, 1.0);
        rig.interaction.move(corner + QPointF(30, 30));
        QCOMPARE(rig.project().nodes[1].scale, 1.15); // written on every later move
        rig.interaction.move(corner + translation);
        rig.interaction.release(corner + translation, Qt::NoModifier);

        QCOMPARE(rig.project().nodes[1].scale, expected);
        QCOMPARE(rig.project().nodes[1].x, 400.0);
        QVERIFY(rig.session.selectedNodes().isEmpty());
        QCOMPARE(rig.undoDepth(), 1);
        QVERIFY(!rig.interaction.gesture().isResizingNode);
        rig.session.undo();
        QCOMPARE(rig.project().nodes[1].scale, 1.0);
    }

    void resizeMap_data()
    {
        QTest::addColumn<double>("startScale");
        QTest::addColumn<QPointF>("translation");
        QTest::addColumn<double>("expected");
        QTest::newRow("-400,-400 clamps the factor -1") << 1.0 << QPointF(-400, -400) << 0.1;
        QTest::newRow("+200,+200 doubles") << 1.0 << QPointF(200, 200) << 2.0;
        QTest::newRow("upper limit") << 2.0 << QPointF(400, 400) << 5.0;
        QTest::newRow("broken stored scale starts from 1") << -2.0 << QPointF(100, 100) << 1.5;
    }
    void resizeMap()
    {
        QFETCH(double, startScale);
        QFETCH(QPointF, translation);
        QFETCH(double, expected);
        ProjectData p; // no nodes, so the node handles cannot interfere
        p.map = MapData{.imageData = pngOfSize(QSize(200, 100)), .scale = startScale};
        Rig rig(p);
        // The map at (100, 50), drawn at scale 1 when its own scale is unusable.
        const double s = startScale > 0 ? startScale : 1.0;
        const QPointF corner = QPointF(100 + 200 * s, 50 + 100 * s) - QPointF(4, 4);
        rig.drag(corner, corner + translation);
        QCOMPARE(rig.project().map->scale, expected);
        QCOMPARE(rig.undoDepth(), 1);
        rig.session.undo();
        QCOMPARE(rig.project().map->scale, startScale);

        // In live mode the same drag pans instead.
        rig.view.setAppMode(AppMode::live);
        rig.drag(corner, corner + translation);
        QCOMPARE(rig.project().map->scale, startScale);
        QCOMPARE(rig.view.pan(), translation);
    }

    void panDrag()
    {
        Rig rig(twoNodes());
        rig.view.setView(1.0, QPointF(10, 20));
        rig.session.setSelection({1}, {}, std::nullopt);
        rig.interaction.press(QPointF(300, 300));
        rig.interaction.move(QPointF(340, 280));
        QCOMPARE(rig.view.pan(), QPointF(50, 0));
        QCOMPARE(rig.view.dragStart(), QPointF(10, 20));
        rig.interaction.release(QPointF(340, 280), Qt::NoModifier);
        QCOMPARE(rig.view.dragStart(), QPointF(50, 0));
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{1}); // panning keeps the selection
        QCOMPARE(rig.drawing(), twoNodes());
        QCOMPARE(rig.undoDepth(), 0);
    }

    void clickRules_data()
    {
        QTest::addColumn<bool>("live");
        QTest::addColumn<QSet<qint64>>("nodesBefore");
        QTest::addColumn<QSet<qint64>>("cablesBefore");
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QSet<qint64>>("nodesAfter");
        QTest::addColumn<QSet<qint64>>("cablesAfter");
        QTest::addColumn<qint64>("focusedCable"); // 0: none

        const QPointF a(90, 40);
        const QPointF b(490, 40);
        const QPointF cable(300, 301); // on cable 3
        const QPointF empty(300, 600);
        const int shift = Qt::ShiftModifier;
        const int ctrl = Qt::ControlModifier;
        using S = QSet<qint64>;
        QTest::newRow("edit: plain click on a node")
            << false << S{1} << S{3} << b << 0 << S{2} << S{} << qint64(0);
        QTest::newRow("edit: shift adds, keeps cables")
            << false << S{1} << S{3} << b << shift << S{1, 2} << S{3} << qint64(0);
        QTest::newRow("edit: ctrl toggles off")
            << false << S{1, 2} << S{3} << b << ctrl << S{1} << S{3} << qint64(0);
        QTest::newRow("edit: shift wins over ctrl")
            << false << S{1, 2} << S{} << b << (shift | ctrl) << S{1, 2} << S{} << qint64(0);
        QTest::newRow("edit: selected node keeps all")
            << false << S{1, 2} << S{3} << a << 0 << S{1, 2} << S{3} << qint64(0);
        QTest::newRow("edit: cable click")
            << false << S{1} << S{} << cable << 0 << S{} << S{3} << qint64(3);
        QTest::newRow("edit: click on a selected cable keeps nodes")
            << false << S{1} << S{3} << cable << 0 << S{1} << S{3} << qint64(3);
        QTest::newRow("edit: shift adds a cable")
            << false << S{1} << S{8} << cable << shift << S{1} << S{3, 8} << qint64(3);
        QTest::newRow("edit: ctrl toggles a cable off")
            << false << S{1} << S{3, 8} << cable << ctrl << S{1} << S{8} << qint64(3);
        QTest::newRow("edit: empty clears")
            << false << S{1, 2} << S{3} << empty << 0 << S{} << S{} << qint64(0);
        QTest::newRow("live: plain click")
            << true << S{1} << S{3} << b << 0 << S{2} << S{} << qint64(0);
        QTest::newRow("live: shift adds")
            << true << S{1} << S{3} << b << shift << S{1, 2} << S{} << qint64(0);
        QTest::newRow("live: ctrl toggles")
            << true << S{1, 2} << S{} << a << ctrl << S{2} << S{} << qint64(0);
        QTest::newRow("live: cables cannot be selected")
            << true << S{1} << S{} << cable << 0 << S{} << S{} << qint64(0);
    }
    void clickRules()
    {
        QFETCH(bool, live);
        QFETCH(QSet<qint64>, nodesBefore);
        QFETCH(QSet<qint64>, cablesBefore);
        QFETCH(QPointF, at);
        QFETCH(int, modifiers);
        QFETCH(QSet<qint64>, nodesAfter);
        QFETCH(QSet<qint64>, cablesAfter);
        QFETCH(qint64, focusedCable);
        const ProjectData p = twoNodes({CableData{3, {freePoint(0, 300), freePoint(600, 300)}}});
        Rig rig(p);
        if (live)
            rig.view.setAppMode(AppMode::live);
        rig.session.setSelection(nodesBefore, cablesBefore, toCable(p.cables[0]));
        rig.click(at, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(rig.session.selectedNodes(), nodesAfter);
        QCOMPARE(rig.session.selectedCableIds(), cablesAfter);
        QCOMPARE(rig.session.selectedCable() ? rig.session.selectedCable()->id : 0, focusedCable);
    }

    void liveModeOnlyPans()
    {
        const ProjectData p =
            twoNodes({CableData{3, {nodePoint(1, 0.0), freePoint(300, 200), nodePoint(2, pi)}}});
        Rig rig(p);
        rig.view.setAppMode(AppMode::live);
        rig.session.setSelection({1}, {}, std::nullopt);
        rig.drag(QPointF(90, 40), QPointF(150, 90));    // on a selected node
        rig.drag(QPointF(175, 75), QPointF(275, 175));  // on its resize corner
        rig.drag(QPointF(300, 200), QPointF(310, 260)); // on a free cable point
        QCOMPARE(rig.drawing(), p);
        QCOMPARE(rig.undoDepth(), 0);
        QCOMPARE(rig.view.pan(), QPointF(60 + 100 + 10, 50 + 100 + 60));
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{1});
    }

    void escapeOrder()
    {
        Rig rig(twoNodes());
        rig.session.setSearchText(QStringLiteral("node"));
        rig.interaction.setShowSearchBar(true);
        rig.interaction.toggleCableDrawing();
        rig.session.setSelection({2}, {}, std::nullopt);

        rig.interaction.escape(); // the search bar first
        QVERIFY(!rig.interaction.showSearchBar());
        QVERIFY(rig.session.searchText().isEmpty());
        QVERIFY(rig.interaction.gesture().isDrawingCable);
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{2});

        rig.interaction.escape(); // then cable drawing
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{2});

        rig.interaction.escape(); // then the selection
        QVERIFY(rig.session.selectedNodes().isEmpty());
    }

    void doubleClickOpensAddress_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("expected"); // empty: nothing opened
        QTest::newRow("address") << QStringLiteral("10.0.0.7") << QStringLiteral("http://10.0.0.7");
        QTest::newRow("host and port")
            << QStringLiteral("printer.lan:8080") << QStringLiteral("http://printer.lan:8080");
        QTest::newRow("empty address") << QString() << QString();
        QTest::newRow("blank inside") << QStringLiteral("10.0 .0.7") << QString();
    }
    void doubleClickOpensAddress()
    {
        QFETCH(QString, ip);
        QFETCH(QString, expected);
        const ProjectData p = projectWith({NodeData{.id = 1, .ip = ip}});
        Rig rig(p);
        rig.view.setAppMode(AppMode::live); // works in both modes
        rig.click(QPointF(50, 50));
        rig.interaction.doublePress(QPointF(50, 50));
        rig.interaction.release(QPointF(50, 50), Qt::NoModifier);
        rig.interaction.doubleClick(QPointF(500, 500)); // empty canvas: nothing
        QCOMPARE(rig.opened, expected.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(expected)});
        QCOMPARE(rig.project(), p);
    }

    void searchZoomToSelectsMatches()
    {
        ProjectData p = twoNodes({cableBetween(3, 1, 2)});
        p.nodes[0].name = QStringLiteral("core-router");
        p.nodes[1].type = QStringLiteral("Switch");
        Rig rig(p);
        rig.session.setSelection({2}, {3}, toCable(p.cables[0]));

        rig.session.setSearchText(QStringLiteral("nothing like it"));
        rig.interaction.zoomToSearchResults();
        rig.interaction.selectSearchResults();
        QVERIFY(!rig.view.isAnimatingView());
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{2});
        QCOMPARE(rig.session.selectedCable()->id, 3);

        rig.session.setSearchText(QStringLiteral("ROUT"));
        rig.interaction.zoomToSearchResults();
        QVERIFY(rig.view.isAnimatingView());
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{1});
        QVERIFY(rig.session.selectedCableIds().isEmpty());
        QVERIFY(!rig.session.selectedCable());

        // Closing the search keeps the selection it made.
        rig.interaction.setShowSearchBar(true);
        rig.interaction.escape();
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{1});
    }
};

QTEST_GUILESS_MAIN(TestCanvasInteraction)
#include "tst_canvas_interaction.moc"
