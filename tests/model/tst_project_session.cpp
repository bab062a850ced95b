// SPDX-License-Identifier: GPL-3.0-or-later
// The editing session: undo history, deletion rules, reset, selection signals.

#include "model/project_session.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

// An edit as the panes make it: snapshot first, then one write through the document.
qint64 addNode(ProjectSession& session, const QString& name, const QString& type = u"Device"_s)
{
    session.pushUndoSnapshot();
    qint64 id = 0;
    session.document()->modify([&](ProjectData& p) {
        id = ProjectSession::allocateNodeId(p);
        p.nodes.append(NodeData{id, name, type, u"10.0.0.1"_s, 0, 0, 1});
    });
    return id;
}

CablePointData attached(qint64 nodeId)
{
    return CablePointData{cablePointTypeNode, 0, 0, nodeId, 0.5};
}

CablePointData freePoint(double x, double y)
{
    return CablePointData{cablePointTypeFree, x, y, std::nullopt, 0};
}

// Nodes 1..5; cable 1: 1-2, cable 2: 2-3, cable 3: 1-free-4-5 (runs through 4 to 5),
// cable 4: 3-free-free, cable 5: 4-5.
ProjectData network()
{
    ProjectData p;
    for (qint64 id = 1; id <= 5; ++id)
        p.nodes.append(
            NodeData{id, u"N%1"_s.arg(id), u"Device"_s, u"10.0.0.%1"_s.arg(id), 0, 0, 1});
    p.cables = {
        CableData{1, {attached(1), attached(2)}},
        CableData{2, {attached(2), attached(3)}},
        CableData{3, {attached(1), freePoint(5, 5), attached(4), attached(5)}},
        CableData{4, {attached(3), freePoint(1, 1), freePoint(2, 2)}},
        CableData{5, {attached(4), attached(5)}},
    };
    p.nextNodeId = 6;
    p.nextCableId = 6;
    return p;
}

QList<qint64> nodeIds(const ProjectData& p)
{
    QList<qint64> ids;
    for (const NodeData& n : p.nodes)
        ids.append(n.id);
    return ids;
}

QList<qint64> cableIds(const ProjectData& p)
{
    QList<qint64> ids;
    for (const CableData& c : p.cables)
        ids.append(c.id);
    return ids;
}

} // namespace

class TestProjectSession final : public QObject {
    Q_OBJECT

private slots:
    void undoStackKeepsThirtyEntries()
    {
        ProjectDocument doc;
        ProjectSession session(&doc);
        for (int i = 1; i <= 31; ++i)
            addNode(session, u"edit %1"_s.arg(i));
        QCOMPARE(session.undoStack().size(), 30);
        for (int i = 0; i < 30; ++i)
            session.undo();
        QCOMPARE(session.undoStack().size(), 0);
        QCOMPARE(session.redoStack().size(), 30);
        // The 31st undo does nothing: the project shows the state after the first edit.
        session.undo();
        QCOMPARE(session.project().nodes.size(), 1);
        QCOMPARE(session.project().nodes.first().name, u"edit 1"_s);
        QCOMPARE(session.project().nextNodeId, 2);
        for (int i = 0; i < 30; ++i)
            session.redo();
        QCOMPARE(session.project().nodes.size(), 31);
        QCOMPARE(session.undoStack().size(), 30);
        QCOMPARE(session.redoStack().size(), 0);
    }

