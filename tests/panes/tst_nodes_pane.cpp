// SPDX-License-Identifier: GPL-3.0-or-later
// The nodes pane: sort order, add and edit operations on the session, and the widget driven by
// synthetic mouse and key events on the offscreen platform.

#include "model/project_session.h"
#include "panes/nodes_pane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <limits>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

NodeData node(qint64 id, const QString& name, const QString& type = u"Device"_s,
              const QString& ip = u"10.0.0.1"_s)
{
    NodeData n;
    n.id = id;
    n.name = name;
    n.type = type;
    n.ip = ip;
    return n;
}

QList<qint64> ids(const QList<NodeData>& nodes)
{
    QList<qint64> list;
    for (const NodeData& n : nodes)
        list.append(n.id);
    return list;
}

// Nodes "n000", "n001", ... listed in id order.
ProjectData numberedNodes(int count)
{
    ProjectData project;
    for (int i = 0; i < count; ++i)
        project.nodes.append(node(i + 1, u"n%1"_s.arg(i, 3, 10, QChar(u'0'))));
    project.nextNodeId = count + 1;
    return project;
}

ProjectData threeNodes()
{
    ProjectData project;
    project.nodes = {node(1, u"b"_s, u"Switch"_s, u"10.0.0.10"_s),
                     node(2, u"A"_s, u"AP"_s, u"10.0.0.9"_s),
                     node(3, u"c"_s, u"router"_s, u"9.0.0.1"_s)};
    project.nextNodeId = 4;
    return project;
}

} // namespace

class TestNodesPane final : public QObject {
    Q_OBJECT
private slots:
    void addressKeys_data();
    void addressKeys();
    void sortOrder_data();
    void sortOrder();
    void addNodeOperation();
    void commitOperation();
    void sortButtons();
    void clickSelection();
    void editing();
    void editingReplacedAndDeleted();
    void rowButtons();
    void bulkTypeMenu();
    void exportImportButtons();
    void collapse();
    void selectedRowIsPainted();
    void scrollsToNewSelection();
    void doubleClickEditsNodeUnderFirstClick_data();
    void doubleClickEditsNodeUnderFirstClick();
    void pastedLineBreaksBecomeSpaces_data();
    void pastedLineBreaksBecomeSpaces();
};

void TestNodesPane::addressKeys_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QList<qint64>>("key");
    QTest::newRow("dotted") << u"10.0.0.9"_s << QList<qint64>{10, 0, 0, 9};
    QTest::newRow("empty pieces") << u".10..0."_s << QList<qint64>{10, 0};
    QTest::newRow("host name") << u"printer"_s << QList<qint64>{};
    QTest::newRow("mixed") << u"host.5.x1.7"_s << QList<qint64>{5, 7};
    QTest::newRow("signs") << u"+5.-3"_s << QList<qint64>{5, -3};
    QTest::newRow("too large") << u"99999999999999999999.1"_s << QList<qint64>{1};
    QTest::newRow("blank inside") << u"1. 2"_s << QList<qint64>{1};
}

void TestNodesPane::addressKeys()
{
    QFETCH(QString, address);
    QFETCH(QList<qint64>, key);
    QCOMPARE(addressSortKey(address), key);
}

