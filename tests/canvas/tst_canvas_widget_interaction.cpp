// SPDX-License-Identifier: GPL-3.0-or-later
// The controller installed in the real canvas widget, driven with synthetic mouse and key
// events: the events reach the project, the selection, the view and the drawn gesture state.

#include "canvas/canvas_interaction_handler.h"
#include "canvas/canvas_widget.h"
#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace velmora;

namespace {

NodeData makeNode(qint64 id, double x, double y, const QString& ip = QString())
{
    NodeData n;
    n.id = id;
    n.name = QStringLiteral("node %1").arg(id);
    n.type = QStringLiteral("Device");
    n.ip = ip;
    n.x = x;
    n.y = y;
    return n;
}

struct Window {
    Window()
        : document(project()), session(&document), view(&session), canvas(&session, &view),
          handler(&canvas, &view, &session)
    {
        canvas.resize(1000, 700);
        handler.interaction()->setUrlOpener([this](const QUrl& url) { opened.append(url); });
    }

    static ProjectData project()
    {
        ProjectData p;
        p.nodes = {makeNode(1, 100, 100, QStringLiteral("127.0.0.1")), makeNode(2, 500, 100)};
        p.nextNodeId = 3;
        return p;
    }

    ProjectDocument document;
    ProjectSession session;
    ViewState view;
    CanvasWidget canvas;
    CanvasInteractionHandler handler;
    QList<QUrl> opened;
};

void dragWithMouse(QWidget* widget, QPoint from, QPoint to, bool checkMidway = false,
                   const std::function<void()>& midway = {})
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    const QPoint delta = to - from;
    for (int i = 1; i <= 10; ++i) {
        QTest::mouseMove(widget, from + delta * i / 10);
        if (checkMidway && i == 10 && midway)
            midway();
    }
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

} // namespace

class TestCanvasWidgetInteraction final : public QObject {
    Q_OBJECT
private slots:
    void dragMovesNodeOnRelease();
    void clicksAndKeysChangeSelection();
    void emptyDragPans();
    void doubleClickOpensAddress();
    void drawCableWithClicks();
    void lostReleaseEndsTheDrag_data();
    void lostReleaseEndsTheDrag();
};

void TestCanvasWidgetInteraction::dragMovesNodeOnRelease()
{
    Window w;
    dragWithMouse(&w.canvas, QPoint(150, 140), QPoint(200, 170), true, [&] {
        QCOMPARE(w.canvas.gestureState().nodeDragOffset, QSizeF(50, 30));
        QVERIFY(w.canvas.gestureState().draggedNode.has_value());
        QCOMPARE(w.session.project().nodes[0].x, 100.0);
    });
    QCOMPARE(w.session.project().nodes[0].x, 150.0);
    QCOMPARE(w.session.project().nodes[0].y, 130.0);
    QCOMPARE(w.session.project().nodes[1].x, 500.0);
    QCOMPARE(w.session.selectedNodes(), QSet<qint64>{1});
    QCOMPARE(w.session.undoStack().size(), 1);
    QVERIFY(!w.canvas.gestureState().isDragging);
    QCOMPARE(w.canvas.gestureState().nodeDragOffset, QSizeF());
}

void TestCanvasWidgetInteraction::clicksAndKeysChangeSelection()
{
    Window w;
    QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(150, 140));
    QCOMPARE(w.session.selectedNodes(), QSet<qint64>{1});
    QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::ControlModifier, QPoint(550, 140));
    QCOMPARE(w.session.selectedNodes(), (QSet<qint64>{1, 2}));
    QTest::keyClick(&w.canvas, Qt::Key_Escape);
    QVERIFY(w.session.selectedNodes().isEmpty());
    QTest::keyClick(&w.canvas, Qt::Key_A);
    QVERIFY(w.session.selectedNodes().isEmpty());
    QTest::keyClick(&w.canvas, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.session.selectedNodes(), (QSet<qint64>{1, 2}));
    QTest::keyClick(&w.canvas, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w.handler.interaction()->showSearchBar());
    QTest::keyClick(&w.canvas, Qt::Key_Escape); // closes the search only
    QVERIFY(!w.handler.interaction()->showSearchBar());
    QCOMPARE(w.session.selectedNodes(), (QSet<qint64>{1, 2}));
    QTest::keyClick(&w.canvas, Qt::Key_Delete);
    QVERIFY(w.session.project().nodes.isEmpty());
    QTest::keyClick(&w.canvas, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.session.project().nodes.size(), 2);
}

