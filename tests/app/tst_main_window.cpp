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
#include "canvas/view_framing.h"
#include "canvas/view_state.h"
#include "panes/cables_section.h"
#include "panes/csv_import_dialog.h"
#include "panes/layers_pane.h"
#include "panes/left_pane.h"
#include "panes/map_layer_section.h"
#include "panes/mode_switch.h"
#include "panes/nodes_pane.h"
#include "panes/pane_layout_state.h"
#include "panes/right_column.h"
#include "panes/search_bar.h"
#include "panes/selection_readouts.h"
#include "panes/type_sheets.h"
#include "panes/zoom_controls.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <limits>
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

QLabel* findLabel(QWidget* root, const QString& text, const char* className)
{
    const auto parts = root->findChildren<QWidget*>();
    for (QWidget* part : parts)
        if (part->inherits(className))
            if (QLabel* label = findLabel(part, text))
                return label;
    return nullptr;
}

// The colour a label's text is drawn in: the pixel least like the background at its corner
// (glyph cores are covered fully, so they carry the text colour itself).
QColor textColour(QLabel* label)
{
    const QImage image = label->grab().toImage();
    const QRgb background = image.pixel(0, 0);
    const auto distance = [background](QRgb p) {
        return std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background)) +
               std::abs(qBlue(p) - qBlue(background));
    };
    QRgb best = background;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (distance(image.pixel(x, y)) > distance(best))
                best = image.pixel(x, y);
    return QColor::fromRgb(best);
}

// Runs the animated move of the panes to its end.
void finishLayoutAnimation(ContentView& view)
{
    auto* animation = view.findChild<QVariantAnimation*>(u"layoutAnimation"_s);
    QVERIFY(animation);
    animation->setCurrentTime(animation->duration());
}