void TestNodesPane::sortOrder_data()
{
    QTest::addColumn<QList<NodeData>>("nodes");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QList<qint64>>("order");

    const QList<NodeData> names{node(1, u"b"_s), node(2, u"A"_s), node(3, u"c"_s)};
    QTest::newRow("name up") << names << sortKeyName << true << QList<qint64>{2, 1, 3};
    QTest::newRow("name down") << names << sortKeyName << false << QList<qint64>{3, 1, 2};
    const QList<NodeData> twins{node(1, u"Router"_s), node(2, u"AP"_s), node(3, u"router"_s),
                                node(4, u"Router"_s)};
    QTest::newRow("equal names keep order up")
        << twins << sortKeyName << true << QList<qint64>{2, 1, 3, 4};
    QTest::newRow("equal names keep order down")
        << twins << sortKeyName << false << QList<qint64>{1, 3, 4, 2};
    const QList<NodeData> types{node(1, u"x"_s, u"switch"_s), node(2, u"y"_s, u"AP"_s),
                                node(3, u"z"_s, u"Switch"_s)};
    QTest::newRow("type up") << types << sortKeyType << true << QList<qint64>{2, 1, 3};
    QTest::newRow("type down") << types << sortKeyType << false << QList<qint64>{1, 3, 2};
    const QList<NodeData> ips{
        node(1, u"a"_s, u"t"_s, u"10.0.0.10"_s), node(2, u"b"_s, u"t"_s, u"10.0.0.9"_s),
        node(3, u"c"_s, u"t"_s, u"9.0.0.1"_s),   node(4, u"d"_s, u"t"_s, u"printer"_s),
        node(5, u"e"_s, u"t"_s, u"10.0.0"_s),    node(6, u"f"_s, u"t"_s, u"scanner"_s)};
    QTest::newRow("ip up") << ips << sortKeyIp << true << QList<qint64>{4, 6, 3, 5, 2, 1};
    QTest::newRow("ip down") << ips << sortKeyIp << false << QList<qint64>{1, 2, 5, 3, 4, 6};
    QTest::newRow("unknown key keeps order") << names << u"x"_s << false << QList<qint64>{1, 2, 3};
    QTest::newRow("unicode lower-case")
        << QList<NodeData>{node(1, u"\u00C9cole"_s), node(2, u"\u00E9a"_s), node(3, u"z"_s)}
        << sortKeyName << true << QList<qint64>{3, 2, 1};
}

void TestNodesPane::sortOrder()
{
    QFETCH(QList<NodeData>, nodes);
    QFETCH(QString, column);
    QFETCH(bool, ascending);
    QFETCH(QList<qint64>, order);
    QCOMPARE(ids(sortedNodes(nodes, column, ascending)), order);
}

void TestNodesPane::addNodeOperation()
{
    ProjectDocument document;
    ProjectSession session(&document);
    QCOMPARE(addNode(session), 1);
    QCOMPARE(addNode(session), 2);
    const QList<NodeData>& nodes = session.project().nodes;
    QCOMPARE(nodes.size(), 2);
    QCOMPARE(nodes.at(0).name, u"New Node"_s);
    QCOMPARE(nodes.at(0).type, u"Device"_s);
    QCOMPARE(nodes.at(0).ip, u"192.168.1.101"_s);
    QCOMPARE(QPointF(nodes.at(0).x, nodes.at(0).y), QPointF(200, 200));
    QCOMPARE(QPointF(nodes.at(1).x, nodes.at(1).y), QPointF(250, 230));
    QCOMPARE(nodes.at(1).ip, u"192.168.1.102"_s);
    QCOMPARE(nodes.at(1).scale, 1.0);
    QCOMPARE(session.project().nextNodeId, 3);
    QCOMPARE(session.selectedNodes(), QSet<qint64>{2});
    QCOMPARE(session.undoStack().size(), 2);

    // Hidden types come back, and the address is not checked.
    session.hideAllTypes();
    document.modify([](ProjectData& p) { p.nextNodeId = 156; });
    addNode(session);
    QCOMPARE(session.project().nodes.last().ip, u"192.168.1.256"_s);
    QCOMPARE(session.visibleTypes(), QSet<QString>{u"Device"_s});

    // The last identifier is handed out (its address counted past the 64-bit range); then the
    // button is refused and writes nothing.
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    document.modify([](ProjectData& p) { p.nextNodeId = max - 1; });
    QCOMPARE(addNode(session), max - 1);
    QCOMPARE(session.project().nodes.last().ip, u"192.168.1.9223372036854775906"_s);
    const ProjectData full = session.project();
    QSignalSpy refused(&session, &ProjectSession::editRefused);
    QCOMPARE(addNode(session), std::nullopt);
    QCOMPARE(refused.count(), 1);
    QVERIFY(session.project() == full);
    QCOMPARE(session.undoStack().size(), 4);
}