    void undoRedoSequences()
    {
        ProjectDocument doc;
        ProjectSession session(&doc);
        QSignalSpy changed(&doc, &ProjectDocument::changed);
        addNode(session, u"A"_s);
        const ProjectData afterA = session.project();
        addNode(session, u"B"_s);
        const ProjectData afterB = session.project();
        QCOMPARE(changed.size(), 2);

        session.undo();
        QVERIFY(session.project() == afterA);
        session.redo();
        QVERIFY(session.project() == afterB);
        session.undo();
        QVERIFY(session.project() == afterA);
        QCOMPARE(changed.size(), 5);

        // A new edit after undo: redo is gone, and the undone identifier is handed out again.
        const qint64 id = addNode(session, u"C"_s);
        QCOMPARE(id, 2);
        QVERIFY(session.redoStack().isEmpty());
        const ProjectData afterC = session.project();
        session.redo();
        QVERIFY(session.project() == afterC);

        // Undo all the way and once more: nothing happens, nothing is reported.
        session.undo();
        session.undo();
        QVERIFY(session.project() == ProjectData{});
        const int before = changed.size();
        session.undo();
        QCOMPARE(changed.size(), before);
        QVERIFY(session.project() == ProjectData{});
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
        QTest::addColumn<QList<qint64>>("nodes");
        QTest::addColumn<QList<qint64>>("cables");
        QTest::addColumn<QList<qint64>>("remainingNodes");
        QTest::addColumn<QList<qint64>>("remainingCables");

        // Cable 3 also joins 4 and 5, yet goes whole with node 1.
        QTest::newRow("node 1") << QList<qint64>{1} << QList<qint64>{} << QList<qint64>{2, 3, 4, 5}
                                << QList<qint64>{2, 4, 5};
        QTest::newRow("node in the middle of a cable")
            << QList<qint64>{4} << QList<qint64>{} << QList<qint64>{1, 2, 3, 5}
            << QList<qint64>{1, 2, 4};
        QTest::newRow("two cables and a node") << QList<qint64>{3} << QList<qint64>{1, 5}
                                               << QList<qint64>{1, 2, 4, 5} << QList<qint64>{3};
        QTest::newRow("cables only") << QList<qint64>{} << QList<qint64>{4, 99}
                                     << QList<qint64>{1, 2, 3, 4, 5} << QList<qint64>{1, 2, 3, 5};
        QTest::newRow("unknown node id")
            << QList<qint64>{77} << QList<qint64>{} << QList<qint64>{1, 2, 3, 4, 5}
            << QList<qint64>{1, 2, 3, 4, 5};
    }

    void deleteRules()
    {
        QFETCH(QList<qint64>, nodes);
        QFETCH(QList<qint64>, cables);
        QFETCH(QList<qint64>, remainingNodes);
        QFETCH(QList<qint64>, remainingCables);

        ProjectDocument doc(network());
        ProjectSession session(&doc);
        session.setSelection(QSet<qint64>(nodes.cbegin(), nodes.cend()),
                             QSet<qint64>(cables.cbegin(), cables.cend()),
                             toCable(network().cables.at(1)));
        session.deleteSelection();

        QCOMPARE(nodeIds(session.project()), remainingNodes);
        QCOMPARE(cableIds(session.project()), remainingCables);
        QCOMPARE(session.undoStack().size(), 1); // one snapshot for the whole deletion
        QVERIFY(session.selectedNodes().isEmpty());
        QVERIFY(session.selectedCableIds().isEmpty());
        QVERIFY(!session.selectedCable());

        session.undo();
        QVERIFY(session.project() == network());
    }

    void deleteWithNothingSelectedRecordsNothing()
    {
        ProjectDocument doc(network());
        ProjectSession session(&doc);
        QSignalSpy changed(&doc, &ProjectDocument::changed);
        session.deleteSelection();
        session.deleteFocusedCable();
        session.deleteCommand();
        session.deleteNode(99);
        QVERIFY(session.undoStack().isEmpty());
        QCOMPARE(changed.size(), 0);
        QVERIFY(session.project() == network());
    }

    void deleteNodeFromTheTable()
    {
        ProjectDocument doc(network());
        ProjectSession session(&doc);
        session.setSelection({2, 5}, {4}, std::nullopt);
        session.deleteNode(2);
        QCOMPARE(nodeIds(session.project()), (QList<qint64>{1, 3, 4, 5}));
        QCOMPARE(cableIds(session.project()), (QList<qint64>{3, 4, 5}));
        QCOMPARE(session.selectedNodes(), QSet<qint64>{5});
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
        QCOMPARE(cableIds(session.project()), (QList<qint64>{1, 3, 4, 5}));
        QCOMPARE(nodeIds(session.project()).size(), 5);
        QVERIFY(!session.selectedCable());
        QCOMPARE(session.selectedNodes(), QSet<qint64>{1});
        session.deleteCommand();
        QCOMPARE(nodeIds(session.project()), (QList<qint64>{2, 3, 4, 5}));
        QCOMPARE(cableIds(session.project()), (QList<qint64>{4}));
        QCOMPARE(session.undoStack().size(), 2);
    }

    void danglingPointsStayUntouched()
    {
        ProjectData p = network();
        p.cables.append(CableData{6, {attached(1), attached(404)}});
        ProjectDocument doc(p);
        ProjectSession session(&doc);
        session.setSelectedNodes({2});
        session.deleteSelection();
        QCOMPARE(cableIds(session.project()), (QList<qint64>{3, 4, 5, 6}));
        QCOMPARE(session.project().cables.last().points.last().nodeId, 404);
    }

