// SPDX-License-Identifier: GPL-3.0-or-later
// The real canvas widget driven with synthetic mouse events: they reach the project, the
// selection, the view and the drawn gesture state; a drag whose release never comes ends.

#include "support/builders.h"

#include "canvas/canvas_interaction.h"
#include "canvas/canvas_widget.h"
#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

using namespace velmora;
using namespace velmora::test;

namespace {

ProjectData twoNodes()
{
    return projectWith({NodeData{.id = 1, .ip = QStringLiteral("127.0.0.1"), .x = 100, .y = 100},
                        NodeData{.id = 2, .x = 500, .y = 100}});
}

struct Window {
    Window() : document(twoNodes()), session(&document), view(&session), canvas(&session, &view)
    {
        canvas.resize(1000, 700);
        canvas.interaction()->setUrlOpener([this](const QUrl& url) { opened.append(url); });
    }
    const GestureState& gesture() const { return canvas.interaction()->gesture(); }
    const NodeData& firstNode() const { return session.project().nodes[0]; }
    // A move with no button held (sent directly; the widget is not on a screen).
    void hover(QPointF at)
    {
        QMouseEvent event(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&canvas, &event);
    }
    void drag(QPoint from, QPoint to, const std::function<void()>& beforeRelease = {})
    {
        QTest::mousePress(&canvas, Qt::LeftButton, Qt::NoModifier, from);
        for (int i = 1; i <= 10; ++i)
            QTest::mouseMove(&canvas, from + (to - from) * i / 10);
        if (beforeRelease)
            beforeRelease();
        QTest::mouseRelease(&canvas, Qt::LeftButton, Qt::NoModifier, to);
    }

    ProjectDocument document;
    ProjectSession session;
    ViewState view;
    CanvasWidget canvas;
    QList<QUrl> opened;
};

} // namespace

class TestCanvasWidgetInteraction final : public QObject {
    Q_OBJECT
private slots:
    void dragMovesNodeOnRelease()
    {
        Window w;
        w.drag(QPoint(150, 140), QPoint(200, 170), [&] {
            QCOMPARE(w.gesture().nodeDragOffset, QSizeF(50, 30));
            QCOMPARE(w.firstNode().x, 100.0);
        });
        QCOMPARE(w.firstNode().x, 150.0);
        QCOMPARE(w.firstNode().y, 130.0);
        QCOMPARE(w.session.project().nodes[1].x, 500.0);
        QCOMPARE(w.session.selectedNodes(), QSet<qint64>{1});
        QCOMPARE(w.session.undoStack().size(), 1);
        QVERIFY(!w.gesture().isDragging);
    }

    void clicksSelectAndEmptyDragPans()
    {
        Window w;
        QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(150, 140));
        QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::ControlModifier, QPoint(550, 140));
        QCOMPARE(w.session.selectedNodes(), (QSet<qint64>{1, 2}));
        w.drag(QPoint(300, 500), QPoint(260, 540));
        QCOMPARE(w.view.pan(), QPointF(-40, 40));
        QCOMPARE(w.view.dragStart(), QPointF(-40, 40));
        QCOMPARE(w.session.project().nodes, twoNodes().nodes);
        QCOMPARE(w.session.selectedNodes(), (QSet<qint64>{1, 2}));
        // Hit tests follow the new pan: node 2 is now at screen (460, 140).
        QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::ControlModifier, QPoint(470, 150));
        QCOMPARE(w.session.selectedNodes(), QSet<qint64>{1});
    }

    void doubleClickOpensAddress()
    {
        Window w;
        QTest::mouseDClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(150, 140));
        QTest::mouseDClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(550, 140)); // no ip
        QCOMPARE(w.opened, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1"))});
    }

    void drawCableWithClicks()
    {
        Window w;
        w.canvas.interaction()->toggleCableDrawing();
        QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(270, 140));
        w.hover(QPointF(400, 300));
        QCOMPARE(w.gesture().cablePreviewPoint, std::optional<QPointF>(QPointF(400, 300)));
        QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
        QTest::mouseClick(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(510, 140));
        QCOMPARE(w.session.project().cables.size(), 1);
        QCOMPARE(w.session.project().cables[0].points.size(), 3);
        QVERIFY(!w.gesture().isDrawingCable);
    }

    void lostReleaseEndsTheDrag_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::newRow("context menu takes the release") << QStringLiteral("menu");
        QTest::newRow("canvas loses the focus") << QStringLiteral("focus");
        QTest::newRow("move without the button") << QStringLiteral("hover");
        QTest::newRow("next press") << QString();
    }
    // A left drag whose release never reaches the canvas ends as a release would: the node
    // moves once, with one undo step, and the next drag on empty canvas pans.
    void lostReleaseEndsTheDrag()
    {
        QFETCH(QString, interruption);
        Window w;
        QTest::mousePress(&w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(150, 140));
        for (int i = 1; i <= 5; ++i)
            QTest::mouseMove(&w.canvas, QPoint(150 + 10 * i, 140 + 6 * i));
        QVERIFY(w.gesture().draggedNode.has_value());

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
            w.hover(QPointF(210, 180));
        }
        if (!interruption.isEmpty()) {
            QVERIFY(!w.gesture().isDragging);
            QCOMPARE(w.firstNode().x, 150.0);
        }

        w.drag(QPoint(300, 500), QPoint(260, 540));
        QCOMPARE(w.firstNode().x, 150.0);
        QCOMPARE(w.firstNode().y, 130.0);
        QCOMPARE(w.session.undoStack().size(), 1);
        QCOMPARE(w.view.pan(), QPointF(-40, 40));
        QVERIFY(!w.gesture().isDragging);
    }
};

QTEST_MAIN(TestCanvasWidgetInteraction)
#include "tst_canvas_widget_interaction.moc"