void TestNodesPane::commitOperation()
{
    ProjectDocument document(threeNodes());
    ProjectSession session(&document);
    session.ensureTypeColors();
    session.hideAllTypes();

    QVERIFY(commitNodeEdit(session, 1, sortKeyName, QString()));
    QCOMPARE(session.project().nodes.at(0).name, QString());
    QVERIFY(commitNodeEdit(session, 1, sortKeyIp, u" 1.2.3.4 "_s));
    QCOMPARE(session.project().nodes.at(0).ip, u" 1.2.3.4 "_s);
    // The same type: colours and visibility untouched.
    QVERIFY(commitNodeEdit(session, 1, sortKeyType, u"Switch"_s));
    QVERIFY(session.visibleTypes().isEmpty());
    QCOMPARE(session.undoStack().size(), 3);
    // A new type gets a colour and every type is shown again.
    QVERIFY(commitNodeEdit(session, 2, sortKeyType, u"Camera"_s));
    QVERIFY(session.typeColorMap().contains(u"Camera"_s));
    QVERIFY(session.visibleTypes().contains(u"Camera"_s));
    QVERIFY(session.visibleTypes().contains(u"Switch"_s));
    // A node that is gone, or an unknown field: nothing, not even a snapshot.
    QVERIFY(!commitNodeEdit(session, 99, sortKeyName, u"x"_s));
    QVERIFY(!commitNodeEdit(session, 1, u"x"_s, u"x"_s));
    QCOMPARE(session.undoStack().size(), 4);
}

void TestNodesPane::sortButtons()
{
    ProjectDocument document(threeNodes());
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 1, 3}));
    QVERIFY(pane.sortButton(sortKeyName)->styleSheet().contains(u"rgba(74,222,128"_s));
    QVERIFY(pane.sortButton(sortKeyType)->styleSheet().contains(u"rgba(74,143,227"_s));

    QTest::mouseClick(pane.sortButton(sortKeyType), Qt::LeftButton);
    QCOMPARE(pane.sortColumn(), sortKeyType);
    QVERIFY(pane.sortAscending());
    QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 3, 1}));
    QVERIFY(pane.sortButton(sortKeyType)->styleSheet().contains(u"rgba(74,222,128"_s));
    QVERIFY(pane.sortButton(sortKeyName)->styleSheet().contains(u"rgba(74,143,227"_s));
    QTest::mouseClick(pane.sortButton(sortKeyType), Qt::LeftButton);
    QVERIFY(!pane.sortAscending());
    QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{1, 3, 2}));
    QTest::mouseClick(pane.sortButton(sortKeyIp), Qt::LeftButton);
    QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{3, 2, 1}));
    // The table shows the same order, and a project change re-sorts.
    QCOMPARE(pane.tableView()->model()->index(0, 2).data().toString(), u"9.0.0.1"_s);
    QSignalSpy resets(pane.tableView()->model(), &QAbstractItemModel::modelReset);
    document.modify([](ProjectData& p) { p.nodes[1].ip = u"1.0.0.0"_s; });
    QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 3, 1}));
    QCOMPARE(resets.size(), 1);
    // A change that leaves the nodes alone does not rebuild the rows; undoing a node edit does.
    session.pushUndoSnapshot();
    document.modify([](ProjectData& p) { p.viewSettings.zoom = 2.0; });
    QCOMPARE(resets.size(), 1);
    session.pushUndoSnapshot();
    document.modify([](ProjectData& p) { p.nodes[2].ip = u"0.0.0.1"_s; });
    QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{3, 2, 1}));
    session.undo();
    QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 3, 1}));
    QCOMPARE(resets.size(), 3);
}

void TestNodesPane::clickSelection()
{
    ProjectDocument document(threeNodes());
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    QWidget* viewport = pane.tableView()->viewport();
    const auto click = [&](qint64 id, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(viewport, Qt::LeftButton, modifiers,
                          pane.cellRect(id, sortKeyType).center());
    };

    click(1, Qt::NoModifier);
    QCOMPARE(session.selectedNodes(), QSet<qint64>{1});
    QVERIFY(!pane.isBulkTypeRowShown());
    click(2, Qt::ShiftModifier);
    click(3, Qt::ShiftModifier);
    QCOMPARE(session.selectedNodes(), (QSet<qint64>{1, 2, 3}));
    QVERIFY(pane.isBulkTypeRowShown());
    QCOMPARE(pane.bulkTypeLabel()->text(), u"Set type for 3 selected nodes"_s);
    click(2, Qt::ShiftModifier); // Shift only adds
    QCOMPARE(session.selectedNodes(), (QSet<qint64>{1, 2, 3}));
    click(2, Qt::ControlModifier);
    QCOMPARE(session.selectedNodes(), (QSet<qint64>{1, 3}));
    click(2, Qt::ControlModifier);
    QCOMPARE(session.selectedNodes(), (QSet<qint64>{1, 2, 3}));
    click(2, Qt::ShiftModifier | Qt::ControlModifier); // Shift is tested first
    QCOMPARE(session.selectedNodes(), (QSet<qint64>{1, 2, 3}));
    click(3, Qt::NoModifier);
    QCOMPARE(session.selectedNodes(), QSet<qint64>{3});
    QVERIFY(!pane.isBulkTypeRowShown());
    QCOMPARE(session.undoStack().size(), 0);
}

