// SPDX-License-Identifier: GPL-3.0-or-later
// The nodes pane driven by synthetic mouse and key events on the offscreen platform: sorting,
// selecting in step with the session, editing a cell, the row buttons, the "Set Type" menu and
// the animated scroll to the selection.

#include "support/builders.h"
#include "support/pixels.h"

#include "model/project_session.h"
#include "panes/nodes_pane.h"
#include "panes/pane_style.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

ProjectData threeNodes()
{
    return test::projectWith({{.id = 1, .name = u"b"_s, .type = u"Switch"_s, .ip = u"10.0.0.10"_s},
                              {.id = 2, .name = u"A"_s, .type = u"AP"_s, .ip = u"10.0.0.9"_s},
                              {.id = 3, .name = u"c"_s, .type = u"router"_s, .ip = u"9.0.0.1"_s}});
}

// Nodes "n000", "n001", ... listed in id order.
ProjectData numberedNodes(int count)
{
    QList<NodeData> nodes;
    for (int i = 0; i < count; ++i)
        nodes.append({.id = i + 1, .name = u"n%1"_s.arg(i, 3, 10, QChar(u'0'))});
    return test::projectWith(nodes);
}

QList<qint64> ids(const QList<NodeData>& nodes)
{
    QList<qint64> list;
    for (const NodeData& n : nodes)
        list.append(n.id);
    return list;
}

// A pane on its own session, shown.
struct Pane {
    explicit Pane(ProjectData project = threeNodes()) : document(std::move(project))
    {
        pane.show();
    }
    QWidget* viewport() const { return pane.tableView()->viewport(); }
    QPoint cell(qint64 id, int column) const { return pane.cellRect(id, column).center(); }

    ProjectDocument document;
    ProjectSession session{&document};
    NodesPane pane{&session};
};

} // namespace