    void resetEverything()
    {
        ProjectData p = network();
        p.projectName = u"Office"_s;
        p.schemaVersion = 4;
        p.map = MapData{QByteArray("image"), 1, 2, 3};
        p.viewSettings = {2.0, 10, 20, 0.4, 0.6};
        p.typeColors = {{u"Device"_s, 1, 0, 0}};
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
        const ProjectData& after = session.project();
        QVERIFY(after.nodes.isEmpty());
        QVERIFY(after.cables.isEmpty());
        QVERIFY(!after.map);
        QCOMPARE(after.projectName, u"Office"_s);
        QCOMPARE(after.schemaVersion, 4);
        QCOMPARE(after.viewSettings.mapOpacity, 0.4);
        QCOMPARE(after.viewSettings.mapSaturation, 0.6);
        QCOMPARE(after.typeColors, p.typeColors);
        QVERIFY(session.typeColorMap().isEmpty());
        QVERIFY(session.visibleTypes().isEmpty()); // kept as it was: Device was hidden
        QCOMPARE(session.rootNodeId(), 3);
        QVERIFY(session.selectedNodes().isEmpty());
        QVERIFY(session.selectedCableIds().isEmpty());
        QVERIFY(!session.selectedCable());
        QCOMPARE(session.undoStack().size(), 2);

        // Identifiers restart at 1.
        QCOMPARE(addNode(session, u"first"_s), 1);
        session.pushUndoSnapshot();
        qint64 cableId = 0;
        doc.modify([&](ProjectData& d) { cableId = ProjectSession::allocateCableId(d); });
        QCOMPARE(cableId, 1);

        session.undo();
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
        QVERIFY(session.undoStack().isEmpty());
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
               "(nextNodeId is 9223372036854775805)"_s;
        QTest::newRow("paste, no cable left")
            << u"paste"_s << max - 3 << max
            << u"Cannot create 1 cable: the project has no cable identifiers left"_s;
        QTest::newRow("paste, negative counters") << u"paste"_s << min << min << QString();
        QTest::newRow("duplicate, last identifier")
            << u"duplicate"_s << max - 1 << qint64(1) << QString();
        QTest::newRow("duplicate, none left")
            << u"duplicate"_s << max << qint64(1)
            << u"Cannot create 1 node: the project has no node identifiers left"_s;
        QTest::newRow("duplicate three, room for two")
            << u"duplicateSelected"_s << max - 2 << qint64(1)
            << u"Cannot create 3 nodes: the project has only 2"_s;
        QTest::newRow("duplicate three, room for three")
            << u"duplicateSelected"_s << max - 3 << qint64(1) << QString();
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
        QCOMPARE(session.project().nextNodeId, nextNodeId + nodesMade);
        QCOMPARE(session.project().nextCableId, nextCableId + cablesMade);
        QList<qint64> ids{1, 2, 3, 4, 5};
        for (qint64 k = 0; k < nodesMade; ++k)
            ids.append(nextNodeId + k);
        QList<qint64> made = nodeIds(session.project());
        std::sort(ids.begin(), ids.end());
        std::sort(made.begin(), made.end());
        QCOMPARE(made, ids);
    }

    void selectionSignalsOnlyOnChange()
    {
        ProjectDocument doc(network());
        ProjectSession session(&doc);
        QSignalSpy spy(&session, &ProjectSession::selectionChanged);
        session.setSelectedNodes({1, 2});
        session.setSelectedNodes({2, 1});
        QCOMPARE(spy.size(), 1);
        session.setSelectedCableIds({});
        session.setSelectedCable(std::nullopt);
        QCOMPARE(spy.size(), 1);
        session.setSelectedCableIds({3});
        QCOMPARE(spy.size(), 2);
        session.selectAll();
        QCOMPARE(session.selectedNodes(), (QSet<qint64>{1, 2, 3, 4, 5}));
        QCOMPARE(session.selectedCableIds(), QSet<qint64>{3});
        QCOMPARE(spy.size(), 3);
        session.selectAll();
        QCOMPARE(spy.size(), 3);
        session.clearSelection();
        session.clearSelection();
        QCOMPARE(spy.size(), 4);
    }

    void rootAndSearchText()
    {
        ProjectDocument doc;
        ProjectSession session(&doc);
        QSignalSpy root(&session, &ProjectSession::rootChanged);
        QSignalSpy search(&session, &ProjectSession::searchTextChanged);
        session.setRoot(4);
        session.setRoot(4);
        session.clearRoot();
        session.clearRoot();
        QCOMPARE(root.size(), 2);
        QVERIFY(!session.rootNodeId());
        session.setSearchText(u"rou"_s);
        session.setSearchText(u"rou"_s);
        QCOMPARE(search.size(), 1);
        QCOMPARE(session.searchText(), u"rou"_s);
        QVERIFY(session.undoStack().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProjectSession)
#include "tst_project_session.moc"