void TestNodesPane::editing()
{
    ProjectDocument document(threeNodes());
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QWidget* viewport = pane.tableView()->viewport();

    // Escape: nothing changes and no snapshot.
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, pane.cellRect(1, sortKeyName).center());
    QCOMPARE(pane.editingNodeId(), 1);
    QCOMPARE(pane.editingField(), sortKeyName);
    QCOMPARE(pane.editingValue(), u"b"_s);
    QCOMPARE(session.selectedNodes(), QSet<qint64>{1});
    QVERIFY(pane.editor()->isVisible());
    QCOMPARE(pane.editor()->geometry(), pane.cellRect(1, sortKeyName));
    QTest::keyClicks(pane.editor(), u"zzz"_s);
    QTest::keyClick(pane.editor(), Qt::Key_Escape);
    QVERIFY(!pane.editingNodeId());
    QVERIFY(!pane.editor()->isVisible());
    QCOMPARE(session.project().nodes.at(0).name, u"b"_s);
    QCOMPARE(session.undoStack().size(), 0);

    // Return: one snapshot, the value as typed, and a re-sort by the new name.
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, pane.cellRect(1, sortKeyName).center());
    pane.editor()->selectAll();
    QTest::keyClicks(pane.editor(), u"Zulu "_s);
    QCOMPARE(pane.editingValue(), u"Zulu "_s);
    QTest::keyClick(pane.editor(), Qt::Key_Return);
    QCOMPARE(session.project().nodes.at(0).name, u"Zulu "_s);
    QCOMPARE(session.undoStack().size(), 1);
    QVERIFY(!pane.editingNodeId());
    QCOMPARE(ids(pane.displayedNodes()), (QList<qint64>{2, 3, 1}));

    // A type edit gives the new type a colour.
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, pane.cellRect(2, sortKeyType).center());
    QCOMPARE(pane.editingValue(), u"AP"_s);
    pane.editor()->selectAll();
    QTest::keyClicks(pane.editor(), u"Camera"_s);
    QTest::keyClick(pane.editor(), Qt::Key_Enter);
    QCOMPARE(session.project().nodes.at(1).type, u"Camera"_s);
    QVERIFY(session.typeColorMap().contains(u"Camera"_s));
    QCOMPARE(session.undoStack().size(), 2);

    // Clicking elsewhere commits, as leaving a field does in any desktop table.
    pane.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&pane));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, pane.cellRect(3, sortKeyIp).center());
    QTest::keyClicks(pane.editor(), u"127.0.0.3"_s);
    pane.addButton()->setFocus(Qt::MouseFocusReason);
    QCOMPARE(session.project().nodes.at(2).ip, u"127.0.0.3"_s);
    QCOMPARE(session.undoStack().size(), 3);
    QVERIFY(!pane.editor()->isVisible());
}

void TestNodesPane::editingReplacedAndDeleted()
{
    ProjectDocument document(threeNodes());
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();

    pane.startEditing(1, sortKeyName);
    pane.setEditingValue(u"lost"_s);
    pane.startEditing(3, sortKeyIp); // replaces the first edit without committing it
    QCOMPARE(pane.editingNodeId(), 3);
    QCOMPARE(pane.editingValue(), u"9.0.0.1"_s);
    QCOMPARE(pane.editor()->text(), u"9.0.0.1"_s);
    QCOMPARE(session.project().nodes.at(0).name, u"b"_s);

    // Another change to the project keeps the edit in its cell.
    document.modify([](ProjectData& p) { p.nodes[0].name = u"0"_s; });
    QCOMPARE(pane.editingNodeId(), 3);
    QCOMPARE(pane.editor()->geometry(), pane.cellRect(3, sortKeyIp));

    // The node goes away and the field with it; an undo brings both back.
    session.deleteNode(3);
    QVERIFY(!pane.editor()->isVisible());
    session.undo();
    QVERIFY(pane.editor()->isVisible());
    QCOMPARE(pane.editor()->geometry(), pane.cellRect(3, sortKeyIp));
    // Gone again: the commit is ignored.
    session.deleteNode(3);
    QVERIFY(!pane.editor()->isVisible());
    const qsizetype snapshots = session.undoStack().size();
    pane.setEditingValue(u"1.1.1.1"_s);
    pane.commitEdit();
    QVERIFY(!pane.editingNodeId());
    QCOMPARE(session.undoStack().size(), snapshots);
    QCOMPARE(session.project().nodes.size(), 2);
}