void TestCanvasWidgetInteraction::emptyDragPans()
{
    Window w;
    w.session.setSelectedNodes({2});
    dragWithMouse(&w.canvas, QPoint(300, 500), QPoint(260, 540));
    QCOMPARE(w.view.pan(), QPointF(-40, 40));
    QCOMPARE(w.view.dragStart(), QPointF(-40, 40));
    QCOMPARE(w.session.project().nodes, Window::project().nodes);
    QCOMPARE(w.session.undoStack().size(), 0);
    QCOMPARE(w.session.selectedNodes(), QSet<qint64>{2});
    // Hit tests follow the new pan: node 1 is now at screen (60, 140).
    QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(70, 150));
    QCOMPARE(w.session.selectedNodes(), QSet<qint64>{1});
}

void TestCanvasWidgetInteraction::doubleClickOpensAddress()
{
    Window w;
    QTest::mouseDClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(150, 140));
    QCOMPARE(w.opened, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1"))});
    QTest::mouseDClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(550, 140)); // no ip
    QCOMPARE(w.opened.size(), 1);
}

void TestCanvasWidgetInteraction::drawCableWithClicks()
{
    Window w;
    w.handler.interaction()->toggleCableDrawing();
    QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(270, 140));
    // A hover: a move with no button held (sent directly; the widget is not on a screen).
    QMouseEvent hover(QEvent::MouseMove, QPointF(400, 300), w.canvas.mapToGlobal(QPointF(400, 300)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&w.canvas, &hover);
    QCOMPARE(w.canvas.gestureState().cablePreviewPoint, std::optional<QPointF>(QPointF(400, 300)));
    QCOMPARE(w.canvas.gestureState().currentCable->points.size(), 1);
    QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(510, 140));
    QCOMPARE(w.session.project().cables.size(), 1);
    QCOMPARE(w.session.project().cables[0].points.size(), 3);
    QVERIFY(!w.canvas.gestureState().isDrawingCable);
    QVERIFY(!w.canvas.gestureState().currentCable);
}

void TestCanvasWidgetInteraction::lostReleaseEndsTheDrag_data()
{
    QTest::addColumn<QString>("interruption");
    QTest::newRow("context menu takes the release") << QStringLiteral("menu");
    QTest::newRow("canvas loses the focus") << QStringLiteral("focus");
    QTest::newRow("move without the button") << QStringLiteral("hover");
    QTest::newRow("next press") << QString();
}

// A left drag whose release never reaches the canvas ends as a release would: the node moves
// once, with one undo step, and the next drag on empty canvas pans.
void TestCanvasWidgetInteraction::lostReleaseEndsTheDrag()
{
    QFETCH(QString, interruption);
    Window w;
    QTest::mousePress(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(150, 140));
    for (int i = 1; i <= 5; ++i)
        QTest::mouseMove(&w.canvas, QPoint(150 + 10 * i, 140 + 6 * i));
    QVERIFY(w.canvas.gestureState().draggedNode.has_value());

    if (interruption == QStringLiteral("menu")) {
        // The menu is modal: close it as soon as it runs.
        QTimer::singleShot(0, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(200, 170),
                               w.canvas.mapToGlobal(QPoint(200, 170)));
        QApplication::sendEvent(&w.canvas, &menu);
    } else if (interruption == QStringLiteral("focus")) {
        QFocusEvent focusOut(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(&w.canvas, &focusOut);
    } else if (interruption == QStringLiteral("hover")) {
        QMouseEvent hover(QEvent::MouseMove, QPointF(210, 180),
                          w.canvas.mapToGlobal(QPointF(210, 180)), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&w.canvas, &hover);
    }
    if (!interruption.isEmpty()) {
        QVERIFY(!w.canvas.gestureState().isDragging);
        QCOMPARE(w.session.project().nodes[0].x, 150.0);
    }

    dragWithMouse(&w.canvas, QPoint(300, 500), QPoint(260, 540));
    QCOMPARE(w.session.project().nodes[0].x, 150.0);
    QCOMPARE(w.session.project().nodes[0].y, 130.0);
    QCOMPARE(w.session.undoStack().size(), 1);
    QCOMPARE(w.view.pan(), QPointF(-40, 40));
    QVERIFY(!w.canvas.gestureState().isDragging);
}

QTEST_MAIN(TestCanvasWidgetInteraction)
#include "tst_canvas_widget_interaction.moc"
