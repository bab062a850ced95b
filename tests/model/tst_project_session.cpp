// SPDX-License-Identifier: GPL-3.0-or-later
// The editing session: undo history and what its snapshots cost, deletion rules, reset,
// identifier counters, selection signals; copy, paste and duplicate (names and addresses of
// copies, positions, cable remapping); type colours and layer visibility.

#include "support/builders.h"

#include "model/project_session.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>
#include <malloc.h>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

namespace {

using Ids = QList<qint64>;

// An edit as the panes make it: snapshot first, then one write through the document.
qint64 addNode(ProjectSession& session, const QString& name, const QString& type = u"Device"_s)
{
    session.pushUndoSnapshot();
    qint64 id = 0;
    session.document()->modify([&](ProjectData& p) {
        id = ProjectSession::allocateNodeId(p);
        p.nodes.append(NodeData{.id = id, .name = name, .type = type});
    });
    return id;
}

// Nodes 1..5; cable 1: 1-2, cable 2: 2-3, cable 3: 1-free-4-5 (runs through 4 to 5),
// cable 4: 3-free-free, cable 5: 4-5.
ProjectData network()
{
    QList<NodeData> nodes;
    for (qint64 id = 1; id <= 5; ++id)
        nodes.append(NodeData{.id = id, .name = u"N%1"_s.arg(id), .type = u"Device"_s});
    return projectWith(
        nodes, {cableBetween(1, 1, 2),
                cableBetween(2, 2, 3),
                {.id = 3, .points = {nodePoint(1), freePoint(5, 5), nodePoint(4), nodePoint(5)}},
                {.id = 4, .points = {nodePoint(3), freePoint(1, 1), freePoint(2, 2)}},
                cableBetween(5, 4, 5)});
}

// The identifiers of nodes or cables, in list order.
template <typename Record> QList<qint64> idsOf(const QList<Record>& records)
{
    QList<qint64> ids;
    for (const Record& r : records)
        ids.append(r.id);
    return ids;
}

// Bytes the allocator has handed out (small blocks and mmapped ones).
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

NodeData node(qint64 id, const QString& name, const QString& ip, double x = 0, double y = 0)
{
    return {.id = id, .name = name, .type = u"Switch"_s, .ip = ip, .x = x, .y = y, .scale = 1.5};
}

// Nodes 1 and 2 joined by cable 10 with a free bend; node 3 alone.
ProjectData joined()
{
    return projectWith(
        {node(1, u"Router"_s, u"192.168.1.10"_s, 100, 200),
         node(2, u"Switch"_s, u"switch.local"_s, 400, 200), node(3, u"AP"_s, u"10.0.0.254"_s)},
        {{.id = 10, .points = {nodePoint(1, 0.5), freePoint(250, 150), nodePoint(2, 3.0)}}});
}

// Nodes 1, 2, ... of the given types, in project order.
ProjectData withTypes(const QStringList& types)
{
    ProjectData p;
    for (const QString& type : types)
        p.nodes.append(NodeData{.id = p.nextNodeId++, .type = type});
    return p;
}

} // namespace

class TestProjectSession final : public QObject {
    Q_OBJECT

private slots:
    void undoHistory()
    {
        ProjectDocument doc;
        ProjectSession session(&doc);
        QSignalSpy changed(&doc, &ProjectDocument::changed);
        for (int i = 1; i <= 31; ++i)
            addNode(session, u"edit %1"_s.arg(i));
        QCOMPARE(session.undoStack().size(), 30);
        session.undo();
        session.redo();
        session.undo();
        // A new edit after undo: redo is gone, and the undone identifier is handed out again.
        QCOMPARE(addNode(session, u"again"_s), 31);
        QVERIFY(session.redoStack().isEmpty());
        QCOMPARE(changed.size(), 35);

        for (int i = 0; i < 31; ++i) // the 31st does nothing and reports nothing
            session.undo();
        QCOMPARE(changed.size(), 65);
        QCOMPARE(idsOf(session.project().nodes), Ids{1}); // the state after the first edit
        QCOMPARE(session.project().nextNodeId, 2);
        for (int i = 0; i < 31; ++i)
            session.redo();
        QCOMPARE(session.project().nodes.last().name, u"again"_s);
        QCOMPARE(session.undoStack().size(), 30);
    }