template <typename T> T* visibleTopLevel()
{
    const QList<QWidget*> widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets)
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible())
            return found;
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
        finishLayoutAnimation(w.view);
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
        finishLayoutAnimation(w.view);
        QCOMPARE(w.view.rightColumn()->width(), 410);
    }

    void collapseButtons()
    {
        Window w;
        LeftPane* left = w.view.leftPane();
        QCOMPARE(left->collapseButton()->toolTip(), QStringLiteral("Collapse Velmora pane"));
        // Down arrow to collapse all, up arrow to expand all.
        const QString down(QChar(0x25BE));
        const QString up(QChar(0x25B4));
        QCOMPARE(left->collapseAllButton()->toolTip(), QStringLiteral("Collapse all panes"));
        QCOMPARE(left->collapseAllButton()->text(), down);
        left->collapseButton()->click();
        QCOMPARE(left->width(), 60);
        QCOMPARE(left->collapseButton()->toolTip(), QStringLiteral("Expand Velmora pane"));
        QCOMPARE(w.view.viewState()->paneWidths().left, 60.0);

        left->collapseAllButton()->click(); // not all collapsed yet: collapses all
        PaneLayoutState* layout = w.view.paneLayout();
        QVERIFY(layout->leftPaneCollapsed() && layout->nodesPaneCollapsed() &&
                layout->layersPaneCollapsed() && layout->helpPaneCollapsed());
        QCOMPARE(left->collapseAllButton()->toolTip(), QStringLiteral("Expand all panes"));
        QCOMPARE(left->collapseAllButton()->text(), up);
        finishLayoutAnimation(w.view);
        QCOMPARE(w.view.rightColumn()->width(), 60);
        left->collapseAllButton()->click();
        QVERIFY(!layout->leftPaneCollapsed() && !layout->nodesPaneCollapsed());
        finishLayoutAnimation(w.view);
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
        // The percentage shown is the slider's position (0.29 x 100 is 28.999...).
        for (int position = 10; position <= 100; ++position) {
            section->opacitySlider()->setValue(position);
            QCOMPARE(section->opacityValue()->text(), QString::number(position) + u'%');
        }

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
        // Opened over a window without the panes' style (as the layers pane opens it), the sheet
        // is still dark under its white title.
        ColorPickerSheet sheet(session, QStringLiteral("Router"), nullptr);
        QVERIFY(sheet.grab().toImage().pixelColor(2, 2).lightness() < 60);
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
        CustomTypeSheet sheet(session, nullptr); // over a window without the panes' style
        QVERIFY(sheet.grab().toImage().pixelColor(2, 2).lightness() < 60);
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

    // Minimising stops the pulse; restoring the window starts it again in live mode while the
    // live glow is on.
    void pulseRestartsWhenRestored_data()
    {
        QTest::addColumn<bool>("live");
        QTest::addColumn<bool>("glow");
        QTest::newRow("live") << true << true;
        QTest::newRow("live, glow off") << true << false;
        QTest::newRow("edit") << false << true;
    }
    void pulseRestartsWhenRestored()
    {
        QFETCH(bool, live);
        QFETCH(bool, glow);
        Window w;
        if (live)
            w.view.leftPane()->modeSwitch()->liveButton()->click();
        w.view.viewState()->setLiveGlowEnabled(glow);
        if (!glow)
            w.view.canvas()->stopPulse();
        w.view.setWindowState(Qt::WindowMinimized);
        QVERIFY(!w.view.canvas()->isPulsing());
        w.view.setWindowState(Qt::WindowNoState);
        QCOMPARE(w.view.canvas()->isPulsing(), live && glow);
    }

    // Only Escape throws a cell edit away; a click on the canvas commits it like leaving a field.
    void canvasClickCommitsCellEdit()
    {
        Window w;
        NodesPane* pane = w.view.rightColumn()->nodesPane();
        pane->startEditing(2, NodeField::name);
        QTest::keyClicks(pane->editor(), u"Edge"_s);
        QTest::mouseClick(w.view.canvas(), Qt::LeftButton, {}, QPoint(600, 880));
        QCOMPARE(w.document.projectData().nodes[1].name, u"Edge"_s);
        QCOMPARE(w.view.session()->undoStack().size(), 1);
        QVERIFY(!pane->editingNodeId());
        QVERIFY(!pane->editor());
    }

    // Each label keeps the colour it was given, whatever the panes' general text colour is.
    void labelsShowTheirOwnColours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("inside");
        QTest::addColumn<QColor>("colour");
        const QColor accent = QColor::fromRgbF(0.29f, 0.56f, 0.89f);
        const QColor grey = QColor::fromRgbF(0.6f, 0.6f, 0.6f);
        const char* readouts = "velmora::SelectionReadouts";
        QTest::newRow("Selected:") << u"Selected:"_s << QString::fromLatin1(readouts) << accent;
        QTest::newRow("selection value")
            << u"1 node, 0 cables"_s << QString::fromLatin1(readouts) << grey;
        QTest::newRow("Nodes:") << u"Nodes:"_s << QString::fromLatin1(readouts) << accent;
        QTest::newRow("node count") << u"4"_s << QString::fromLatin1(readouts) << grey;
        QTest::newRow("Root:") << u"Root:"_s << QString::fromLatin1(readouts) << accent;
        QTest::newRow("root name") << u"Node 2"_s << QString::fromLatin1(readouts)
                                   << QColor::fromRgbF(0.98f, 0.75f, 0.14f);
        QTest::newRow("Cables") << u"Cables"_s << u"velmora::CablesSection"_s << accent;
        QTest::newRow("found") << u"1 found"_s << u"velmora::SearchBar"_s
                               << QColor::fromRgbF(0.29f, 0.87f, 0.5f);
    }
    void labelsShowTheirOwnColours()
    {
        QFETCH(QString, text);
        QFETCH(QString, inside);
        QFETCH(QColor, colour);
        Window w;
        ProjectSession* session = w.view.session();
        session->setSelection({1}, {}, std::nullopt);
        session->setRoot(2);
        w.view.interaction()->interaction()->setShowSearchBar(true);
        session->setSearchText(u"Switch"_s);
        QLabel* label = findLabel(&w.view, text, inside.toLatin1().constData());
        QVERIFY(label);
        const QColor shown = textColour(label);
        QVERIFY2(std::abs(shown.red() - colour.red()) <= 6 &&
                     std::abs(shown.green() - colour.green()) <= 6 &&
                     std::abs(shown.blue() - colour.blue()) <= 6,
                 qPrintable(shown.name() + u" instead of "_s + colour.name()));
    }

    // The mode switch and collapse-all move the panes over 0.25 s, easing in and out; framing
    // uses the new widths at once.
    void layoutChangesAnimate_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QRect>("leftMidway");
        QTest::addColumn<QRect>("rightMidway");
        QTest::addColumn<QRect>("leftEnd");
        QTest::addColumn<QRect>("rightEnd");
        QTest::newRow("Live") << u"Live"_s << QRect(0, 0, 220, 900) << QRect(1025, 0, 375, 900)
                              << QRect(0, 0, 220, 900) << QRect(1060, 0, 340, 900);
        QTest::newRow("collapse all")
            << u"all"_s << QRect(0, 0, 140, 900) << QRect(1165, 0, 235, 900) << QRect(0, 0, 60, 900)
            << QRect(1340, 0, 60, 900);
    }
    void layoutChangesAnimate()
    {
        QFETCH(QString, button);
        QFETCH(QRect, leftMidway);
        QFETCH(QRect, rightMidway);
        QFETCH(QRect, leftEnd);
        QFETCH(QRect, rightEnd);
        Window w;
        if (button == u"Live"_s)
            w.view.leftPane()->modeSwitch()->liveButton()->click();
        else
            w.view.leftPane()->collapseAllButton()->click();
        auto* animation = w.view.findChild<QVariantAnimation*>(u"layoutAnimation"_s);
        QVERIFY(animation);
        QCOMPARE(animation->state(), QAbstractAnimation::Running);
        QCOMPARE(animation->duration(), 250);
        QCOMPARE(animation->easingCurve().type(), QEasingCurve::InOutQuad);
        QCOMPARE(w.view.viewState()->paneWidths().left, double(leftEnd.width()));
        QCOMPARE(w.view.viewState()->paneWidths().right, double(rightEnd.width()));
        animation->pause();
        animation->setCurrentTime(125); // half way in time is half way in place for this curve
        QCOMPARE(w.view.leftPane()->geometry(), leftMidway);
        QCOMPARE(w.view.rightColumn()->geometry(), rightMidway);
        animation->setCurrentTime(250);
        QCOMPARE(w.view.leftPane()->geometry(), leftEnd);
        QCOMPARE(w.view.rightColumn()->geometry(), rightEnd);
    }

    // Importing nodes: drawing stops while the nodes go in; a replace goes back to zoom 1 and
    // pan (0, 0) at once; the new content is framed 0.1 s later; a file that can no longer be
    // read leaves the project and the view as they were and draws again.
    void importViewSteps_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::addColumn<bool>("fileGone");
        QTest::newRow("replace") << true << false;
        QTest::newRow("append") << false << false;
        QTest::newRow("file gone") << true << true;
    }
    void importViewSteps()
    {
        QFETCH(bool, replace);
        QFETCH(bool, fileGone);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"devices.csv"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("name,ip\nA,127.0.1.1\nB,127.0.1.2\nC,127.0.1.3\n");
        file.close();

        std::optional<bool> readyWhenNodesArrive; // outlives the window that reports it
        Window w;
        ViewState* view = w.view.viewState();
        QTRY_VERIFY(view->isContentReady());
        view->setView(2.0, QPointF(30, 40));
        w.view.session()->setSelection({1}, {}, std::nullopt);
        QSignalSpy ready(view, &ViewState::contentReadyChanged);
        connect(&w.document, &ProjectDocument::changed, this, [&] {
            if (w.document.projectData().nodes.size() != 4 && !readyWhenNodesArrive)
                readyWhenNodesArrive = view->isContentReady();
        });
        bool readyDuringSheet = false;
        // The open dialog and the sheet are modal: answer them from the event loop.
        QTimer::singleShot(0, this, [&] {
            auto* open = visibleTopLevel<QFileDialog>();
            QVERIFY(open);
            open->selectFile(path);
            QTimer::singleShot(0, this, [&] {
                auto* sheet = visibleTopLevel<CSVImportDialog>();
                QVERIFY(sheet);
                readyDuringSheet = view->isContentReady();
                if (!replace)
                    QTest::mouseClick(sheet->modeRow(CSVImportMode::append), Qt::LeftButton);
                if (fileGone)
                    QFile::remove(path);
                sheet->importButton()->click();
            });
            static_cast<QDialog*>(open)->accept();
        });
        w.view.rightColumn()->nodesPane()->importButton()->click();
        QVERIFY(readyDuringSheet);

        if (fileGone) {
            QCOMPARE(ready.size(), 2);
            QCOMPARE(ready.at(0).at(0).toBool(), false);
            QVERIFY(view->isContentReady());
            QCOMPARE(w.document.projectData().nodes.size(), 4);
            QCOMPARE(view->zoom(), 2.0);
            QCOMPARE(view->pan(), QPointF(30, 40));
            return;
        }
        QCOMPARE(readyWhenNodesArrive, std::optional<bool>(false));
        QVERIFY(!view->isContentReady());
        QCOMPARE(view->zoom(), replace ? 1.0 : 2.0);
        QCOMPARE(view->pan(), replace ? QPointF(0, 0) : QPointF(30, 40));
        QCOMPARE(w.view.session()->selectedNodes().isEmpty(), replace);
        QTRY_VERIFY(view->isContentReady());
        const Framing framed =
            fitFraming(w.document.projectData(), QSize(), view->viewSize(), view->paneWidths());
        QCOMPARE(view->zoom(), framed.zoom);
        QCOMPARE(view->pan(), framed.pan);
    }

    // Names, types and addresses show as typed: no rich text, no shortcut markers.
    void userTextShownLiterally()
    {
        ProjectData data = sampleProject();
        data.nodes[0].name = u"<b>Core</b>"_s;
        data.nodes[0].type = u"R&D <i>lab</i>"_s;
        data.nodes[0].ip = u"<u>127.0.0.1</u>"_s;
        Window w(data);
        ProjectSession* session = w.view.session();
        session->setSelection({1}, {}, std::nullopt);
        session->setRoot(1);
        QCoreApplication::processEvents();
        const QStringList userTexts{data.nodes[0].name, data.nodes[0].type, data.nodes[0].ip};
        int shownTexts = 0;
        for (QLabel* label : w.view.findChildren<QLabel*>()) {
            if (!label->isVisibleTo(&w.view) || !userTexts.contains(label->text()))
                continue;
            ++shownTexts;
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->text()));
        }
        QVERIFY(shownTexts >= 5); // details name, type and address, root read-out, layer row

        session->setSelection({1, 2}, {}, std::nullopt);
        CustomTypeSheet sheet(session, &w.view);
        QPushButton* typeButton = nullptr;
        for (QPushButton* button : sheet.findChildren<QPushButton*>())
            if (button->text().replace(u"&&"_s, u"&"_s) == data.nodes[0].type &&
                !button->text().remove(u"&&"_s).contains(u'&'))
                typeButton = button;
        QVERIFY(typeButton); // "&" doubled so that it shows instead of marking a shortcut
        typeButton->click();
        QCOMPARE(sheet.field()->text(), data.nodes[0].type);
        // The title carries a drawn "tag" symbol.
        bool symbol = false;
        for (QLabel* label : sheet.findChildren<QLabel*>())
            symbol |= !label->pixmap().isNull();
        QVERIFY(symbol);
    }

    void refusedEditIsShown()
    {
        // No node identifier is left: "+ Add Node" writes nothing and the window says why.
        ProjectData full = sampleProject();
        full.nextNodeId = std::numeric_limits<qint64>::max();
        Window w(full);
        const auto buttons = w.view.findChildren<QPushButton*>();
        const auto add = std::find_if(buttons.cbegin(), buttons.cend(),
                                      [](QPushButton* b) { return b->text() == u"+ Add Node"_s; });
        QVERIFY(add != buttons.cend());
        (*add)->click();
        const QMessageBox* box = w.view.findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().startsWith(u"Cannot create 1 node:"_s), qPrintable(box->text()));
        QVERIFY(w.document.projectData() == full);
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
