// SPDX-License-Identifier: GPL-3.0-or-later
// The window's composition on the offscreen platform: the canvas fills it, the panes lie over
// it with the widths framing uses, the mode switch and collapse buttons change those widths,
// the zoom controls and map section follow the view, and the layers pane and the type sheets
// act on the session.

#include "app/content_view.h"
#include "canvas/canvas_interaction_handler.h"
#include "canvas/canvas_widget.h"
#include "canvas/splash_animation.h"
#include "canvas/splash_overlay.h"
#include "canvas/view_state.h"
#include "panes/layers_pane.h"
#include "panes/left_pane.h"
#include "panes/map_layer_section.h"
#include "panes/mode_switch.h"
#include "panes/pane_layout_state.h"
#include "panes/right_column.h"
#include "panes/search_bar.h"
#include "panes/type_sheets.h"
#include "panes/zoom_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

using namespace velmora;
using namespace Qt::StringLiterals;

namespace {

NodeData makeNode(qint64 id, const QString& type, double x, double y)
{
    NodeData n;
    n.id = id;
    n.name = QStringLiteral("Node %1").arg(id);
    n.type = type;
    n.ip = QStringLiteral("127.0.0.%1").arg(id);
    n.x = x;
    n.y = y;
    return n;
}

ProjectData sampleProject()
{
    ProjectData data;
    data.nodes = {makeNode(1, QStringLiteral("Router"), 0, 0),
                  makeNode(2, QStringLiteral("Switch"), 300, 100),
                  makeNode(3, QStringLiteral("Router"), 600, 300),
                  makeNode(4, QStringLiteral("AP"), 100, 400)};
    data.nextNodeId = 5;
    return data;
}

struct Window {
    explicit Window(ProjectData data = sampleProject()) : document(std::move(data)), view(&document)
    {
        view.resize(1400, 900);
        view.show();
        view.windowShown();
        view.splash()->finish();
    }
    ProjectDocument document;
    ContentView view;
};

QLabel* findLabel(QWidget* root, const QString& text)
{
    const auto labels = root->findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (label->text() == text)
            return label;
    return nullptr;
}

QWidget* layerRow(LayersPane* pane, const QString& type)
{
    const auto rows = pane->typeList()->findChildren<QWidget*>(QStringLiteral("layerRow"));
    for (QWidget* row : rows)
        if (row->isVisible() && row->property("layerType").toString() == type)
            return row;
    return nullptr;
}

} // namespace

