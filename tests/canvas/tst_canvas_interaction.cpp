// SPDX-License-Identifier: GPL-3.0-or-later
// The canvas widget and its controller driven with synthetic mouse events: what ends up in the
// project, the selection, the view and the undo history, and how a gesture whose release never
// comes ends.

#include "support/builders.h"
#include "support/pixels.h"

#include "canvas/canvas_interaction.h"
#include "canvas/canvas_widget.h"
#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <limits>
#include <numbers>

using namespace velmora;
using namespace velmora::test;
using namespace Qt::StringLiterals;

namespace {

constexpr double pi = std::numbers::pi;

// A window's worth of editing state around one project, with the canvas (not on a screen).
struct Rig {
    explicit Rig(ProjectData project)
        : document(std::move(project)), session(&document), view(&session), canvas(&session, &view),
          interaction(*canvas.interaction())
    {
        canvas.resize(1400, 900);
        interaction.setUrlOpener([this](const QUrl& url) { opened.append(url); });
    }

    const ProjectData& project() const { return session.project(); }
    qsizetype undoDepth() const { return session.undoStack().size(); }

    void press(QPoint at) { QTest::mousePress(&canvas, Qt::LeftButton, {}, at); }
    void move(QPoint to) { QTest::mouseMove(&canvas, to); }
    void release(QPoint at) { QTest::mouseRelease(&canvas, Qt::LeftButton, {}, at); }
    // A press, moves in steps of at most 4 units, and a release: a real pointer drag.
    void drag(QPoint from, QPoint to)
    {
        press(from);
        const QPointF delta = to - from;
        const int steps = std::max(1, int(std::ceil(std::hypot(delta.x(), delta.y()) / 4.0)));
        for (int i = 1; i <= steps; ++i)
            move((from + delta * (double(i) / steps)).toPoint());
        release(to);
    }
    void click(QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(&canvas, Qt::LeftButton, modifiers, at);
    }
    // The second press of a double click, and its release.
    void doubleClick(QPoint at)
    {
        QTest::mouseDClick(&canvas, Qt::LeftButton, {}, at);
        release(at);
    }
    // A move with no button held (sent directly: the widget is not on a screen).
    void hover(QPoint at)
    {
        QMouseEvent event(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&canvas, &event);
    }

    ProjectDocument document;
    ProjectSession session;
    ViewState view;
    CanvasWidget canvas;
    CanvasInteraction& interaction;
    QList<QUrl> opened;
};

// Two nodes far apart: A (id 1) at (0, 0) and B (id 2) at (400, 0), both 180 x 80.
// The regions of the paint events a widget receives.
struct PaintRegions final : QObject {
    QList<QRegion> seen;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            seen.append(static_cast<QPaintEvent*>(event)->region());
        return false;
    }
};

ProjectData twoNodes(QList<CableData> cables = {})
{
    ProjectData p = projectWith({NodeData{.id = 1}, NodeData{.id = 2, .x = 400}}, cables);
    p.nextCableId = std::max<qint64>(p.nextCableId, 7);
    return p;
}

} // namespace

class TestCanvasInteraction final : public QObject {
    Q_OBJECT
private slots:
    void smallMovementIsAClick()
    {
        Rig rig(twoNodes());
        rig.press(QPoint(50, 50));
        rig.move(QPoint(53, 53)); // 4.24 units: still a click
        QVERIFY(!rig.interaction.gesture().isDragging);
        rig.release(QPoint(53, 53));
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{1});
        QCOMPARE(rig.project(), twoNodes());

        // Five units make a drag; a drag is never also a click.
        rig.session.clearSelection();
        rig.press(QPoint(50, 50));
        rig.move(QPoint(53, 54));
        QVERIFY(rig.interaction.gesture().isDragging);
        rig.release(QPoint(53, 54));
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