    // 30 snapshots of a project with a 50 MB image must not hold 30 copies of it.
    void snapshotsShareTheImage()
    {
        constexpr qsizetype imageSize = 50 * 1024 * 1024;
        ProjectData p;
        p.map = MapData{QByteArray(imageSize, 'x'), 100, 50, 1};
        for (qint64 id = 1; id <= 200; ++id)
            p.nodes.append(NodeData{.id = id, .name = u"n"_s});
        ProjectDocument doc(std::move(p));
        ProjectSession session(&doc);
        const char* image = doc.projectData().map->imageData->constData();

        const qint64 heapBefore = heapInUse();
        // Thirty-five edits that touch nodes and the map position, none the image.
        for (int i = 0; i < 35; ++i) {
            session.pushUndoSnapshot();
            doc.modify([i](ProjectData& d) {
                d.nodes[i].x += 10;
                d.map->positionX += 1;
            });
        }
        session.undo();
        session.undo();
        session.redo();
        const qint64 heapAfter = heapInUse();

        QCOMPARE(doc.projectData().map->imageData->constData(), image);
        for (const ProjectData& snapshot : session.undoStack() + session.redoStack())
            QCOMPARE(snapshot.map->imageData->constData(), image);
        // The edits themselves (node lists, small records) cost far less than one more image.
        QVERIFY2(heapAfter - heapBefore < imageSize / 10,
                 qPrintable(u"heap grew by %1 bytes"_s.arg(heapAfter - heapBefore)));
    }

    void undoKeepsSelectionAndColoursNewTypes()
    {
        ProjectDocument doc;
        ProjectSession session(&doc);
        const qint64 a = addNode(session, u"A"_s, u"Router"_s);
        session.ensureTypeColors();
        session.setSelectedNodes({a});
        session.deleteSelection();
        session.setSelectedNodes({42});
        session.hideAllTypes();
        session.clearTypeColorMap();

        session.undo();
        QCOMPARE(session.selectedNodes(), QSet<qint64>{42});
        QVERIFY(session.typeColorMap().contains(u"Router"_s));
        QCOMPARE(session.visibleTypes(), QSet<QString>{u"Router"_s});
        session.hideAllTypes();
        session.redo();
        QCOMPARE(session.visibleTypes(), QSet<QString>{u"Router"_s});
    }

    void deleteRules_data()
    {
        QTest::addColumn<Ids>("nodes");
        QTest::addColumn<Ids>("cables");
        QTest::addColumn<Ids>("remainingNodes");
        QTest::addColumn<Ids>("remainingCables");

        // Cable 3 also joins 4 and 5, yet goes whole with node 1.
        QTest::newRow("node 1") << Ids{1} << Ids{} << Ids{2, 3, 4, 5} << Ids{2, 4, 5};
        QTest::newRow("node in the middle of a cable")
            << Ids{4} << Ids{} << Ids{1, 2, 3, 5} << Ids{1, 2, 4};
        QTest::newRow("two cables and a node") << Ids{3} << Ids{1, 5} << Ids{1, 2, 4, 5} << Ids{3};
        QTest::newRow("cables only, one unknown")
            << Ids{} << Ids{4, 99} << Ids{1, 2, 3, 4, 5} << Ids{1, 2, 3, 5};
    }

    void deleteRules()
    {
        QFETCH(Ids, nodes);
        QFETCH(Ids, cables);
        QFETCH(Ids, remainingNodes);
        QFETCH(Ids, remainingCables);

        ProjectDocument doc(network());
        ProjectSession session(&doc);
        session.setSelection(QSet<qint64>(nodes.cbegin(), nodes.cend()),
                             QSet<qint64>(cables.cbegin(), cables.cend()),
                             toCable(network().cables.at(1)));
        session.deleteSelection();

        QCOMPARE(idsOf(session.project().nodes), remainingNodes);
        QCOMPARE(idsOf(session.project().cables), remainingCables);
        QVERIFY(session.selectedNodes().isEmpty() && session.selectedCableIds().isEmpty());
        QVERIFY(!session.selectedCable());
    }