class TestMainWindow final : public QObject {
    Q_OBJECT
private slots:
    void layoutAndStartUp()
    {
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.view));
        QCOMPARE(w.view.canvas()->geometry(), w.view.rect());
        QCOMPARE(w.view.leftPane()->geometry(), QRect(0, 0, 220, 900));
        QCOMPARE(w.view.rightColumn()->geometry(), QRect(1400 - 410, 0, 410, 900));
        QCOMPARE(w.view.viewState()->viewSize(), QSizeF(1400, 900));
        QTRY_VERIFY_WITH_TIMEOUT(w.view.viewState()->isContentReady(), 1000);
        // Stored pan (0, 0): framed between the panes. Box 780 x 480 in 770 x 820.
        QVERIFY(std::abs(w.view.viewState()->zoom() - 770.0 / 780.0 * 0.85) < 1e-9);
        QCOMPARE(w.view.leftPane()->zoomControls()->percentLabel()->text(),
                 ZoomControls::percentText(w.view.viewState()->zoom()));

        const QImage shot = w.view.grab().toImage();
        QCOMPARE(shot.size(), QSize(1400, 900));
        QVERIFY(!shot.isNull());
        shot.save(QStringLiteral(VELMORA_BINARY_DIR "/tst_main_window.png"));
    }

    void modeSwitchChangesColumnAndPulse()
    {
        Window w;
        ModeSwitch* modeSwitch = w.view.leftPane()->modeSwitch();
        modeSwitch->liveButton()->click();
        QCOMPARE(w.view.viewState()->appMode(), AppMode::live);
        QCOMPARE(w.view.rightColumn()->width(), 340);
        QCOMPARE(w.view.viewState()->paneWidths().right, 340.0);
        QVERIFY(w.view.canvas()->isPulsing());
        CanvasWidget* canvas = w.view.canvas();
        for (int tick = 0; tick < 62; ++tick)
            canvas->advancePulse();
        QVERIFY(std::abs(canvas->pulsePhase() - 6.2) < 1e-9); // 6.2 is still below 2 pi
        canvas->advancePulse();
        QCOMPARE(canvas->pulsePhase(), 0.0); // past 2 pi: back to 0, not wrapped
        canvas->advancePulse();
        QVERIFY(std::abs(canvas->pulsePhase() - 0.1) < 1e-12);
        modeSwitch->editButton()->click();
        QCOMPARE(w.view.viewState()->appMode(), AppMode::edit);
        QVERIFY(!w.view.canvas()->isPulsing());
        QCOMPARE(w.view.canvas()->pulsePhase(), 0.0);
        QCOMPARE(w.view.rightColumn()->width(), 410);
    }

    void collapseButtons()
    {
        Window w;
        LeftPane* left = w.view.leftPane();
        QCOMPARE(left->collapseButton()->toolTip(), QStringLiteral("Collapse Velmora pane"));
        QCOMPARE(left->collapseAllButton()->toolTip(), QStringLiteral("Collapse all panes"));
        left->collapseButton()->click();
        QCOMPARE(left->width(), 60);
        QCOMPARE(left->collapseButton()->toolTip(), QStringLiteral("Expand Velmora pane"));
        QCOMPARE(w.view.viewState()->paneWidths().left, 60.0);

        left->collapseAllButton()->click(); // not all collapsed yet: collapses all
        PaneLayoutState* layout = w.view.paneLayout();
        QVERIFY(layout->leftPaneCollapsed() && layout->nodesPaneCollapsed() &&
                layout->layersPaneCollapsed() && layout->helpPaneCollapsed());
        QCOMPARE(left->collapseAllButton()->toolTip(), QStringLiteral("Expand all panes"));
        QCOMPARE(w.view.rightColumn()->width(), 60);
        left->collapseAllButton()->click();
        QVERIFY(!layout->leftPaneCollapsed() && !layout->nodesPaneCollapsed());
        QCOMPARE(w.view.rightColumn()->width(), 410);
    }

    void zoomControls()
    {
        Window w;
        QTRY_VERIFY_WITH_TIMEOUT(w.view.viewState()->isContentReady(), 1000);
        ZoomControls* zoom = w.view.leftPane()->zoomControls();
        QCOMPARE(zoom->zoomOutButton()->text(), QString(QChar(0x2212)));
        QCOMPARE(zoom->zoomOutButton()->size(), QSize(24, 24));
        w.view.viewState()->setView(1.0, QPointF(0, 0));
        zoom->zoomInButton()->click();
        QCOMPARE(zoom->percentLabel()->text(), QStringLiteral("125%"));
        w.view.viewState()->setView(0.8333, QPointF(0, 0));
        QCOMPARE(zoom->percentLabel()->text(), QStringLiteral("83%")); // truncated
        QTest::keyClick(w.view.canvas(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(zoom->percentLabel()->text(), QStringLiteral("66%"));
        zoom->fitButton()->click();
        QVERIFY(w.view.viewState()->isAnimatingView());
    }

    void mapLayerSection()
    {
        QTemporaryDir dir;
        QImage image(300, 200, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QString path = dir.filePath(QStringLiteral("plan.png"));
        QVERIFY(image.save(path));

        Window w;
        MapLayerSection* section = w.view.leftPane()->mapLayerSection();
        QCOMPARE(section->loadButton()->text(), QStringLiteral("Load Image"));
        QVERIFY(section->clearButton()->isHidden());
        section->setFileChooser([path] { return path; });
        section->loadButton()->click();
        QVERIFY(w.document.projectData().hasMapImage());
        QCOMPARE(section->loadButton()->text(), QStringLiteral("Replace"));
        QVERIFY(!section->clearButton()->isHidden());
        QCOMPARE(section->opacitySlider()->minimum(), 10);
        section->opacitySlider()->setValue(35);
        QCOMPARE(w.view.viewState()->mapOpacity(), 0.35);
        QCOMPARE(section->opacityValue()->text(), QStringLiteral("35%"));
        QCOMPARE(w.document.projectData().viewSettings.mapOpacity, 0.35);
        section->saturationSlider()->setValue(0);
        QCOMPARE(section->saturationValue()->text(), QStringLiteral("0%"));

        section->setFileChooser([] { return QString(); }); // dialog cancelled
        const qsizetype undoDepth = w.view.session()->undoStack().size();
        section->loadButton()->click();
        QCOMPARE(w.view.session()->undoStack().size(), undoDepth);
        section->clearButton()->click();
        QVERIFY(!w.document.projectData().map.has_value());
        QCOMPARE(section->loadButton()->text(), QStringLiteral("Load Image"));
    }

    void layersPane()
    {
        Window w;
        LayersPane* layers = w.view.rightColumn()->layersPane();
        QCoreApplication::processEvents();
        QCOMPARE(layers->collapseButton()->toolTip(), QStringLiteral("Collapse Layers pane"));
        QWidget* router = layerRow(layers, QStringLiteral("Router"));
        QVERIFY(router);
        QCOMPARE(router->findChild<QLabel*>(QStringLiteral("count"))->text(),
                 QStringLiteral("2 nodes"));
        QCOMPARE(layerRow(layers, QStringLiteral("AP"))
                     ->findChild<QLabel*>(QStringLiteral("count"))
                     ->text(),
                 QStringLiteral("1 node"));
        QCOMPARE(router->findChild<QPushButton*>(QStringLiteral("swatch"))->toolTip(),
                 QStringLiteral("Click to change color"));
        // Rows in ascending order of the type names.
        QStringList order;
        for (QObject* child : layers->typeList()->children())
            if (auto* row = qobject_cast<QWidget*>(child); row && row->isVisible())
                order.append(row->property("layerType").toString());
        QCOMPARE(order, (QStringList{QStringLiteral("AP"), QStringLiteral("Router"),
                                     QStringLiteral("Switch")}));
        QVERIFY(layers->visibleCountLabel()->text().contains(QStringLiteral(">4<")));

        router->findChild<QPushButton*>(QStringLiteral("eye"))->click();
        QVERIFY(!w.view.session()->visibleTypes().contains(QStringLiteral("Router")));
        QCoreApplication::processEvents();
        QVERIFY(layers->visibleCountLabel()->text().contains(QStringLiteral(">2<")));
        layerRow(layers, QStringLiteral("AP"))
            ->findChild<QPushButton*>(QStringLiteral("solo"))
            ->click();
        QCOMPARE(w.view.session()->visibleTypes(), QSet<QString>{QStringLiteral("AP")});
        QCoreApplication::processEvents();
        QVERIFY(layers->visibleCountLabel()->text().contains(QStringLiteral(">1<")));

        layers->collapseButton()->click();
        QCOMPARE(layers->collapseButton()->toolTip(), QStringLiteral("Expand Layers pane"));
    }

    void colourPickerSheet()
    {
        Window w;
        ProjectSession* session = w.view.session();
        const Rgb before = session->typeColorMap().value(QStringLiteral("Router"));
        {
            ColorPickerSheet sheet(session, QStringLiteral("Router"), &w.view);
            QCOMPARE(sheet.windowTitle(), QStringLiteral("Color for Router"));
            sheet.setTempColor(QColor(255, 0, 0));
            sheet.cancelButton()->click();
        }
        QCOMPARE(session->typeColorMap().value(QStringLiteral("Router")), before);
        ColorPickerSheet sheet(session, QStringLiteral("Router"), &w.view);
        sheet.setTempColor(QColor(255, 0, 0));
        sheet.applyButton()->click();
        QCOMPARE(session->typeColorMap().value(QStringLiteral("Router")), (Rgb{1.0, 0.0, 0.0}));
        bool stored = false;
        for (const TypeColorData& colour : w.document.projectData().typeColors)
            stored |= colour.type == QStringLiteral("Router") && colour.red == 1.0;
        QVERIFY(stored);
        QVERIFY(session->undoStack().isEmpty());
    }

    void customTypeSheet_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("dimmed");
        QTest::addColumn<QString>("applied"); // empty: nothing changes
        QTest::newRow("blank") << QStringLiteral("   ") << true << QString();
        QTest::newRow("trimmed") << QStringLiteral("  Printer ") << false
                                 << QStringLiteral("Printer");
        QTest::newRow("existing") << QStringLiteral("Switch") << false << QStringLiteral("Switch");
    }
    void customTypeSheet()
    {
        QFETCH(QString, text);
        QFETCH(bool, dimmed);
        QFETCH(QString, applied);
        Window w;
        ProjectSession* session = w.view.session();
        session->setSelectedNodes({1, 3});
        CustomTypeSheet sheet(session, &w.view);
        QVERIFY(findLabel(&sheet, QStringLiteral("Apply to 2 selected nodes")));
        QVERIFY(findLabel(&sheet, QStringLiteral("Or choose existing")));
        QCOMPARE(sheet.field()->placeholderText(), QStringLiteral("Enter type name..."));
        QVERIFY(sheet.isApplyDimmed());
        sheet.field()->setText(text);
        QCOMPARE(sheet.isApplyDimmed(), dimmed);
        sheet.applyButton()->click();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(sheet.bulkEditTypeValue(), QString());
        const ProjectData& project = w.document.projectData();
        if (applied.isEmpty()) {
            QVERIFY(session->undoStack().isEmpty());
            QCOMPARE(project.nodes[0].type, QStringLiteral("Router"));
        } else {
            QCOMPARE(project.nodes[0].type, applied);
            QCOMPARE(project.nodes[2].type, applied);
            QCOMPARE(project.nodes[1].type, QStringLiteral("Switch"));
        }
    }

    // Canvas keys reach the canvas from whatever non-text widget holds the focus, as after a
    // click on a pane's button; a text field keeps its keys.
    void canvasKeysFromPaneWidgets_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("openSearch");
        QTest::addColumn<int>("nodesAfter");
        QTest::addColumn<bool>("searchShownAfter");
        QTest::addColumn<bool>("drawingAfter");
        QTest::addColumn<int>("selectedAfter");
        const int none = Qt::NoModifier;
        QTest::newRow("Escape after Draw Cable cancels drawing")
            << u"Draw Cable"_s << int(Qt::Key_Escape) << none << false << 4 << false << false << 0;
        QTest::newRow("Delete after Fit to Screen deletes the selection")
            << u"Fit to Screen"_s << int(Qt::Key_Delete) << none << false << 3 << false << false
            << 0;
        QTest::newRow("Escape on Zoom To closes the search only")
            << u"Zoom To"_s << int(Qt::Key_Escape) << none << true << 4 << false << false << 1;
        QTest::newRow("Ctrl+F after Fit to Screen opens the search")
            << u"Fit to Screen"_s << int(Qt::Key_F) << int(Qt::ControlModifier) << false << 4
            << true << false << 1;
        QTest::newRow("Delete in the search field edits the text only")
            << u"field"_s << int(Qt::Key_Delete) << none << true << 4 << true << false << 1;
        QTest::newRow("Backspace in the search field edits the text only")
            << u"field"_s << int(Qt::Key_Backspace) << none << true << 4 << true << false << 1;
    }

    void canvasKeysFromPaneWidgets()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, openSearch);
        QFETCH(int, nodesAfter);
        QFETCH(bool, searchShownAfter);
        QFETCH(bool, drawingAfter);
        QFETCH(int, selectedAfter);
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.view));
        ProjectSession* session = w.view.session();
        CanvasInteraction* interaction = w.view.interaction()->interaction();
        session->setSelection({1}, {}, std::nullopt);
        if (openSearch) {
            interaction->setShowSearchBar(true);
            session->setSearchText(u"Node"_s);
        }
        QWidget* target = nullptr;
        if (focus == u"field"_s) {
            target = w.view.searchBar()->field();
            w.view.searchBar()->field()->setCursorPosition(2);
        } else if (focus == u"Zoom To"_s) {
            target = w.view.searchBar()->zoomToButton();
        } else {
            const auto buttons = w.view.leftPane()->findChildren<QPushButton*>();
            for (QPushButton* button : buttons)
                if (button->text() == focus)
                    target = button;
        }
        QVERIFY(target);
        if (focus == u"Draw Cable"_s) {
            static_cast<QPushButton*>(target)->click();
            QVERIFY(interaction->gesture().isDrawingCable);
        }
        target->setFocus();
        QCOMPARE(w.view.window()->focusWidget(), target);

        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        QCOMPARE(w.document.projectData().nodes.size(), nodesAfter);
        QCOMPARE(interaction->showSearchBar(), searchShownAfter);
        QCOMPARE(interaction->gesture().isDrawingCable, drawingAfter);
        QCOMPARE(session->selectedNodes().size(), selectedAfter);
        if (focus == u"field"_s)
            QCOMPARE(session->searchText().size(), 3); // one character of "Node" removed
        else if (openSearch)
            QVERIFY(session->searchText().isEmpty());
    }

    void splashSequence()
    {
        // Letters start 30 below, spring in with a little overshoot and settle.
        const SplashValues start = splashValuesAt(0.0, 7);
        QCOMPARE(start.letterOffsets.size(), 7);
        QCOMPARE(start.letterOffsets.at(0), 30.0);
        QCOMPARE(start.scale, 0.8);
        QCOMPARE(start.glow, 0.0);
        QCOMPARE(start.opacity, 1.0);
        // The last letter starts 6 x 0.08 s later.
        QCOMPARE(splashValuesAt(0.45, 7).letterOffsets.at(6), 30.0);
        QVERIFY(splashValuesAt(0.49, 7).letterOffsets.at(6) < 30.0);
        const SplashValues settled = splashValuesAt(2.4, 7);
        for (double offset : settled.letterOffsets)
            QVERIFY(std::abs(offset) < 0.5);
        QVERIFY(std::abs(settled.scale - 1.0) < 0.01);
        QCOMPARE(settled.glow, 1.0);
        QCOMPARE(splashValuesAt(0.3, 7).glow, 0.0); // glow waits 0.3 s
        QVERIFY(splashValuesAt(2.75, 7).opacity < 1.0);
        QCOMPARE(splashValuesAt(3.0, 7).opacity, 0.0);
        QVERIFY(!splashValuesAt(3.0, 7).visible);
        // Damping below 1 overshoots; the period is the response.
        double minimum = 1.0;
        for (double t = 0; t < 1.0; t += 0.01)
            minimum = std::min(minimum, 1.0 - springProgress(t, 0.6, 0.7));
        QVERIFY(minimum < 0.0);
        QVERIFY(springProgress(5.0, 0.6, 1.0) > 0.999);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