class TestNodesPane final : public QObject {
    Q_OBJECT
private slots:
    void sortButtons()
    {
        Pane p;
        NodesPane& pane = p.pane;
        QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 1, 3}));
        QTest::mouseClick(pane.sortButton(NodeField::type), Qt::LeftButton);
        QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 3, 1}));
        QTest::mouseClick(pane.sortButton(NodeField::type), Qt::LeftButton);
        QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{1, 3, 2}));
        QTest::mouseClick(pane.sortButton(NodeField::ip), Qt::LeftButton);
        QCOMPARE(pane.tableView()->model()->index(0, NodesPane::ipColumn).data(), u"9.0.0.1"_s);
        // A project change re-sorts; a change that leaves the nodes alone does not rebuild the
        // rows; undoing a node edit does.
        QSignalSpy resets(pane.tableView()->model(), &QAbstractItemModel::modelReset);
        p.document.modify([](ProjectData& d) { d.nodes[1].ip = u"1.0.0.0"_s; });
        QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 3, 1}));
        p.session.pushUndoSnapshot();
        p.document.modify([](ProjectData& d) { d.viewSettings.zoom = 2.0; });
        QCOMPARE(resets.size(), 1);
        p.session.pushUndoSnapshot();
        p.document.modify([](ProjectData& d) { d.nodes[2].ip = u"0.0.0.1"_s; });
        QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{3, 2, 1}));
        p.session.undo();
        QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 3, 1}));
        QCOMPARE(resets.size(), 3);
    }

    // Shift adds, otherwise Ctrl toggles, otherwise the row alone; the table shows the
    // session's selection and the bulk line counts it.
    void clickSelection()
    {
        Pane p;
        const auto click = [&](qint64 id, Qt::KeyboardModifiers modifiers) {
            QTest::mouseClick(p.viewport(), Qt::LeftButton, modifiers,
                              p.cell(id, NodesPane::typeColumn));
            return p.session.selectedNodes();
        };
        QCOMPARE(click(1, Qt::NoModifier), QSet<qint64>{1});
        QVERIFY(!p.pane.isBulkTypeRowShown());
        click(2, Qt::ShiftModifier);
        QCOMPARE(click(3, Qt::ShiftModifier), (QSet<qint64>{1, 2, 3}));
        QVERIFY(p.pane.isBulkTypeRowShown());
        QCOMPARE(p.pane.bulkTypeLabel()->text(), u"Set type for 3 selected nodes"_s);
        QCOMPARE(click(2, Qt::ShiftModifier), (QSet<qint64>{1, 2, 3})); // Shift only adds
        QCOMPARE(click(2, Qt::ControlModifier), (QSet<qint64>{1, 3}));
        QCOMPARE(click(2, Qt::ControlModifier), (QSet<qint64>{1, 2, 3}));
        QCOMPARE(click(2, Qt::ShiftModifier | Qt::ControlModifier), (QSet<qint64>{1, 2, 3}));
        QCOMPARE(click(3, Qt::NoModifier), QSet<qint64>{3});
        QVERIFY(!p.pane.isBulkTypeRowShown());
        QCOMPARE(p.session.undoStack().size(), 0);
    }

    // Return, Enter, Tab (which then edits the next field) or a click elsewhere commit what was
    // typed (one snapshot, re-sorted);
    // Escape cancels, even where the window has an Escape shortcut of its own. Pasted line
    // breaks become spaces.
    void finishingAnEdit_data()
    {
        QTest::addColumn<QString>("typed"); // into the name of node "b"
        QTest::addColumn<int>("finish");    // a key, or 0 for a click elsewhere
        QTest::addColumn<QString>("stored");
        QTest::newRow("Return, as typed") << u"Zulu "_s << int(Qt::Key_Return) << u"Zulu "_s;
        QTest::newRow("Enter") << u"x"_s << int(Qt::Key_Enter) << u"x"_s;
        QTest::newRow("Tab") << u"x"_s << int(Qt::Key_Tab) << u"x"_s;
        QTest::newRow("click elsewhere") << u"x"_s << 0 << u"x"_s;
        QTest::newRow("Escape") << u"x"_s << int(Qt::Key_Escape) << u"b"_s;
        QTest::newRow("pasted line breaks")
            << u"R\r\nA\u2028B"_s << int(Qt::Key_Return) << u"R A B"_s;
    }
    void finishingAnEdit()
    {
        QFETCH(QString, typed);
        QFETCH(int, finish);
        QFETCH(QString, stored);
        Pane p;
        auto* escape = new QAction(&p.pane);
        escape->setShortcut(Qt::Key_Escape);
        escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        p.pane.addAction(escape);
        QSignalSpy escapes(escape, &QAction::triggered);
        p.pane.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p.pane));

        QTest::mouseDClick(p.viewport(), Qt::LeftButton, {}, p.cell(1, NodesPane::nameColumn));
        QCOMPARE(p.pane.editingField(), NodeField::name);
        QCOMPARE(p.pane.editor()->text(), u"b"_s);
        QCOMPARE(p.pane.editor()->geometry(), p.pane.cellRect(1, NodesPane::nameColumn));
        QCOMPARE(p.session.selectedNodes(), QSet<qint64>{1});
        if (typed.contains(u'\n')) {
            QGuiApplication::clipboard()->setText(typed);
            p.pane.editor()->paste();
        } else {
            QTest::keyClicks(p.pane.editor(), typed);
        }
        if (finish)
            QTest::keyClick(p.pane.editor(), Qt::Key(finish));
        else
            p.pane.addButton()->setFocus(Qt::MouseFocusReason);
        // Tab goes on to edit the same node's type.
        const bool tab = finish == Qt::Key_Tab;
        QCOMPARE(p.pane.editingField(), tab ? std::optional(NodeField::type) : std::nullopt);
        QCOMPARE(p.pane.editor() != nullptr, tab);
        QCOMPARE(p.session.project().nodes.at(0).name, stored);
        QCOMPARE(p.session.undoStack().size(), stored == u"b"_s ? 0 : 1);
        const QList<qint64> order =
            stored == u"b"_s ? QList<qint64>{2, 1, 3} : QList<qint64>{2, 3, 1};
        QCOMPARE(ids(p.pane.displayedNodes()), order);
        QCOMPARE(escapes.size(), 0);
    }

    void editingReplacedAndDeleted()
    {
        Pane p;
        NodesPane& pane = p.pane;
        pane.startEditing(1, NodeField::name);
        QTest::keyClicks(pane.editor(), u"lost"_s);
        pane.startEditing(3, NodeField::ip); // replaces the first edit without committing it
        QCOMPARE(pane.editingNodeId(), 3);
        QCOMPARE(pane.editor()->text(), u"9.0.0.1"_s);
        QCOMPARE(p.session.project().nodes.at(0).name, u"b"_s);

        // Another change to the project keeps the edit, as typed, in its cell.
        pane.editor()->end(false);
        QTest::keyClicks(pane.editor(), u"9"_s);
        p.document.modify([](ProjectData& d) { d.nodes[0].name = u"0"_s; });
        QCOMPARE(pane.editor()->text(), u"9.0.0.19"_s);

        // The node goes away and the field with it; an undo brings both back.
        p.session.deleteNode(3);
        QVERIFY(!pane.editor());
        p.session.undo();
        QCOMPARE(pane.editor()->text(), u"9.0.0.19"_s);
        QCOMPARE(pane.editor()->geometry(), pane.cellRect(3, NodesPane::ipColumn));
        // Gone again: the commit is ignored.
        p.session.deleteNode(3);
        const qsizetype snapshots = p.session.undoStack().size();
        pane.commitEdit();
        QVERIFY(!pane.editingNodeId());
        QCOMPARE(p.session.undoStack().size(), snapshots);
        QCOMPARE(p.session.project().nodes.size(), 2);
    }

    void rowButtons()
    {
        Pane p(test::projectWith(
            threeNodes().nodes,
            {{.id = 1, .points = {test::nodePoint(1), test::nodePoint(2), test::nodePoint(3)}}}));
        QTest::mouseClick(p.viewport(), Qt::LeftButton, {}, p.cell(1, NodesPane::duplicateColumn));
        QCOMPARE(p.pane.displayedNodes().size(), 4);
        // Deleting the middle node of a cable removes the whole cable.
        QTest::mouseClick(p.viewport(), Qt::LeftButton, {}, p.cell(2, NodesPane::deleteColumn));
        QCOMPARE(p.pane.displayedNodes().size(), 3);
        QVERIFY(p.session.project().cables.isEmpty());
    }

    void bulkTypeMenu()
    {
        ProjectData project = threeNodes();
        project.nodes[2].type = u"R&D"_s;
        Pane p(project);
        p.session.ensureTypeColors();
        p.session.setSelectedNodes({1, 2});
        QCOMPARE(p.pane.bulkTypeLabel()->text(), u"Set type for 2 selected nodes"_s);

        // Entries as shown: iconText() resolves mnemonic markers, so "R&D" must keep its "&".
        QStringList entries;
        const QList<QAction*> actions = p.pane.setTypeMenu()->actions();
        for (QAction* action : actions)
            entries << (action->isSeparator() ? u"-"_s : action->iconText());
        QCOMPARE(entries, (QStringList{u"AP"_s, u"R&D"_s, u"Switch"_s, u"-"_s, u"Custom"_s}));
        // The pencil stands out on the menu's own background.
        QAction* custom = actions.last();
        QImage shown(16, 16, QImage::Format_ARGB32);
        shown.fill(p.pane.setTypeMenu()->palette().color(QPalette::Window));
        QPainter(&shown).drawPixmap(0, 0, custom->icon().pixmap(16, 16));
        QVERIFY(test::countNotNear(shown, shown.pixelColor(0, 0), 100) > 5);

        actions.at(1)->trigger(); // "R&D"
        QCOMPARE(p.session.project().nodes.at(0).type, u"R&D"_s);
        QCOMPARE(p.session.project().nodes.at(1).type, u"R&D"_s);
        QSignalSpy spy(&p.pane, &NodesPane::customTypeRequested);
        custom->trigger();
        QCOMPARE(spy.size(), 1);
    }

    void buttons()
    {
        Pane p(ProjectData{});
        NodesPane& pane = p.pane;
        QSignalSpy exports(&pane, &NodesPane::exportRequested);
        QSignalSpy imports(&pane, &NodesPane::importRequested);
        QVERIFY(!pane.exportButton()->isEnabled());
        QTest::mouseClick(pane.importButton(), Qt::LeftButton);
        QCOMPARE(imports.size(), 1);
        QTest::mouseClick(pane.addButton(), Qt::LeftButton);
        QCOMPARE(pane.displayedNodes().size(), 1);
        QTest::mouseClick(pane.exportButton(), Qt::LeftButton);
        QCOMPARE(exports.size(), 1);
        p.session.deleteNode(1);
        QVERIFY(!pane.exportButton()->isEnabled());

        QSignalSpy collapsed(&pane, &NodesPane::nodesPaneCollapsedChanged);
        QTest::mouseClick(pane.collapseButton(), Qt::LeftButton);
        QVERIFY(pane.nodesPaneCollapsed() && !pane.tableView()->isVisible());
        QTest::mouseClick(pane.expandButton(), Qt::LeftButton);
        QCOMPARE(collapsed.size(), 2);
    }

    void selectedRowIsPainted()
    {
        Pane p;
        p.pane.setStyleSheet(paneStyleSheet());
        p.session.setSelectedNodes({3});
        const QImage image = p.pane.grab().toImage();
        const auto colourAt = [&](qint64 id) {
            // The blank right end of the address cell.
            const QRect cell = p.pane.cellRect(id, NodesPane::ipColumn);
            const QPoint at = p.viewport()->mapTo(&p.pane, cell.topRight() + QPoint(-2, 2));
            return image.pixelColor(at * image.devicePixelRatio());
        };
        // 30 % of the accent over the dark pane: neither the pane's grey nor a full highlight.
        QVERIFY(test::colorsNear(colourAt(1), paneColor::background, 2));
        QVERIFY2(test::colorsNear(colourAt(3), QColor(42, 63, 90), 4),
                 qPrintable(colourAt(3).name()));
    }

    void scrollsToNewSelection()
    {
        Pane p(numberedNodes(200));
        QVERIFY(QTest::qWaitForWindowExposed(&p.pane));
        QTableView* table = p.pane.tableView();
        QCOMPARE(table->height(), NodesPane::maxListHeight);
        const auto centred = [&](qint64 id) {
            const QRect cell = p.pane.cellRect(id, NodesPane::nameColumn);
            return qAbs(cell.center().y() - table->viewport()->height() / 2) <= cell.height();
        };
        p.session.setSelectedNodes({151});
        QTRY_VERIFY(centred(151));
        // Adding to the selection scrolls to the new member; keeping it does not scroll.
        p.session.setSelectedNodes({151, 20});
        QTRY_VERIFY(centred(20));
        auto* animation = p.pane.findChild<QPropertyAnimation*>();
        QTRY_COMPARE(animation->state(), QAbstractAnimation::Stopped);
        const int settled = table->verticalScrollBar()->value();
        p.session.setSelectedNodes({20});
        QCOMPARE(animation->state(), QAbstractAnimation::Stopped);
        QCOMPARE(table->verticalScrollBar()->value(), settled);

        // A node added by the pane is listed (last, by name) and brought into view.
        QTest::mouseClick(p.pane.addButton(), Qt::LeftButton);
        QTRY_VERIFY(table->viewport()->rect().contains(p.pane.cellRect(201, 0)));
    }

    // The first click of a double click selects the row and starts the animated scroll; the
    // edit belongs to the node under that first click, not to whatever row has scrolled under
    // the pointer.
    void doubleClickEditsNodeUnderFirstClick()
    {
        Pane p(numberedNodes(40));
        QVERIFY(QTest::qWaitForWindowExposed(&p.pane));
        const qint64 id = p.pane.nodeIdAtRow(6); // visible, below the centre
        const QPoint at = p.cell(id, NodesPane::typeColumn);
        QTest::mouseClick(p.viewport(), Qt::LeftButton, {}, at);
        auto* scroll = p.pane.findChild<QPropertyAnimation*>();
        QVERIFY(scroll && scroll->state() == QAbstractAnimation::Running);
        scroll->pause();
        scroll->setCurrentTime(120);
        QVERIFY(p.pane.tableView()->indexAt(at).row() != 6); // another row is under it now
        QTest::mouseDClick(p.viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(p.pane.editingNodeId(), id);
        QCOMPARE(p.pane.editingField(), NodeField::type);
        QCOMPARE(p.session.selectedNodes(), QSet<qint64>{id});
    }
};

QTEST_MAIN(TestNodesPane)
#include "tst_nodes_pane.moc"