        rig.click(QPoint(300, 300)); // empty canvas first: ignored
        QVERIFY(rig.interaction.gesture().currentCable->points.isEmpty());
        rig.click(QPoint(90, 79));                    // A, just above the middle of its bottom
        rig.click(QPoint(90, 200));                   // free
        rig.drag(QPoint(490, 200), QPoint(560, 260)); // a drag start also adds a point: free
        rig.click(QPoint(420, 60));                   // B
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
        rig.click(QPoint(170, 40));
        rig.doubleClick(QPoint(10, 10));
        QVERIFY(rig.opened.isEmpty());
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
        // The second point faces the first point's anchor (180, 40) seen from the centre: 0.
        QCOMPARE(rig.project().cables,
                 (QList<CableData>{{.id = 7, .points = {nodePoint(1), nodePoint(1)}}}));
    }

    void finishedCableTakesAFreeIdentifier_data()
    {
        constexpr qint64 max = std::numeric_limits<qint64>::max();
        QTest::addColumn<qint64>("atStart");  // nextCableId when drawing begins
        QTest::addColumn<bool>("taken");      // meanwhile a cable 7 appears (undo, paste)
        QTest::addColumn<qint64>("atFinish"); // nextCableId when the last node is clicked
        QTest::addColumn<qint64>("madeId");   // 0: none made
        QTest::addColumn<qint64>("next");
        QTest::newRow("reserved id taken meanwhile")
            << qint64(7) << true << qint64(8) << qint64(8) << qint64(9);
        QTest::newRow("last identifier") << max - 1 << false << max - 1 << max - 1 << max;
        QTest::newRow("none left") << max << false << max << qint64(0) << max;
        QTest::newRow("used up while drawing") << qint64(7) << false << max << qint64(0) << max;
    }
    void finishedCableTakesAFreeIdentifier()
    {
        QFETCH(qint64, atStart);
        QFETCH(bool, taken);
        QFETCH(qint64, atFinish);
        QFETCH(qint64, madeId);
        QFETCH(qint64, next);
        ProjectData start = twoNodes();
        start.nextCableId = atStart;
        Rig rig(start);
        QSignalSpy refused(&rig.session, &ProjectSession::editRefused);
        rig.interaction.toggleCableDrawing();
        rig.click(QPoint(90, 40));
        rig.document.modify([&](ProjectData& p) {
            if (taken)
                p.cables.append(cableBetween(7, 1, 2));
            p.nextCableId = atFinish;
        });
        const ProjectData before = rig.project();
        rig.click(QPoint(490, 40));
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
        QCOMPARE(refused.count(), madeId ? 0 : 1);
        QCOMPARE(rig.project().nextCableId, next);
        if (madeId)
            QCOMPARE(rig.project().cables.last().id, madeId);
        else
            QCOMPARE(rig.project(), before);
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
    // Finishing it would attach the cable to a missing node (or to one given that id later).
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
        rig.click(removedId == 3 ? QPoint(90, 190) : QPoint(90, 40)); // the first point
        rig.click(QPoint(250, 250));
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
        rig.click(QPoint(90, 340));
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
        rig.press(QPoint(900, 130));
        rig.move(QPoint(910, 130)); // the first call only picks the point
        QVERIFY(rig.interaction.gesture().isPointDragActive());
        QCOMPARE(rig.interaction.gesture().draggingPointOffset, QSizeF());
        rig.move(QPoint(1000, 200));
        const QPointF preview =
            rig.interaction.cableGeometry().screenPosition(rig.project().cables[0].points[1]);
        QVERIFY(preview.y() > 130.0); // moving along the outline, not across the canvas
        rig.move(QPoint(1080, 400));
        QCOMPARE(rig.project().cables[0].points[1].anchorAngle, pi); // nothing stored yet
        rig.release(QPoint(1080, 400));

        const CablePointData& end = rig.project().cables[0].points[1];
        QCOMPARE(end.nodeId, std::optional<qint64>(2));
        QVERIFY(std::abs(end.anchorAngle - pi / 2) < 1e-12);
        QCOMPARE(rig.undoDepth(), 1);
        QCOMPARE(rig.session.selectedCableIds(), QSet<qint64>{3});
        QCOMPARE(rig.session.selectedCable()->id, 3);
        QVERIFY(!rig.interaction.gesture().isPointDragActive());

        // Moving B afterwards keeps the point on B's outline at that angle.
        rig.session.setSelection({2}, {}, std::nullopt);
        rig.drag(QPoint(1000, 120), QPoint(1000, 320)); // B down by 100 canvas units
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
        rig.drag(QPoint(175, 40), QPoint(175, 90));
        QCOMPARE(rig.project().nodes[0], twoNodes().nodes[0]);
        QVERIFY(rig.session.selectedNodes().isEmpty());
        QCOMPARE(rig.session.selectedCableIds(), QSet<qint64>{3});
        // The point slid down A's right side: from the centre (90, 40) towards (180, 90).
        const double angle = rig.project().cables[0].points[0].anchorAngle;
        QVERIFY(std::abs(angle - std::atan2(50.0, 90.0)) < 1e-12);

        // A free point is moved by the drag, in canvas units.
        rig.drag(QPoint(300, 200), QPoint(320, 170));
        QCOMPARE(rig.project().cables[0].points[1], freePoint(320, 170));
        QCOMPARE(rig.undoDepth(), 2);
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
        rig.click(QPoint(90, 40));
        QCOMPARE(rig.session.selectedNodes(), (QSet<qint64>{1, 2}));
        QCOMPARE(rig.session.selectedCableIds(), QSet<qint64>{3});

        rig.press(QPoint(90, 40));
        rig.move(QPoint(120, 60));
        // While dragging nothing in the project moves; the preview shifts the free point.
        QCOMPARE(rig.project().nodes[0].x, 0.0);
        QCOMPARE(rig.interaction.cableGeometry().screenPosition(rig.project().cables[0].points[1]),
                 QPointF(330, 220));
        rig.release(QPoint(120, 60));

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
        // B is at screen (160, 10)-(250, 50); grabbed while unselected, it is selected alone.
        rig.session.setSelection({1}, {9}, std::nullopt);
        rig.drag(QPoint(200, 30), QPoint(150, 80));
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{2});
        QVERIFY(rig.session.selectedCableIds().isEmpty());
        QCOMPARE(rig.project().nodes[1].x, 300.0);
        QCOMPARE(rig.project().nodes[1].y, 100.0);
        QCOMPARE(rig.project().nodes[0].x, 0.0);
    }

    void resize_data()
    {
        QTest::addColumn<bool>("map");
        QTest::addColumn<double>("startScale");
        QTest::addColumn<QPoint>("translation");
        QTest::addColumn<double>("expected");
        QTest::newRow("node +100,+100") << false << 1.0 << QPoint(100, 100) << 1.5;
        QTest::newRow("node upper limit") << false << 1.0 << QPoint(600, 600) << 3.0;
        QTest::newRow("node lower limit") << false << 1.0 << QPoint(-300, -300) << 0.5;
        QTest::newRow("right and up cancel out") << false << 1.0 << QPoint(100, -100) << 1.0;
        QTest::newRow("map -400,-400 clamps the factor -1")
            << true << 1.0 << QPoint(-400, -400) << 0.1;
        QTest::newRow("map +200,+200 doubles") << true << 1.0 << QPoint(200, 200) << 2.0;
        QTest::newRow("map upper limit") << true << 2.0 << QPoint(400, 400) << 5.0;
        QTest::newRow("broken map scale starts from 1") << true << -2.0 << QPoint(100, 100) << 1.5;
    }
    // The bottom-right corner of node B (not selected, so it shows no handle) or of the map,
    // dragged: one undo step, taken before the first change; in live mode the drag pans.
    void resize()
    {
        QFETCH(bool, map);
        QFETCH(double, startScale);
        QFETCH(QPoint, translation);
        QFETCH(double, expected);
        ProjectData p = twoNodes();
        if (map) // no nodes, so their handles cannot interfere; the image is 200 x 100
            p = {.map = MapData{.imageData = pngOf(QImage(200, 100, QImage::Format_RGB32)),
                                .scale = startScale}};
        Rig rig(p);
        const auto scale = [&] {
            return map ? rig.project().map->scale : rig.project().nodes[1].scale;
        };
        // The map at (100, 50), drawn at scale 1 when its own scale is unusable.
        const double s = startScale > 0 ? startScale : 1.0;
        const QPoint corner =
            map ? QPointF(100 + 200 * s, 50 + 100 * s).toPoint() - QPoint(4, 4) : QPoint(575, 75);
        rig.press(corner);
        rig.move(corner + QPoint(10, 10)); // the first call only starts the resize
        QCOMPARE(rig.undoDepth(), 1);
        QCOMPARE(scale(), startScale);
        rig.move(corner + QPoint(30, 30));
        QVERIFY(scale() > s); // written on every later move
        rig.move(corner + translation);
        rig.release(corner + translation);
        QCOMPARE(scale(), expected);
        QCOMPARE(rig.undoDepth(), 1);
        QVERIFY(rig.session.selectedNodes().isEmpty());
        rig.session.undo();
        QCOMPARE(scale(), startScale);

        rig.view.setAppMode(AppMode::live);
        rig.drag(corner, corner + translation);
        QCOMPARE(scale(), startScale);
        QCOMPARE(rig.view.pan(), QPointF(translation));
    }

    void panDrag()
    {
        Rig rig(twoNodes());
        rig.view.setView(1.0, QPointF(10, 20));
        rig.session.setSelection({1}, {}, std::nullopt);
        rig.press(QPoint(300, 300));
        rig.move(QPoint(340, 280));
        QCOMPARE(rig.view.pan(), QPointF(50, 0));
        QCOMPARE(rig.view.dragStart(), QPointF(10, 20));
        rig.release(QPoint(340, 280));
        QCOMPARE(rig.view.dragStart(), QPointF(50, 0));
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{1}); // panning keeps the selection
        QCOMPARE(rig.project().nodes, twoNodes().nodes);
        QCOMPARE(rig.project().viewSettings.panX, 50.0); // saved with the project, without undo
        QCOMPARE(rig.undoDepth(), 0);
    }

    void clickRules_data()
    {
        QTest::addColumn<bool>("live");
        QTest::addColumn<QSet<qint64>>("nodesBefore");
        QTest::addColumn<QSet<qint64>>("cablesBefore");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QSet<qint64>>("nodesAfter");
        QTest::addColumn<QSet<qint64>>("cablesAfter");
        QTest::addColumn<qint64>("focusedCable"); // 0: none

        const QPoint a(90, 40);
        const QPoint b(490, 40);
        const QPoint cable(300, 301); // on cable 3
        const QPoint empty(300, 600);
        const int shift = Qt::ShiftModifier;
        const int ctrl = Qt::ControlModifier;
        using S = QSet<qint64>;
        const auto row = [](const char* name, bool live, S nodes, S cables, QPoint at, int keys,
                            S nodesAfter, S cablesAfter, qint64 focused) {
            QTest::newRow(name) << live << nodes << cables << at << keys << nodesAfter
                                << cablesAfter << focused;
        };
        row("edit: plain click on a node", false, S{1}, S{3}, b, 0, S{2}, S{}, 0);
        row("edit: shift adds, keeps cables", false, S{1}, S{3}, b, shift, S{1, 2}, S{3}, 0);
        row("edit: ctrl toggles off", false, S{1, 2}, S{3}, b, ctrl, S{1}, S{3}, 0);
        row("edit: shift wins over ctrl", false, S{1, 2}, S{}, b, (shift | ctrl), S{1, 2}, S{}, 0);
        row("edit: selected node keeps all", false, S{1, 2}, S{3}, a, 0, S{1, 2}, S{3}, 0);
        row("edit: cable click", false, S{1}, S{}, cable, 0, S{}, S{3}, 3);
        row("edit: selected cable keeps nodes", false, S{1}, S{3}, cable, 0, S{1}, S{3}, 3);
        row("edit: shift adds a cable", false, S{1}, S{8}, cable, shift, S{1}, S{3, 8}, 3);
        row("edit: ctrl toggles a cable off", false, S{1}, S{3, 8}, cable, ctrl, S{1}, S{8}, 3);
        row("edit: empty clears", false, S{1, 2}, S{3}, empty, 0, S{}, S{}, 0);
        row("live: plain click", true, S{1}, S{3}, b, 0, S{2}, S{}, 0);
        row("live: shift adds", true, S{1}, S{3}, b, shift, S{1, 2}, S{}, 0);
        row("live: ctrl toggles", true, S{1, 2}, S{}, a, ctrl, S{2}, S{}, 0);
        row("live: cables cannot be selected", true, S{1}, S{}, cable, 0, S{}, S{}, 0);
    }

    void clickRules()
    {
        QFETCH(bool, live);
        QFETCH(QSet<qint64>, nodesBefore);
        QFETCH(QSet<qint64>, cablesBefore);
        QFETCH(QPoint, at);
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
        rig.drag(QPoint(90, 40), QPoint(150, 90));    // on a selected node
        rig.drag(QPoint(175, 75), QPoint(275, 175));  // on its resize corner
        rig.drag(QPoint(300, 200), QPoint(310, 260)); // on a free cable point
        QCOMPARE(rig.project().nodes, p.nodes);
        QCOMPARE(rig.project().cables, p.cables);
        QCOMPARE(rig.undoDepth(), 0);
        QCOMPARE(rig.view.pan(), QPointF(60 + 100 + 10, 50 + 100 + 60));
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{1});
    }

    // Escape closes the search bar first, then cancels cable drawing, then clears the selection.
    void escapeOrder()
    {
        Rig rig(twoNodes());
        QSignalSpy changed(&rig.document, &ProjectDocument::changed);
        rig.session.setSearchText(QStringLiteral("node"));
        rig.interaction.setShowSearchBar(true);
        rig.interaction.toggleCableDrawing();
        rig.session.setSelection({2}, {}, std::nullopt);
        rig.click(QPoint(90, 40));
        rig.hover(QPoint(250, 250));
        QCOMPARE(rig.interaction.gesture().cablePreviewPoint,
                 std::optional<QPointF>(QPointF(250, 250)));

        rig.interaction.escape();
        QVERIFY(!rig.interaction.showSearchBar());
        QVERIFY(rig.session.searchText().isEmpty());
        QVERIFY(rig.interaction.gesture().isDrawingCable);

        rig.interaction.escape();
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
        QVERIFY(!rig.interaction.gesture().currentCable);
        QVERIFY(!rig.interaction.gesture().cablePreviewPoint);
        QCOMPARE(rig.session.selectedNodes(), QSet<qint64>{2});
        QCOMPARE(changed.count(), 0);

        rig.interaction.escape();
        QVERIFY(rig.session.selectedNodes().isEmpty());
        // The button toggles: a second press cancels.
        rig.interaction.toggleCableDrawing();
        rig.interaction.toggleCableDrawing();
        QVERIFY(!rig.interaction.gesture().isDrawingCable);
    }

    void doubleClickOpensAddress_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("expected"); // empty: nothing opened
        QTest::newRow("address") << QStringLiteral("10.0.0.7") << QStringLiteral("http://10.0.0.7");
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
        rig.click(QPoint(50, 50));
        rig.doubleClick(QPoint(50, 50));
        rig.interaction.doubleClick(QPoint(500, 500)); // empty canvas: nothing
        QCOMPARE(rig.opened, expected.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(expected)});
        QCOMPARE(rig.project(), p);
    }

    // The pulse of the live glow: +0.1 a tick, back to 0 (not wrapped) once past 2 pi.
    void pulsePhase()
    {
        Rig rig(twoNodes());
        for (int tick = 0; tick < 62; ++tick)
            rig.canvas.advancePulse();
        QVERIFY(std::abs(rig.canvas.pulsePhase() - 6.2) < 1e-9); // 6.2 is still below 2 pi
        rig.canvas.advancePulse();
        QCOMPARE(rig.canvas.pulsePhase(), 0.0);
    }

    // A pulse tick repaints around the glows that breathe, not the whole canvas.
    void pulseRepaintsBreathingGlowsOnly()
    {
        Rig rig(projectWith(
            {NodeData{.id = 1, .type = u"R"_s}, NodeData{.id = 2, .type = u"R"_s, .x = 400}}));
        rig.session.ensureTypeColors();
        rig.session.showAllTypes();
        rig.view.setContentReady(true);
        rig.view.setAppMode(AppMode::live);
        rig.canvas.setNodeStatuses({{1, PingStatus::online}, {2, PingStatus::offline}});
        rig.canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.canvas));
        QTest::qWait(20);
        PaintRegions paints;
        rig.canvas.installEventFilter(&paints);
        rig.canvas.advancePulse();
        QTRY_VERIFY(!paints.seen.isEmpty());
        QVERIFY(paints.seen.constLast().contains(QPoint(90, 40)));   // the online node
        QVERIFY(!paints.seen.constLast().contains(QPoint(490, 40))); // the steady offline one
    }

    void lostReleaseEndsTheDrag_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::newRow("context menu takes the release") << QStringLiteral("menu");
        QTest::newRow("canvas loses the focus") << QStringLiteral("focus");
        QTest::newRow("move without the button") << QStringLiteral("hover");
        QTest::newRow("next press") << QString();
    }
    // A drag whose release never reaches the canvas ends as a release would: the node moves
    // once, with one undo step, and the next drag on empty canvas pans.
    void lostReleaseEndsTheDrag()
    {
        QFETCH(QString, interruption);
        Rig rig(twoNodes());
        rig.press(QPoint(50, 40));
        for (int i = 1; i <= 5; ++i)
            rig.move(QPoint(50 + 10 * i, 40 + 6 * i));
        QVERIFY(rig.interaction.gesture().draggedNode.has_value());
        if (interruption == QStringLiteral("menu")) {
            // The menu is modal: close it as soon as it runs.
            QTimer::singleShot(0, [] {
                if (QWidget* popup = QApplication::activePopupWidget())
                    popup->close();
            });
            QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(100, 70),
                                   rig.canvas.mapToGlobal(QPoint(100, 70)));
            QApplication::sendEvent(&rig.canvas, &menu);
        } else if (interruption == QStringLiteral("focus")) {
            QFocusEvent focusOut(QEvent::FocusOut, Qt::PopupFocusReason);
            QApplication::sendEvent(&rig.canvas, &focusOut);
        } else if (interruption == QStringLiteral("hover")) {
            rig.hover(QPoint(110, 80));
        }
        if (!interruption.isEmpty()) {
            QVERIFY(!rig.interaction.gesture().isDragging);
            QCOMPARE(rig.project().nodes[0].x, 50.0);
        }
        rig.drag(QPoint(300, 500), QPoint(260, 540));
        QCOMPARE(rig.project().nodes[0].x, 50.0);
        QCOMPARE(rig.project().nodes[0].y, 30.0);
        QCOMPARE(rig.undoDepth(), 1);
        QCOMPARE(rig.view.pan(), QPointF(-40, 40));
    }
};

QTEST_MAIN(TestCanvasInteraction)
#include "tst_canvas_interaction.moc"
