// SPDX-License-Identifier: GPL-3.0-or-later
// The view state: zoom commands and pinch with their limits, the view animation (no-op
// threshold, ease-out, replacement mid-way), framing with and without content ready, the
// start-up rule, the stored view settings and the reset request.

#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

#include <cmath>

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
        QTest::newRow("out from 1") << 1.0 << false << 0.8;
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
        QCOMPARE(f.view.pan(), QPointF(12, -7)); // zoom scales about the canvas origin
        QVERIFY(near(f.document.projectData().viewSettings.zoom, expected));
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

    void dragPan()
    {
        Fixture f;
        f.view.setView(1.0, QPointF(-30, 40));
        f.view.dragPan(QSizeF(10, 5));
        f.view.dragPan(QSizeF(20, -5));
        QCOMPARE(f.view.pan(), QPointF(-10, 35));
        QCOMPARE(f.view.dragStart(), QPointF(-30, 40));
        f.view.endDragPan();
        QCOMPARE(f.view.dragStart(), QPointF(-10, 35));
        QCOMPARE(f.document.projectData().viewSettings.panX, -10.0);
        QCOMPARE(f.document.projectData().viewSettings.panY, 35.0);
        QVERIFY(f.session.undoStack().isEmpty()); // view changes record no undo snapshot
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
        QTest::newRow("zoom differs by 0.01") << 1.01 << QPointF(0, 0) << true;
        QTest::newRow("pan x differs by 1") << 1.0 << QPointF(1.0, 0) << true;
        QTest::newRow("pan y differs by 1") << 1.0 << QPointF(0, -1.0) << true;
    }
    void animationNoOpThreshold()
    {
        QFETCH(double, targetZoom);
        QFETCH(QPointF, targetPan);
        QFETCH(bool, animates);
        Fixture f;
        f.view.animateView(targetZoom, targetPan, 0.5);
        QCOMPARE(f.view.isAnimatingView(), animates);
        QCOMPARE(f.view.zoom(), 1.0);
    }

    void noOpAnimationStopsRunningOne()
    {
        Fixture f;
        f.view.animateView(2.0, QPointF(0, 0), 0.5);
        f.at(100);
        const double stoppedAt = f.view.zoom();
        f.view.animateView(stoppedAt + 0.005, QPointF(0, 0), 0.5);
        QVERIFY(!f.view.isAnimatingView());
        QTest::qWait(50);
        QCOMPARE(f.view.zoom(), stoppedAt); // stopped where it was
        QCOMPARE(f.view.zoomStart(), 1.0);
    }

    void fitToScreenAtOnceBeforeContentReady()
    {
        Fixture f({NodeData{.x = 100, .y = 100, .scale = 2.0}});
        f.view.fitToScreen(QSizeF(1400, 900));
        QVERIFY(!f.view.isAnimatingView());
        QVERIFY(near(f.view.zoom(), 1.275));
        QCOMPARE(f.view.zoomStart(), f.view.zoom());
        QCOMPARE(f.view.dragStart(), f.view.pan());

        f.view.setContentReady(true);
        f.view.setView(1.0, QPointF(0, 0));
        f.view.fitToScreen(QSizeF(1400, 900));
        QVERIFY(f.view.isAnimatingView()); // animated once content is ready
        f.at(500);
        QVERIFY(near(f.view.zoom(), 1.275));
    }

    void zoomToSearchResultsSelects()
    {
        const QList<NodeData> nodes{NodeData{.id = 1}, NodeData{.id = 2, .x = 400, .y = 200},
                                    NodeData{.id = 3, .x = 900, .y = 900}};
        Fixture f(nodes);
        f.session.setSelection({3}, {7}, std::nullopt);
        f.view.zoomToSearchResults({nodes[0], nodes[1]});
        QCOMPARE(f.session.selectedNodes(), (QSet<qint64>{1, 2}));
        QVERIFY(f.session.selectedCableIds().isEmpty());
        QVERIFY(f.view.isAnimatingView());

        f.view.stopAnimation();
        f.view.zoomToSearchResults({});
        QCOMPARE(f.session.selectedNodes(), (QSet<qint64>{1, 2})); // empty set: nothing
        QVERIFY(!f.view.isAnimatingView());
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

    void mapAppearanceIsSaved()
    {
        Fixture f;
        f.view.setMapOpacity(0.3);
        f.view.setMapSaturation(0.0);
        QCOMPARE(f.document.projectData().viewSettings.mapOpacity, 0.3);
        QCOMPARE(f.document.projectData().viewSettings.mapSaturation, 0.0);
        QVERIFY(f.session.undoStack().isEmpty());
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

    void contentFramingAfterNewContent()
    {
        Fixture f({NodeData{.x = 100, .y = 100}});
        f.view.setContentReady(true);
        f.view.scheduleContentFraming();
        QVERIFY(!f.view.isContentReady());
        QTRY_VERIFY_WITH_TIMEOUT(f.view.isContentReady(), 1000);
        QVERIFY(near(f.view.zoom(), 1.275)); // applied without animation
        QVERIFY(!f.view.isAnimatingView());
    }
};

QTEST_GUILESS_MAIN(TestViewState)
#include "tst_view_state.moc"