void TestNodesPane::rowButtons()
{
    ProjectData project = threeNodes();
    project.cables = {CableData{1,
                                {CablePointData{cablePointTypeNode, 0, 0, 1, 0},
                                 CablePointData{cablePointTypeNode, 0, 0, 2, 0},
                                 CablePointData{cablePointTypeNode, 0, 0, 3, 0}}}};
    project.nextCableId = 2;
    ProjectDocument document(project);
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    QWidget* viewport = pane.tableView()->viewport();
    QCOMPARE(pane.tableView()->model()->index(0, 3).data(Qt::ToolTipRole).toString(),
             u"Delete node"_s);
    QCOMPARE(pane.tableView()->model()->index(0, 4).data(Qt::ToolTipRole).toString(),
             u"Duplicate node"_s);
    QCOMPARE(pane.tableView()->model()->index(0, 3).data().toString(), u"\U0001F5D1"_s);
    QCOMPARE(pane.tableView()->model()->index(0, 4).data().toString(), u"\U0001F4CB"_s);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, pane.cellRect(1, u"duplicate"_s).center());
    QCOMPARE(session.project().nodes.size(), 4);
    QCOMPARE(pane.displayedNodes().size(), 4);
    // Deleting the middle node of a cable removes the whole cable.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, pane.cellRect(2, u"delete"_s).center());
    QCOMPARE(session.project().nodes.size(), 3);
    QVERIFY(session.project().cables.isEmpty());
    QCOMPARE(pane.displayedNodes().size(), 3);
}

void TestNodesPane::bulkTypeMenu()
{
    ProjectDocument document(threeNodes());
    document.modify([](ProjectData& p) { p.nodes[2].type = u"R&D"_s; });
    ProjectSession session(&document);
    session.ensureTypeColors();
    NodesPane pane(&session);
    pane.show();
    session.setSelectedNodes({1, 2});
    QVERIFY(pane.isBulkTypeRowShown());
    QCOMPARE(pane.bulkTypeLabel()->text(), u"Set type for 2 selected nodes"_s);
    QCOMPARE(pane.setTypeButton()->text(), u"Set Type"_s);
    QVERIFY(!pane.setTypeButton()->icon().isNull()); // "tag", drawn without an icon theme

    // Entries as shown: iconText() resolves mnemonic markers, so "R&D" must not lose its "&".
    QStringList entries;
    QAction* typeRD = nullptr;
    QAction* custom = nullptr;
    const QList<QAction*> actions = pane.setTypeMenu()->actions();
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (action->text() == u"Custom..."_s) {
            custom = action;
            continue;
        }
        entries.append(action->iconText());
        if (action->iconText() == u"R&D"_s)
            typeRD = action;
        QVERIFY(!action->icon().isNull()); // the type's colour
    }
    QCOMPARE(entries, (QStringList{u"AP"_s, u"R&D"_s, u"Switch"_s}));
    QVERIFY(custom && !custom->icon().isNull()); // "pencil", drawn to stand out on the menu
    const QImage pencil = custom->icon().pixmap(16, 16).toImage();
    const int menuLightness = pane.setTypeMenu()->palette().color(QPalette::Window).lightness();
    bool seen = false;
    for (int y = 0; y < pencil.height(); ++y)
        for (int x = 0; x < pencil.width(); ++x)
            seen |= qAlpha(pencil.pixel(x, y)) > 200 &&
                    std::abs(pencil.pixelColor(x, y).lightness() - menuLightness) > 100;
    QVERIFY(seen);

    QVERIFY(typeRD);
    typeRD->trigger();
    QCOMPARE(session.project().nodes.at(0).type, u"R&D"_s);
    QCOMPARE(session.project().nodes.at(1).type, u"R&D"_s);

    QSignalSpy spy(&pane, &NodesPane::customTypeRequested);
    custom->trigger();
    QCOMPARE(spy.size(), 1);
}

