// SPDX-License-Identifier: GPL-3.0-or-later
// The window's composition on the offscreen platform: the canvas fills it, the panes lie over
// it, the keys reach the canvas from wherever the focus is (text fields keep theirs), the mode
// switch and collapse buttons move the panes, and the panes act on the session and the view.

#include "support/builders.h"
#include "support/files.h"
#include "support/pixels.h"

#include "app/content_view.h"
#include "canvas/canvas_interaction.h"
#include "canvas/canvas_widget.h"
#include "canvas/splash_animation.h"
#include "canvas/splash_overlay.h"
#include "canvas/view_framing.h"
#include "canvas/view_state.h"
#include "panes/csv_import_dialog.h"
#include "panes/layers_pane.h"
#include "panes/left_pane.h"
#include "panes/map_layer_section.h"
#include "panes/mode_switch.h"
#include "panes/nodes_pane.h"
#include "panes/pane_layout_state.h"
#include "panes/pane_style.h"
#include "panes/right_column.h"
#include "panes/search_bar.h"
#include "panes/type_sheets.h"
#include "panes/zoom_controls.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <cmath>
#include <limits>
#include <memory>

using namespace velmora;
using namespace Qt::StringLiterals;

namespace {

ProjectData sampleProject()
{
    const auto node = [](qint64 id, const QString& type, double x, double y) {
        return NodeData{.id = id,
                        .name = u"Node %1"_s.arg(id),
                        .type = type,
                        .ip = u"127.0.0.%1"_s.arg(id),
                        .x = x,
                        .y = y};
    };
    return test::projectWith({node(1, u"Router"_s, 0, 0), node(2, u"Switch"_s, 300, 100),
                              node(3, u"Router"_s, 600, 300), node(4, u"AP"_s, 100, 400)});
}

struct Window {
    explicit Window(ProjectData data = sampleProject()) : document(std::move(data)), view(&document)
    {
        view.resize(1400, 900);
        view.show();
        view.windowShown();
        view.splash()->finish();
    }
    ProjectSession* session() { return view.session(); }
    ProjectDocument document;
    ContentView view;
};

// A label with `text`, inside a widget of class `inside` when one is named.
QLabel* findLabel(QWidget* root, const QString& text, const char* inside = nullptr)
{
    for (QLabel* label : root->findChildren<QLabel*>()) {
        bool within = !inside;
        for (QWidget* w = label; w && !within; w = w->parentWidget())
            within = w->inherits(inside);
        if (within && label->text() == text)
            return label;
    }
    return nullptr;
}

QPushButton* findButton(QWidget* root, const QString& text)
{
    for (QPushButton* button : root->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
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

template <typename T> T* visibleTopLevel()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible())
            return found;
    return nullptr;
}

QWidget* layerRow(LayersPane* pane, const QString& type)
{
    for (QWidget* row : pane->typeList()->findChildren<QWidget*>(u"layerRow"_s))
        if (row->isVisible() && row->property("layerType").toString() == type)
            return row;
    return nullptr;
}

} // namespace