    // An edit with nothing to act on records no undo step and writes nothing.
    void editsWithNothingToActOnRecordNothing()
    {
        ProjectDocument doc(network());
        ProjectSession session(&doc);
        QSignalSpy changed(&doc, &ProjectDocument::changed);
        session.deleteSelection();
        session.deleteFocusedCable();
        session.deleteCommand();
        session.deleteNode(99);
        session.duplicateNode(99);
        session.applyTypeToSelection(u"B"_s);
        session.setSelection({}, {1}, std::nullopt); // a cable alone is not pasted: no node
        session.copySelection();
        session.pasteClipboard();
        QVERIFY(session.undoStack().isEmpty());
        QCOMPARE(changed.size(), 0);
        QVERIFY(!session.typeColorMap().contains(u"B"_s));
    }

    void deleteNodeFromTheTableKeepsTheRestOfTheSelection()
    {
        ProjectData p = network();
        p.cables.append(CableData{.id = 6, .points = {nodePoint(2), nodePoint(404)}});
        ProjectDocument doc(p);
        ProjectSession session(&doc);
        session.setSelection({2, 5}, {4}, std::nullopt);
        session.deleteNode(5);
        QCOMPARE(idsOf(session.project().nodes), (Ids{1, 2, 3, 4}));
        // Cables at node 5 go whole; a point naming a node that does not exist stays.
        QCOMPARE(idsOf(session.project().cables), (Ids{1, 2, 4, 6}));
        QCOMPARE(session.project().cables.last().points.last().nodeId, 404);
        QCOMPARE(session.selectedNodes(), QSet<qint64>{2});
        QCOMPARE(session.selectedCableIds(), QSet<qint64>{4});
        QCOMPARE(session.undoStack().size(), 1);
    }

    void deleteKeyPrefersTheFocusedCable()
    {
        ProjectDocument doc(network());
        ProjectSession session(&doc);
        session.setSelection({1}, {5}, toCable(network().cables.at(1)));
        session.deleteCommand();
        // Only the focused cable goes; the node and cable selections stay.
        QCOMPARE(idsOf(session.project().cables), (Ids{1, 3, 4, 5}));
        QVERIFY(!session.selectedCable());
        QCOMPARE(session.selectedNodes(), QSet<qint64>{1});
        session.deleteCommand();
        QCOMPARE(idsOf(session.project().nodes), (Ids{2, 3, 4, 5}));
        QCOMPARE(idsOf(session.project().cables), (Ids{4}));
        QCOMPARE(session.undoStack().size(), 2);
    }

    void resetEverything()
    {
        ProjectData kept{.schemaVersion = 4,
                         .projectName = u"Office"_s,
                         .viewSettings = {2.0, 10, 20, 0.4, 0.6}, // zoom and pan are the view's
                         .typeColors = {{u"Device"_s, 1, 0, 0}}};
        ProjectData p = network();
        p.schemaVersion = kept.schemaVersion;
        p.projectName = kept.projectName;
        p.map = MapData{.imageData = QByteArray("image")};
        p.viewSettings = kept.viewSettings;
        p.typeColors = kept.typeColors;
        ProjectDocument doc(p);
        ProjectSession session(&doc);
        session.ensureTypeColors();
        session.toggleType(u"Device"_s);
        session.setRoot(3);
        session.setSelection({1}, {2}, toCable(p.cables.first()));
        addNode(session, u"extra"_s);
        const ProjectData beforeReset = session.project();

        QSignalSpy viewReset(&session, &ProjectSession::viewResetRequested);
        session.resetEverything();
        QCOMPARE(viewReset.size(), 1);
        QVERIFY(session.project() == kept);
        QVERIFY(session.typeColorMap().isEmpty());
        QVERIFY(session.visibleTypes().isEmpty()); // kept as it was: Device was hidden
        QCOMPARE(session.rootNodeId(), 3);
        QVERIFY(session.selectedNodes().isEmpty() && session.selectedCableIds().isEmpty());
        QVERIFY(!session.selectedCable());

        // Identifiers restart at 1.
        QCOMPARE(addNode(session, u"first"_s), 1);
        session.undo();
        session.undo();
        QVERIFY(session.project() == beforeReset);
    }