void TestNodesPane::exportImportButtons()
{
    ProjectDocument document;
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    QSignalSpy exports(&pane, &NodesPane::exportRequested);
    QSignalSpy imports(&pane, &NodesPane::importRequested);
    QCOMPARE(pane.exportButton()->toolTip(), u"Export nodes to CSV file"_s);
    QCOMPARE(pane.importButton()->toolTip(), u"Import nodes from CSV file"_s);
    QCOMPARE(pane.exportButton()->text(), u"CSV"_s);
    QCOMPARE(pane.addButton()->text(), u"+ Add Node"_s);

    QVERIFY(!pane.exportButton()->isEnabled());
    QTest::mouseClick(pane.exportButton(), Qt::LeftButton);
    QCOMPARE(exports.size(), 0);
    QTest::mouseClick(pane.importButton(), Qt::LeftButton);
    QCOMPARE(imports.size(), 1);

    QTest::mouseClick(pane.addButton(), Qt::LeftButton);
    QCOMPARE(session.project().nodes.size(), 1);
    QVERIFY(pane.exportButton()->isEnabled());
    QTest::mouseClick(pane.exportButton(), Qt::LeftButton);
    QCOMPARE(exports.size(), 1);

    session.deleteNode(session.project().nodes.first().id);
    QVERIFY(!pane.exportButton()->isEnabled());
}

void TestNodesPane::collapse()
{
    ProjectDocument document(threeNodes());
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    QSignalSpy spy(&pane, &NodesPane::nodesPaneCollapsedChanged);
    QCOMPARE(pane.width(), 410);
    QCOMPARE(pane.collapseButton()->toolTip(), u"Collapse Nodes pane"_s);
    QTest::mouseClick(pane.collapseButton(), Qt::LeftButton);
    QVERIFY(pane.nodesPaneCollapsed());
    QCOMPARE(pane.width(), 60);
    QVERIFY(pane.expandButton()->isVisible());
    QVERIFY(!pane.tableView()->isVisible());
    QCOMPARE(pane.expandButton()->toolTip(), u"Expand Nodes pane"_s);
    QTest::mouseClick(pane.expandButton(), Qt::LeftButton);
    QVERIFY(!pane.nodesPaneCollapsed());
    QCOMPARE(pane.width(), 410);
    QCOMPARE(spy.size(), 2);
}

void TestNodesPane::selectedRowIsPainted()
{
    ProjectDocument document(threeNodes());
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.resize(410, 400);
    pane.show();
    session.setSelectedNodes({3});

    const QImage image = pane.grab().toImage();
    QWidget* viewport = pane.tableView()->viewport();
    const auto colourAt = [&](qint64 id) {
        // The blank right end of the address cell.
        const QRect cell = pane.cellRect(id, sortKeyIp);
        const QPoint point = viewport->mapTo(&pane, QPoint(cell.right() - 2, cell.top() + 2));
        return image.pixelColor(point * image.devicePixelRatio());
    };
    const QColor selected = colourAt(3);
    const QColor plain = colourAt(1);
    // 30 % of (74, 143, 227) over the dark pane: clearly bluer than an unselected row.
    QVERIFY2(selected.blue() - plain.blue() > 40, qPrintable(selected.name() + plain.name()));
    QVERIFY(selected.blue() > selected.red() + 30);
    QVERIFY(qAbs(plain.red() - plain.blue()) < 10);
}