class TestMainWindow final : public QObject {
    Q_OBJECT
private slots:
    // Every canvas key, with the focus on the canvas, on a pane's button (as after a click on
    // it), in the search field or in a cell editor. The project starts with three nodes, node 1
    // selected and one undo step (node 4 deleted).
    void keys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("after");
        const QString start = u"3 nodes, 1 selected, zoom 100"_s;
        const auto row = [](const char* name, const QString& focus, QKeySequence keys,
                            const QString& after) {
            QTest::newRow(name) << focus << keys << after;
        };
        const QString canvas = u"canvas"_s;
        const QString deleted = u"2 nodes, 0 selected, zoom 100"_s;
        row("Delete", canvas, QKeySequence(Qt::Key_Delete), deleted);
        row("Backspace", canvas, QKeySequence(Qt::Key_Backspace), deleted);
        row("Escape", canvas, QKeySequence(Qt::Key_Escape), u"3 nodes, 0 selected, zoom 100"_s);
        row("A without Ctrl", canvas, QKeySequence(Qt::Key_A), start);
        row("Ctrl+A", canvas, QKeySequence(Qt::CTRL | Qt::Key_A),
            u"3 nodes, 3 selected, zoom 100"_s);
        row("Ctrl+F", canvas, QKeySequence(Qt::CTRL | Qt::Key_F), start + u", search \"\""_s);
        row("Escape closes the search only", canvas,
            QKeySequence(Qt::CTRL | Qt::Key_F, QKeyCombination(Qt::Key_Escape)), start);
        row("Ctrl+Z", canvas, QKeySequence(Qt::CTRL | Qt::Key_Z),
            u"4 nodes, 1 selected, zoom 100"_s);
        row("Ctrl+Shift+Z", canvas,
            QKeySequence(Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::SHIFT | Qt::Key_Z), start);
        row("Ctrl+C, Ctrl+V", canvas, QKeySequence(Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_V),
            u"4 nodes, 1 selected, zoom 100, 1 copied"_s);
        row("Ctrl+=, Ctrl++, Ctrl+-", canvas,
            QKeySequence(Qt::CTRL | Qt::Key_Equal, Qt::CTRL | Qt::Key_Plus,
                         Qt::CTRL | Qt::Key_Minus),
            u"3 nodes, 1 selected, zoom 125"_s);
        row("Delete after a click on Fit to Screen", u"Fit to Screen"_s,
            QKeySequence(Qt::Key_Delete), deleted);
        // The search field holds "Node" with the cursor after "No".
        const QString field = u"field"_s;
        const QString typed = start + u", search \"%1\""_s;
        row("Delete, Backspace in the search field", field,
            QKeySequence(QKeyCombination(Qt::Key_Delete), QKeyCombination(Qt::Key_Backspace)),
            typed.arg(u"Ne"));
        row("Ctrl+A in the search field", field, QKeySequence(Qt::CTRL | Qt::Key_A),
            typed.arg(u"Node"));
        row("Ctrl+F and Ctrl+- in the search field", field,
            QKeySequence(Qt::CTRL | Qt::Key_F, Qt::CTRL | Qt::Key_Minus), typed.arg(u"Node"));
        row("Escape in the search field", field, QKeySequence(Qt::Key_Escape), start);
        row("Ctrl+Z in the search field", field, QKeySequence(Qt::CTRL | Qt::Key_Z),
            u"4 nodes, 1 selected, zoom 100, search \"Node\""_s);
        row("F2 renames", canvas, QKeySequence(Qt::Key_F2), start + u", editing"_s);
        row("Return in the search field selects the matches", field, QKeySequence(Qt::Key_Return),
            u"3 nodes, 3 selected, zoom 100, search \"Node\""_s);
        row("Escape in a cell editor", u"editor"_s, QKeySequence(Qt::Key_Escape), start);
        row("Delete in a cell editor", u"editor"_s, QKeySequence(Qt::Key_Delete),
            start + u", editing"_s);
    }
    void keys()
    {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, after);
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        ProjectSession* session = w.session();
        session->setSelectedNodes({4});
        session->deleteSelection();
        session->setSelectedNodes({1});
        w.view.viewState()->setView(1.0, QPointF(0, 0));
        CanvasInteraction* canvas = w.view.interaction();
        NodesPane* nodes = w.view.rightColumn()->nodesPane();
        QWidget* target = w.view.canvas();
        if (focus == u"field") {
            canvas->setShowSearchBar(true);
            session->setSearchText(u"Node"_s);
            target = w.view.searchBar()->field();
            w.view.searchBar()->field()->setCursorPosition(2);
        } else if (focus == u"editor") {
            nodes->startEditing(2, NodeField::name);
            target = nodes->editor();
        } else if (focus != u"canvas") {
            target = findButton(w.view.leftPane(), focus);
        }
        QVERIFY(target);
        target->setFocus();
        QCOMPARE(QApplication::focusWidget(), target);

        QTest::keySequence(target, keys);
        QString state = u"%1 nodes, %2 selected, zoom %3"_s.arg(session->project().nodes.size())
                            .arg(session->selectedNodes().size())
                            .arg(qRound(w.view.viewState()->zoom() * 100));
        if (!session->clipboard().isEmpty())
            state += u", %1 copied"_s.arg(session->clipboard().size());
        if (canvas->showSearchBar())
            state += u", search \"%1\""_s.arg(session->searchText());
        if (nodes->editingNodeId())
            state += u", editing"_s;
        QCOMPARE(state, after);
    }

    // Arrow keys nudge the selection (one undo step per burst), the nodes table moves its
    // selection with Up and Down, and Tab in a cell editor commits and edits the next field.
    void keyboardEditing()
    {
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        ProjectSession* session = w.session();
        session->setSelectedNodes({2});
        w.view.canvas()->setFocus();
        for (const QKeySequence& key : {QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Right),
                                        QKeySequence(Qt::SHIFT | Qt::Key_Down)})
            QTest::keySequence(w.view.canvas(), key);
        const auto at = [&](int i) {
            const NodeData& n = session->project().nodes.at(i);
            return QPointF(n.x, n.y);
        };
        QCOMPARE(at(1), QPointF(302, 110));
        QCOMPARE(at(0), QPointF(0, 0));
        QCOMPARE(session->undoStack().size(), 1);
        session->undo();
        QCOMPARE(at(1), QPointF(300, 100));

        NodesPane* nodes = w.view.rightColumn()->nodesPane();
        nodes->tableView()->setFocus();
        QCOMPARE(QApplication::focusWidget(), nodes->tableView());
        session->setSelectedNodes({nodes->nodeIdAtRow(0)});
        QTest::keyClick(nodes->tableView(), Qt::Key_Down);
        QCOMPARE(session->selectedNodes(), QSet<qint64>{nodes->nodeIdAtRow(1)});
        QTest::keyClick(nodes->tableView(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(session->selectedNodes().size(), 2);
        QCOMPARE(at(1), QPointF(300, 100)); // the arrows were the table's

        // F2 opens the name cell, bringing a collapsed nodes pane back first.
        w.view.paneLayout()->setNodesPaneCollapsed(true);
        session->setSelectedNodes({2});
        w.view.canvas()->setFocus();
        QTest::keyClick(w.view.canvas(), Qt::Key_F2);
        QVERIFY(!w.view.paneLayout()->nodesPaneCollapsed());
        QCOMPARE(nodes->editingNodeId(), std::optional<qint64>(2));
        QCOMPARE(QApplication::focusWidget(), nodes->editor());
        nodes->editor()->setText(u"Core"_s);
        QTest::keyClick(nodes->editor(), Qt::Key_Tab);
        QCOMPARE(session->project().nodes.at(1).name, u"Core"_s);
        QCOMPARE(nodes->editingNodeId(), std::optional<qint64>(2));
        QCOMPARE(nodes->editingField(), std::optional(NodeField::type));
        QTest::keyClick(nodes->editor(), Qt::Key_Backtab);
        QCOMPARE(nodes->editingField(), std::optional(NodeField::name));
    }

    void collapseButtons()
    {
        Window w;
        LeftPane* left = w.view.leftPane();
        PaneLayoutState* layout = w.view.paneLayout();
        left->collapseButton()->click();
        QCOMPARE(w.view.viewState()->paneWidths().left, 60.0);
        left->collapseAllButton()->click(); // not all collapsed yet: collapses all
        QVERIFY(layout->leftPaneCollapsed() && layout->nodesPaneCollapsed() &&
                layout->layersPaneCollapsed() && layout->helpPaneCollapsed());
        QCOMPARE(left->collapseAllButton()->toolTip(), u"Expand all panes"_s);
        left->collapseAllButton()->click();
        QVERIFY(!layout->leftPaneCollapsed() && !layout->nodesPaneCollapsed());
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

    void zoomControls()
    {
        Window w;
        QTRY_VERIFY_WITH_TIMEOUT(w.view.viewState()->isContentReady(), 1000);
        ZoomControls* zoom = w.view.leftPane()->zoomControls();
        w.view.viewState()->setView(1.0, QPointF(0, 0));
        zoom->zoomInButton()->click();
        QCOMPARE(zoom->percentLabel()->text(), u"125%"_s);
        w.view.viewState()->setView(0.8333, QPointF(0, 0));
        QCOMPARE(zoom->percentLabel()->text(), u"83%"_s); // truncated
        zoom->fitButton()->click();
        QVERIFY(w.view.viewState()->isAnimatingView());
    }

    // Zoom and framing seen in the canvas's pixels: where the node's dark body lies after "+"
    // (about the centre between the panes, (605, 450)), after a wheel click (about the pointer)
    // and after Ctrl+0 with a node off the map (map and node both framed).
    void zoomAndFitPixels()
    {
        const QString longName = QString(90, u'W');
        ProjectData project =
            test::projectWith({NodeData{.id = 1, .name = longName, .type = u"Router"_s}});
        QImage plan(200, 200, QImage::Format_RGB32);
        plan.fill(QColor(0, 0, 255));
        project.map = MapData{test::pngOf(plan), 0, 0, 1.0};
        Window w(project);
        QTRY_VERIFY_WITH_TIMEOUT(w.view.viewState()->isContentReady(), 1000);
        const QColor body(38, 38, 38);
        const auto bodyBox = [&] {
            return test::boundsNear(w.view.canvas()->grab().toImage(), body, 2);
        };
        const auto near = [](QPointF a, QPointF b) { return QLineF(a, b).length() < 2.5; };
        w.view.viewState()->setView(1.0, QPointF(515, 410)); // body centred on (605, 450)
        QVERIFY(near(QRectF(bodyBox()).center(), QPointF(605, 450)));
        // The name is cut in the box; the tooltip holds it whole.
        QHelpEvent help(QEvent::ToolTip, QPoint(605, 450),
                        w.view.canvas()->mapToGlobal(QPoint(605, 450)));
        QApplication::sendEvent(w.view.canvas(), &help);
        QCOMPARE(QToolTip::text(), longName + u"\nRouter"_s);

        w.view.leftPane()->zoomControls()->zoomInButton()->click();
        QRectF box = bodyBox();
        QVERIFY2(near(box.center(), QPointF(605, 450)), qPrintable(QDebug::toString(box)));
        QVERIFY(std::abs(box.width() - 180 * 1.25) < 6);

        // Canvas point (22, 16) of the node lies under the pointer at (520, 420); it stays there.
        QWheelEvent wheel(QPointF(520, 420), w.view.canvas()->mapToGlobal(QPointF(520, 420)),
                          QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(w.view.canvas(), &wheel);
        box = bodyBox();
        const double z = 1.25 * 1.25;
        QVERIFY2(near(box.topLeft(), QPointF(520 - 22 * z, 420 - 16 * z) + QPointF(2, 2)),
                 qPrintable(QDebug::toString(box)));

        // The node moves far off the map; Fit to Screen (Ctrl+0) frames both.
        w.document.modify([](ProjectData& p) { p.nodes[0].x = 3000; });
        w.view.canvas()->setFocus();
        QTest::keySequence(w.view.canvas(), QKeySequence(Qt::CTRL | Qt::Key_0));
        w.view.findChild<QVariantAnimation*>(u"viewAnimation"_s)->setCurrentTime(500);
        const QImage frame = w.view.canvas()->grab().toImage();
        const QRect free(220, 0, 1400 - 220 - 410, 900);
        QVERIFY(free.contains(test::boundsNear(frame, body, 2)));
        QVERIFY(free.contains(test::boundsNear(frame, QColor(0, 0, 255), 2)));
        QVERIFY(!test::boundsNear(frame, QColor(0, 0, 255), 2).isEmpty());
    }

    void mapLayerSection()
    {
        QTemporaryDir dir;
        QImage image(300, 200, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QString path = dir.filePath(u"plan.png"_s);
        QVERIFY(image.save(path));

        Window w;
        MapLayerSection* section = w.view.leftPane()->mapLayerSection();
        QVERIFY(section->clearButton()->isHidden());
        section->setFileChooser([path] { return path; });
        section->loadButton()->click();
        QVERIFY(w.document.projectData().hasMapImage());
        QCOMPARE(section->loadButton()->text(), u"Replace"_s);
        QVERIFY(!section->clearButton()->isHidden());
        section->opacitySlider()->setValue(35);
        QCOMPARE(w.view.viewState()->mapOpacity(), 0.35);
        QCOMPARE(w.document.projectData().viewSettings.mapOpacity, 0.35);
        section->saturationSlider()->setValue(0);
        QCOMPARE(section->saturationValue()->text(), u"0%"_s);
        // The percentage shown is the slider's position (0.29 x 100 is 28.999...).
        for (int position = 10; position <= 100; ++position) {
            section->opacitySlider()->setValue(position);
            QCOMPARE(section->opacityValue()->text(), QString::number(position) + u'%');
        }

        section->setFileChooser([] { return QString(); }); // dialog cancelled
        const qsizetype undoDepth = w.session()->undoStack().size();
        section->loadButton()->click();
        QCOMPARE(w.session()->undoStack().size(), undoDepth);
        section->clearButton()->click();
        QVERIFY(!w.document.projectData().map.has_value());
        QCOMPARE(section->loadButton()->text(), u"Load Image"_s);
    }

    void layersPane()
    {
        Window w;
        LayersPane* layers = w.view.rightColumn()->layersPane();
        QCoreApplication::processEvents();
        QWidget* router = layerRow(layers, u"Router"_s);
        QVERIFY(router);
        QCOMPARE(router->findChild<QLabel*>(u"count"_s)->text(), u"2 nodes"_s);
        QCOMPARE(layerRow(layers, u"AP"_s)->findChild<QLabel*>(u"count"_s)->text(), u"1 node"_s);
        // Rows in ascending order of the type names.
        QStringList order;
        for (QObject* child : layers->typeList()->children())
            if (auto* row = qobject_cast<QWidget*>(child); row && row->isVisible())
                order.append(row->property("layerType").toString());
        QCOMPARE(order, (QStringList{u"AP"_s, u"Router"_s, u"Switch"_s}));
        QVERIFY(layers->visibleCountLabel()->text().contains(u">4<"_s));

        router->findChild<QPushButton*>(u"eye"_s)->click();
        QVERIFY(!w.session()->visibleTypes().contains(u"Router"_s));
        QCoreApplication::processEvents();
        QVERIFY(layers->visibleCountLabel()->text().contains(u">2<"_s));
        layerRow(layers, u"AP"_s)->findChild<QPushButton*>(u"solo"_s)->click();
        QCOMPARE(w.session()->visibleTypes(), QSet<QString>{u"AP"_s});
    }

    // With the application's palette, the file, colour and message dialogs are dark with light
    // text, like the window.
    void dialogsUseTheDarkPalette_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("message") << u"message"_s;
        QTest::newRow("file") << u"file"_s;
        QTest::newRow("colour") << u"colour"_s;
    }
    void dialogsUseTheDarkPalette()
    {
        QFETCH(QString, kind);
        const QPalette before = QApplication::palette();
        applyApplicationPalette();
        std::unique_ptr<QDialog> dialog;
        if (kind == u"message") {
            dialog = std::make_unique<QMessageBox>(QMessageBox::Warning, u"Velmora"_s,
                                                   u"The document could not be saved."_s);
        } else if (kind == u"file") {
            auto* files = new QFileDialog;
            files->setOption(QFileDialog::DontUseNativeDialog);
            dialog.reset(files);
        } else {
            auto* colours = new QColorDialog;
            colours->setOption(QColorDialog::DontUseNativeDialog);
            dialog.reset(colours);
        }
        dialog->show();
        QVERIFY(dialog->grab().toImage().pixelColor(2, 2).lightness() < 60);
        QLabel* label = nullptr;
        for (QLabel* l : dialog->findChildren<QLabel*>())
            if (!label && l->isVisible() && l->text().size() > 3)
                label = l;
        QVERIFY(label);
        QVERIFY2(textColour(label).lightness() > 180, qPrintable(label->text()));
        QApplication::setPalette(before);
    }

    void colourPickerSheet()
    {
        Window w;
        ProjectSession* session = w.session();
        const Rgb before = session->typeColorMap().value(u"Router"_s);
        {
            ColorPickerSheet sheet(session, u"Router"_s, &w.view);
            sheet.setTempColor(QColor(255, 0, 0));
            sheet.cancelButton()->click();
        }
        QCOMPARE(session->typeColorMap().value(u"Router"_s), before);
        // Opened over a window without the panes' style (as the layers pane opens it), the
        // sheet is still dark under its white title.
        ColorPickerSheet sheet(session, u"Router"_s, nullptr);
        QVERIFY(sheet.grab().toImage().pixelColor(2, 2).lightness() < 60);
        sheet.setTempColor(QColor(255, 0, 0));
        sheet.applyButton()->click();
        QCOMPARE(session->typeColorMap().value(u"Router"_s), (Rgb{1.0, 0.0, 0.0}));
    }

    void customTypeSheet_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("dimmed");
        QTest::addColumn<QString>("applied"); // empty: nothing changes
        QTest::newRow("blank") << u"   "_s << true << QString();
        QTest::newRow("trimmed") << u"  Printer "_s << false << u"Printer"_s;
        QTest::newRow("existing") << u"Switch"_s << false << u"Switch"_s;
    }
    void customTypeSheet()
    {
        QFETCH(QString, text);
        QFETCH(bool, dimmed);
        QFETCH(QString, applied);
        Window w;
        ProjectSession* session = w.session();
        session->setSelectedNodes({1, 3});
        CustomTypeSheet sheet(session, nullptr); // over a window without the panes' style
        QVERIFY(sheet.grab().toImage().pixelColor(2, 2).lightness() < 60);
        QVERIFY(findLabel(&sheet, u"Apply to 2 selected nodes"_s));
        QVERIFY(sheet.isApplyDimmed());
        sheet.field()->setText(text);
        QCOMPARE(sheet.isApplyDimmed(), dimmed);
        sheet.applyButton()->click();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        const ProjectData& project = w.document.projectData();
        QCOMPARE(project.nodes[0].type, applied.isEmpty() ? u"Router"_s : applied);
        QCOMPARE(project.nodes[2].type, applied.isEmpty() ? u"Router"_s : applied);
        QCOMPARE(project.nodes[1].type, u"Switch"_s);
        QCOMPARE(session->undoStack().isEmpty(), applied.isEmpty());
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
        QCOMPARE(w.session()->undoStack().size(), 1);
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
        const QString readouts = u"velmora::SelectionReadouts"_s;
        QTest::newRow("Selected:") << u"Selected:"_s << readouts << accent;
        QTest::newRow("selection value")
            << u"1 node, 0 cables"_s << readouts << QColor::fromRgbF(0.6f, 0.6f, 0.6f);
        QTest::newRow("root name")
            << u"Node 2"_s << readouts << QColor::fromRgbF(0.98f, 0.75f, 0.14f);
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
        w.session()->setSelection({1}, {}, std::nullopt);
        w.session()->setRoot(2);
        w.view.interaction()->setShowSearchBar(true);
        w.session()->setSearchText(u"Switch"_s);
        QLabel* label = findLabel(&w.view, text, inside.toLatin1().constData());
        QVERIFY(label);
        const QColor shown = textColour(label);
        QVERIFY2(test::colorsNear(shown, colour),
                 qPrintable(shown.name() + u" instead of "_s + colour.name()));
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
        QVERIFY(test::writeFile(path, "name,ip\nA,127.0.1.1\nB,127.0.1.2\nC,127.0.1.3\n"));

        std::optional<bool> readyWhenNodesArrive; // outlives the window that reports it
        Window w;
        ViewState* view = w.view.viewState();
        QTRY_VERIFY(view->isContentReady());
        view->setView(2.0, QPointF(30, 40));
        w.session()->setSelection({1}, {}, std::nullopt);
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
        QCOMPARE(w.session()->selectedNodes().isEmpty(), replace);
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
        ProjectSession* session = w.session();
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
        // "&" doubled, so that it shows instead of marking a shortcut.
        QPushButton* typeButton = findButton(&sheet, u"R&&D <i>lab</i>"_s);
        QVERIFY(typeButton);
        typeButton->click();
        QCOMPARE(sheet.field()->text(), data.nodes[0].type);
    }

    void refusedEditIsShown()
    {
        // No node identifier is left: "+ Add Node" writes nothing and the window says why.
        ProjectData full = sampleProject();
        full.nextNodeId = std::numeric_limits<qint64>::max();
        Window w(full);
        QPushButton* add = findButton(&w.view, u"+ Add Node"_s);
        QVERIFY(add);
        add->click();
        const QMessageBox* box = w.view.findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().startsWith(u"Cannot create 1 node:"_s), qPrintable(box->text()));
        QVERIFY(w.document.projectData() == full);
    }

    // Letters start 30 below, one after another 0.08 s apart, spring in with a little overshoot
    // and settle; the glow waits 0.3 s; everything has faded out at 3 s.
    void splashSequence()
    {
        QCOMPARE(splashValuesAt(0.0, 7).letterOffsets, QList<double>(7, 30.0));
        QCOMPARE(splashValuesAt(0.45, 7).letterOffsets.at(6), 30.0);
        QVERIFY(splashValuesAt(0.49, 7).letterOffsets.at(6) < 30.0);
        QVERIFY(std::abs(splashValuesAt(2.4, 7).letterOffsets.at(6)) < 0.5);
        QCOMPARE(splashValuesAt(0.3, 7).glow, 0.0);
        QCOMPARE(splashValuesAt(2.4, 7).glow, 1.0);
        QCOMPARE(splashValuesAt(3.0, 7).opacity, 0.0);
        double lowest = 1.0;
        for (double t = 0; t < 1.0; t += 0.01)
            lowest = std::min(lowest, 1.0 - springProgress(t, 0.6, 0.7));
        QVERIFY(lowest < 0.0); // damping below 1 overshoots
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