    void everyEditRecordsOneUndoStep_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char* op :
             {"deleteSelection", "deleteNode", "deleteFocusedCable", "deleteCommand",
              "resetEverything", "pasteClipboard", "duplicateNode", "applyTypeToSelection"})
            QTest::newRow(op) << QString::fromLatin1(op);
    }

    void everyEditRecordsOneUndoStep()
    {
        // Each edit takes exactly one snapshot of the project as it was, writes through the
        // document (so views hear of it), and one undo brings the project back unchanged.
        QFETCH(QString, operation);
        ProjectDocument doc(network());
        ProjectSession session(&doc);
        session.setSelection({2}, {5}, toCable(network().cables.at(3)));
        session.copySelection();
        QSignalSpy changed(&doc, &ProjectDocument::changed);

        if (operation == u"deleteSelection")
            session.deleteSelection();
        else if (operation == u"deleteNode")
            session.deleteNode(4);
        else if (operation == u"deleteFocusedCable")
            session.deleteFocusedCable();
        else if (operation == u"deleteCommand")
            session.deleteCommand();
        else if (operation == u"resetEverything")
            session.resetEverything();
        else if (operation == u"pasteClipboard")
            session.pasteClipboard();
        else if (operation == u"duplicateNode")
            session.duplicateNode(3);
        else if (operation == u"applyTypeToSelection")
            session.applyTypeToSelection(u"Camera"_s);

        QVERIFY(!changed.isEmpty());
        QVERIFY(!(session.project() == network()));
        QCOMPARE(session.undoStack().size(), 1);
        QVERIFY(session.undoStack().first() == network());
        session.undo();
        QVERIFY(session.project() == network());
        QCOMPARE(session.redoStack().size(), 1);
    }

    // An edit that would take an identifier past the largest 64-bit value is refused before it
    // writes anything: no snapshot, no change, one message saying what ran out.
    void idCountersRefuseToOverflow_data()
    {
        constexpr qint64 max = std::numeric_limits<qint64>::max();
        constexpr qint64 min = std::numeric_limits<qint64>::min();
        QTest::addColumn<QString>("operation"); // on nodes 1, 2, 4 and cable 5, all selected
        QTest::addColumn<qint64>("nextNodeId");
        QTest::addColumn<qint64>("nextCableId");
        QTest::addColumn<QString>("refusal"); // empty: the edit is made
        QTest::newRow("paste, room for all") << u"paste"_s << max - 3 << max - 1 << QString();
        QTest::newRow("paste, a node short")
            << u"paste"_s << max - 2 << max - 1
            << u"Cannot create 3 nodes: the project has only 2 node identifiers left "
               "(nextNodeId is 9223372036854775805). Nothing was changed."_s;
        QTest::newRow("paste, no cable left")
            << u"paste"_s << max - 3 << max
            << u"Cannot create 1 cable: the project has no cable identifiers left"_s;
        QTest::newRow("paste, negative counters") << u"paste"_s << min << min << QString();
        QTest::newRow("duplicate, none left")
            << u"duplicate"_s << max << qint64(1)
            << u"Cannot create 1 node: the project has no node identifiers left"_s;
        QTest::newRow("duplicate three, room for two")
            << u"duplicateSelected"_s << max - 2 << qint64(1)
            << u"Cannot create 3 nodes: the project has only 2"_s;
    }

    void idCountersRefuseToOverflow()
    {
        QFETCH(QString, operation);
        QFETCH(qint64, nextNodeId);
        QFETCH(qint64, nextCableId);
        QFETCH(QString, refusal);
        ProjectData start = network();
        start.nextNodeId = nextNodeId;
        start.nextCableId = nextCableId;
        ProjectDocument doc(start);
        ProjectSession session(&doc);
        session.setSelection({1, 2, 4}, {5}, std::nullopt);
        session.copySelection();
        QSignalSpy changed(&doc, &ProjectDocument::changed);
        QSignalSpy refused(&session, &ProjectSession::editRefused);

        qint64 nodesMade = 3;
        qint64 cablesMade = 0;
        if (operation == u"paste") {
            session.pasteClipboard();
            cablesMade = 1;
        } else if (operation == u"duplicate") {
            session.duplicateNode(2);
            nodesMade = 1;
        } else {
            session.duplicateSelectedNodes();
        }

        if (!refusal.isEmpty()) {
            QCOMPARE(refused.count(), 1);
            const QString message = refused.first().first().toString();
            QVERIFY2(message.startsWith(refusal), qPrintable(message));
            QVERIFY(session.project() == start);
            QCOMPARE(changed.count(), 0);
            QVERIFY(session.undoStack().isEmpty());
            return;
        }
        QCOMPARE(refused.count(), 0);
        QCOMPARE(session.project().nodes.size(), 5 + nodesMade);
        QCOMPARE(session.project().nodes.last().id, nextNodeId + nodesMade - 1);
        QCOMPARE(session.project().nextNodeId, nextNodeId + nodesMade);
        QCOMPARE(session.project().nextCableId, nextCableId + cablesMade);
    }

    void selectionSignalsOnlyOnChange()
    {
        ProjectDocument doc(network());
        ProjectSession session(&doc);
        QSignalSpy spy(&session, &ProjectSession::selectionChanged);
        session.setSelectedNodes({1, 2});
        session.setSelectedNodes({2, 1});
        session.setSelectedCable(std::nullopt);
        QCOMPARE(spy.size(), 1);
        session.setSelection({1, 2}, {3}, std::nullopt);
        session.selectAll(); // every node; the cable selection stays
        session.selectAll();
        QCOMPARE(session.selectedNodes(), (QSet<qint64>{1, 2, 3, 4, 5}));
        QCOMPARE(session.selectedCableIds(), QSet<qint64>{3});
        QCOMPARE(spy.size(), 3);
    }

    void nextCopyName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << u"Router"_s << u"Router (copy)"_s;
        QTest::newRow("copy") << u"Router (copy)"_s << u"Router (copy 2)"_s;
        QTest::newRow("copy 9") << u"Router (copy 9)"_s << u"Router (copy 10)"_s;
        QTest::newRow("leading zeros") << u"Router (copy 007)"_s << u"Router (copy 8)"_s;
        QTest::newRow("copy of copy") << u"A (copy) (copy 3)"_s << u"A (copy) (copy 4)"_s;
        QTest::newRow("empty") << QString() << u" (copy)"_s;
        QTest::newRow("trailing line break") << u"Router (copy)\n"_s << u"Router (copy)\n (copy)"_s;
        QTest::newRow("line break in the name")
            << u"Core\nRouter (copy)"_s << u"Core\nRouter (copy) (copy)"_s;
        QTest::newRow("non-ASCII digits") << u"R (copy ٣)"_s << u"R (copy ٣) (copy)"_s;
        QTest::newRow("too many digits") << u"R (copy 99999999999999999999)"_s << u"R (copy 2)"_s;
        // The largest 64-bit number has no successor: the name gains " (copy)".
        QTest::newRow("largest 64-bit number")
            << u"R (copy 9223372036854775807)"_s << u"R (copy 9223372036854775807) (copy)"_s;
    }

    void nextCopyName()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(velmora::nextCopyName(name), expected);
    }

    void nextAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << u"192.168.1.10"_s << u"192.168.1.11"_s;
        QTest::newRow("255 unchanged") << u"192.168.1.255"_s << u"192.168.1.255"_s;
        QTest::newRow("leading zeros") << u"010.000.000.001"_s << u"10.0.0.2"_s;
        QTest::newRow("piece skipped") << u"10.0.x.0.5"_s << u"10.0.0.6"_s;
        QTest::newRow("negative") << u"10.0.0.-1"_s << u"10.0.0.-1"_s;
        QTest::newRow("host name") << u"router.local"_s << u"router.local"_s;
        QTest::newRow("plus sign") << u"+10.0.0.+1"_s << u"10.0.0.2"_s;
        QTest::newRow("octet over 255") << u"256.0.0.1"_s << u"256.0.0.1"_s;
        QTest::newRow("huge piece skipped") << u"10.0.99999999999999999999.0.7"_s << u"10.0.0.8"_s;
        QTest::newRow("spaces are not digits") << u"10.0.0. 1"_s << u"10.0.0. 1"_s;
    }

    void nextAddress()
    {
        QFETCH(QString, address);
        QFETCH(QString, expected);
        QCOMPARE(velmora::nextAddress(address), expected);
    }

    void copyIsExactlyTheSelection()
    {
        ProjectDocument doc(joined());
        ProjectSession session(&doc);
        session.setSelection({3, 1}, {}, std::nullopt);
        session.copySelection();
        // Project order, not selection order; cables come only when selected themselves.
        QCOMPARE(session.clipboard(), (QList<NodeData>{joined().nodes[0], joined().nodes[2]}));
        QVERIFY(session.clipboardCables().isEmpty());
        QVERIFY(session.undoStack().isEmpty());
    }

    void pasteRemapsCables_data()
    {
        QTest::addColumn<Ids>("copiedNodes");
        QTest::addColumn<QList<CablePointData>>("expectedPoints");
        // Both ends copied: both attached points move to the copies, the free bend moves by 30.
        QTest::newRow("both nodes")
            << Ids{1, 2}
            << QList<CablePointData>{nodePoint(4, 0.5), freePoint(280, 180), nodePoint(5, 3.0)};
        // One end copied: that end moves to the copy, the other still names node 2.
        QTest::newRow("one node") << Ids{1}
                                  << QList<CablePointData>{nodePoint(4, 0.5), freePoint(280, 180),
                                                           nodePoint(2, 3.0)};
    }

    void pasteRemapsCables()
    {
        QFETCH(Ids, copiedNodes);
        QFETCH(QList<CablePointData>, expectedPoints);
        ProjectDocument doc(joined());
        ProjectSession session(&doc);
        session.setSelection(QSet<qint64>(copiedNodes.cbegin(), copiedNodes.cend()), {10},
                             std::nullopt);
        session.copySelection();
        session.pasteClipboard();

        const ProjectData& p = session.project();
        QCOMPARE(p.nodes.size(), 3 + copiedNodes.size());
        QCOMPARE(p.cables.size(), 2);
        QCOMPARE(p.cables.last().id, 11);
        QCOMPARE(p.cables.last().points, expectedPoints);
        QCOMPARE(p.cables.first(), joined().cables.first()); // the original is untouched
        QCOMPARE(p.nextCableId, 12);
        QCOMPARE(session.selectedCableIds(), QSet<qint64>{11});
        QCOMPARE(session.undoStack().size(), 1);
    }

    void pasteThreeTimes()
    {
        ProjectDocument doc(joined());
        ProjectSession session(&doc);
        session.setSelection({1}, {}, toCable(joined().cables.first()));
        session.copySelection();
        const QStringList names{u"Router (copy)"_s, u"Router (copy 2)"_s, u"Router (copy 3)"_s};
        for (int i = 1; i <= 3; ++i) {
            session.pasteClipboard();
            const NodeData& copy = session.project().nodes.last();
            QCOMPARE(copy, (NodeData{.id = 3 + i,
                                     .name = names.at(i - 1),
                                     .type = u"Switch"_s,
                                     .ip = u"192.168.1.1%1"_s.arg(i),
                                     .x = 100 + 30.0 * i,
                                     .y = 200 + 30.0 * i,
                                     .scale = 1.5}));
            // The clipboard is now the new nodes, and they are selected.
            QCOMPARE(session.clipboard(), QList<NodeData>{copy});
            QCOMPARE(session.selectedNodes(), QSet<qint64>{copy.id});
            QVERIFY(!session.selectedCable());
        }
        QCOMPARE(session.undoStack().size(), 3);
        session.undo();
        QCOMPARE(session.project().nodes.size(), 5);
        // Undo does not touch the clipboard.
        QCOMPARE(session.clipboard().first().name, u"Router (copy 3)"_s);
    }

    void pasteAfterTheSourcesWereDeleted()
    {
        ProjectDocument doc(joined());
        ProjectSession session(&doc);
        session.setSelection({1}, {10}, std::nullopt);
        session.copySelection();
        session.setSelection({1, 2}, {}, std::nullopt);
        session.deleteSelection();
        session.pasteClipboard();
        const ProjectData& p = session.project();
        QCOMPARE(p.nodes.size(), 2);
        QCOMPARE(p.nodes.last().name, u"Router (copy)"_s);
        QCOMPARE(p.cables.size(), 1);
        QCOMPARE(p.cables.first().points.first().nodeId, p.nodes.last().id);
        QCOMPARE(p.cables.first().points.last().nodeId, 2); // still names the deleted node
    }

    void duplicateInsertsAfterTheSource()
    {
        QList<NodeData> nodes;
        for (qint64 id = 1; id <= 5; ++id)
            nodes.append(node(id, u"N%1"_s.arg(id), u"host-%1"_s.arg(id), 10.0 * id, 5));
        const ProjectData p = projectWith(nodes, {cableBetween(1, 2, 3)});
        ProjectDocument doc(p);
        ProjectSession session(&doc);
        session.setSelection({1}, {1}, toCable(p.cables.first()));
        session.copySelection();
        session.duplicateNode(2);

        const ProjectData& after = session.project();
        QCOMPARE(idsOf(after.nodes), (Ids{1, 2, 6, 3, 4, 5}));
        // A host name stays as it is; cables are never copied.
        QCOMPARE(after.nodes.at(2), node(6, u"N2 (copy)"_s, u"host-2"_s, 50, 35));
        QCOMPARE(after.cables, p.cables);
        QCOMPARE(session.selectedNodes(), QSet<qint64>{6});
        QCOMPARE(session.selectedCableIds(), QSet<qint64>{1});
        QVERIFY(session.selectedCable());
        QCOMPARE(session.clipboard().first().id, 1);
    }

    void duplicateSelectedNodesTakesOneUndoEach()
    {
        ProjectDocument doc(joined());
        ProjectSession session(&doc);
        session.setSelectedNodes({1, 2, 3});
        session.duplicateSelectedNodes();
        QCOMPARE(session.project().nodes.size(), 6);
        QCOMPARE(session.undoStack().size(), 3);
        QCOMPARE(session.selectedNodes(), QSet<qint64>{6}); // the last copy made
        for (int i = 0; i < 3; ++i)
            session.undo();
        QVERIFY(session.project() == joined());
    }

    void ensureTypeColors_data()
    {
        QTest::addColumn<QStringList>("initialTypes");
        QTest::addColumn<QStringList>("addedTypes");
        QTest::addColumn<QStringList>("checkedTypes");
        QTest::addColumn<QList<int>>("paletteIndexes");

        QTest::newRow("first load")
            << QStringList{u"Router"_s, u"Switch"_s, u"Router"_s, u"AP"_s} << QStringList{}
            << QStringList{u"Router"_s, u"Switch"_s, u"AP"_s} << QList<int>{0, 1, 2};
        // New types take the colours no type has yet, whichever call brings them.
        QTest::newRow("import after three types")
            << QStringList{u"A"_s, u"B"_s, u"C"_s} << QStringList{u"Camera"_s, u"Sensor"_s}
            << QStringList{u"A"_s, u"Camera"_s, u"Sensor"_s} << QList<int>{0, 3, 4};
        QStringList twelve;
        QList<int> wrapped;
        for (int i = 0; i < 12; ++i) {
            twelve.append(u"T%1"_s.arg(i, 2, 10, QChar(u'0')));
            wrapped.append(i % 10);
        }
        QTest::newRow("more types than colours") << twelve << QStringList{} << twelve << wrapped;
    }

    void ensureTypeColors()
    {
        QFETCH(QStringList, initialTypes);
        QFETCH(QStringList, addedTypes);
        QFETCH(QStringList, checkedTypes);
        QFETCH(QList<int>, paletteIndexes);

        ProjectDocument doc(withTypes(initialTypes));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        if (!addedTypes.isEmpty()) {
            session.hideAllTypes(); // shown again: every coloured type is made visible
            for (const QString& type : addedTypes)
                addNode(session, type, type);
            session.ensureTypeColors();
        }
        for (qsizetype i = 0; i < checkedTypes.size(); ++i)
            QCOMPARE(session.typeColorMap().value(checkedTypes.at(i)),
                     colorPalette.at(paletteIndexes.at(i)));
        const QList<QString> keys = session.typeColorMap().keys();
        QCOMPARE(session.visibleTypes(), QSet<QString>(keys.cbegin(), keys.cend()));
        // Handing out colours records no undo step and does not write the project.
        QVERIFY(doc.projectData().typeColors.isEmpty());
    }

    void savedColourOverridesThePalette()
    {
        ProjectData p = withTypes({u"Router"_s, u"AP"_s});
        p.typeColors = {{u"Router"_s, 0.1, 0.2, 0.3}, {u"Gone"_s, 1, 1, 1}};
        ProjectDocument doc(p);
        ProjectSession session(&doc);
        session.ensureTypeColors();
        session.loadTypeColors();
        QCOMPARE(session.typeColorMap().value(u"Router"_s), (Rgb{0.1, 0.2, 0.3}));
        QCOMPARE(session.typeColorMap().value(u"AP"_s), colorPalette.at(1));
        QCOMPARE(session.typeColorMap().value(u"Gone"_s), (Rgb{1, 1, 1}));
    }

    void applyTypeToSelection()
    {
        QStringList types;
        for (int i = 0; i < 12; ++i)
            types.append(u"T%1"_s.arg(i));
        ProjectDocument doc(withTypes(types));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        QCOMPARE(session.typeColorMap().size(), 12);
        session.setSelectedNodes({2, 5, 99});
        session.applyTypeToSelection(u"Printer"_s);

        // 12 types known before, colours 0 and 1 taken twice: Printer gets colour 2.
        QCOMPARE(session.typeColorMap().value(u"Printer"_s), colorPalette.at(2));
        QCOMPARE(doc.projectData().nodes.at(1).type, u"Printer"_s);
        QCOMPARE(doc.projectData().nodes.at(4).type, u"Printer"_s);
        QCOMPARE(doc.projectData().nodes.at(0).type, u"T0"_s);
        QCOMPARE(session.undoStack().size(), 1);
        // The colours are stored in the project, one record per known type.
        QCOMPARE(doc.projectData().typeColors.size(), 13);
        for (const TypeColorData& record : doc.projectData().typeColors)
            QCOMPARE((Rgb{record.red, record.green, record.blue}),
                     session.typeColorMap().value(record.type));
        QVERIFY(session.visibleTypes().contains(u"Printer"_s));

        session.undo();
        QCOMPARE(doc.projectData().nodes.at(1).type, u"T1"_s);
        QVERIFY(doc.projectData().typeColors.isEmpty());
    }

    void setTypeColorIsStoredWithoutUndo()
    {
        ProjectDocument doc(withTypes({u"A"_s}));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        QSignalSpy changed(&doc, &ProjectDocument::changed);
        session.setTypeColor(u"A"_s, Rgb{0.5, 0.25, 1});
        QCOMPARE(changed.size(), 1);
        QCOMPARE(doc.projectData().typeColors,
                 (QList<TypeColorData>{TypeColorData{u"A"_s, 0.5, 0.25, 1}}));
        QVERIFY(session.undoStack().isEmpty());
        session.setTypeColor(u"A"_s, Rgb{0.5, 0.25, 1});
        QCOMPARE(changed.size(), 1); // nothing new to store
    }

    void visibility()
    {
        ProjectDocument doc(withTypes({u"Router"_s, u"AP"_s, u"Switch"_s, u"AP"_s}));
        ProjectSession session(&doc);
        session.ensureTypeColors();
        QVERIFY(session.isNodeVisible(1));

        session.hideAllTypes();
        QVERIFY(!session.isNodeVisible(2));
        session.soloType(u"AP"_s);
        QCOMPARE(session.visibleTypes(), QSet<QString>{u"AP"_s});
        QVERIFY(session.isNodeVisible(4) && !session.isNodeVisible(1));
        QVERIFY(!session.isNodeVisible(99));

        session.toggleType(u"Router"_s);
        QCOMPARE(session.visibleTypes(), (QSet<QString>{u"AP"_s, u"Router"_s}));
        session.toggleType(u"AP"_s);
        QCOMPARE(session.visibleTypes(), QSet<QString>{u"Router"_s});

        session.showAllTypes();
        QCOMPARE(session.visibleTypes(), (QSet<QString>{u"AP"_s, u"Router"_s, u"Switch"_s}));
        QVERIFY(session.undoStack().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProjectSession)
#include "tst_project_session.moc"