void TestNodesPane::scrollsToNewSelection()
{
    ProjectDocument document(numberedNodes(200));
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QTableView* table = pane.tableView();
    QCOMPARE(table->height(), NodesPane::maxListHeight);
    QCOMPARE(table->verticalScrollBar()->value(), 0);

    session.setSelectedNodes({151});
    const auto centred = [&](qint64 id) {
        const QRect cell = pane.cellRect(id, sortKeyName);
        return qAbs(cell.center().y() - table->viewport()->height() / 2) <= cell.height();
    };
    QTRY_VERIFY(centred(151));

    // Adding to the selection scrolls to the new member; keeping it does not scroll.
    session.setSelectedNodes({151, 20});
    QTRY_VERIFY(centred(20));
    // The scroll is animated: it has settled once the value holds for a whole animation span.
    int settled = table->verticalScrollBar()->value();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QTest::qWait(NodesPane::scrollDurationMs + 50);
            const int value = table->verticalScrollBar()->value();
            const bool held = value == settled;
            settled = value;
            return held;
        }(),
        10000);
    session.setSelectedNodes({20});
    QTest::qWait(300);
    QCOMPARE(table->verticalScrollBar()->value(), settled);

    // A node added by the pane is listed (last, by name) and brought into view.
    QTest::mouseClick(pane.addButton(), Qt::LeftButton);
    QCOMPARE(pane.nodeIdAtRow(200), 201);
    QTRY_VERIFY(table->viewport()->rect().contains(pane.cellRect(201, sortKeyName)));
    QCOMPARE(table->verticalScrollBar()->value(), table->verticalScrollBar()->maximum());
}

void TestNodesPane::doubleClickEditsNodeUnderFirstClick_data()
{
    QTest::addColumn<int>("msBetweenClicks");
    QTest::newRow("180 ms") << 180;
    QTest::newRow("120 ms") << 120;
    QTest::newRow("250 ms, scroll done") << 250;
}

// The first click of a double click selects the row and starts the animated scroll; the edit
// belongs to the node under that first click, not to whatever row has scrolled under the pointer.
void TestNodesPane::doubleClickEditsNodeUnderFirstClick()
{
    QFETCH(int, msBetweenClicks);
    ProjectDocument document(numberedNodes(40));
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QWidget* viewport = pane.tableView()->viewport();
    const qint64 id = pane.nodeIdAtRow(6); // visible, below the centre
    const QPoint at = pane.cellRect(id, sortKeyType).center();

    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    auto* scroll = pane.findChild<QPropertyAnimation*>();
    QVERIFY(scroll && scroll->state() == QAbstractAnimation::Running);
    scroll->pause();
    scroll->setCurrentTime(msBetweenClicks);
    QVERIFY(pane.tableView()->indexAt(at).row() != 6); // another row is under the pointer now
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);

    QCOMPARE(pane.editingNodeId(), id);
    QCOMPARE(pane.editingField(), sortKeyType);
    QCOMPARE(session.selectedNodes(), QSet<qint64>{id});
}

void TestNodesPane::pastedLineBreaksBecomeSpaces_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("stored");
    QTest::newRow("LF") << u"Rack\nA"_s << u"Rack A"_s;
    QTest::newRow("CR") << u"Rack\rA"_s << u"Rack A"_s;
    QTest::newRow("CR LF") << u"Rack\r\nA"_s << u"Rack A"_s;
    QTest::newRow("NEL") << u"Rack\u0085A"_s << u"Rack A"_s;
    QTest::newRow("line separator") << u"Rack\u2028A"_s << u"Rack A"_s;
    QTest::newRow("paragraph separator") << u"Rack\u2029A"_s << u"Rack A"_s;
    QTest::newRow("vertical tab") << u"Rack\vA"_s << u"Rack A"_s;
    QTest::newRow("form feed") << u"Rack\fA"_s << u"Rack A"_s;
    QTest::newRow("around") << u"\nCore\n\nB\r"_s << u" Core  B "_s;
}

// A cell stays one line: line breaks pasted into it become spaces in the stored value.
void TestNodesPane::pastedLineBreaksBecomeSpaces()
{
    QFETCH(QString, pasted);
    QFETCH(QString, stored);
    ProjectDocument document(threeNodes());
    ProjectSession session(&document);
    NodesPane pane(&session);
    pane.show();
    pane.startEditing(1, sortKeyName);
    pane.editor()->selectAll();
    QGuiApplication::clipboard()->setText(pasted);
    pane.editor()->paste();
    QCOMPARE(pane.editingValue(), stored);
    QCOMPARE(pane.editor()->text(), stored);
    QTest::keyClick(pane.editor(), Qt::Key_Return);
    QCOMPARE(session.project().nodes.at(0).name, stored);
}

QTEST_MAIN(TestNodesPane)
#include "tst_nodes_pane.moc"
