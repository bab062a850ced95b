// SPDX-License-Identifier: GPL-3.0-or-later
// Copy, paste and duplicate: names and addresses of copies, positions, cable remapping,
// selection and undo.

#include "model/project_session.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

NodeData node(qint64 id, const QString& name, const QString& ip, double x = 0, double y = 0)
{
    return NodeData{id, name, u"Switch"_s, ip, x, y, 1.5};
}

CablePointData attached(qint64 nodeId, double angle = 0.25)
{
    return CablePointData{cablePointTypeNode, 7, 8, nodeId, angle};
}

CablePointData freePoint(double x, double y)
{
    return CablePointData{cablePointTypeFree, x, y, std::nullopt, 0};
}

// Nodes 1 and 2 joined by cable 10 with a free bend; node 3 alone.
ProjectData joined()
{
    ProjectData p;
    p.nodes = {node(1, u"Router"_s, u"192.168.1.10"_s, 100, 200),
               node(2, u"Switch"_s, u"switch.local"_s, 400, 200),
               node(3, u"AP"_s, u"10.0.0.254"_s, 0, 0)};
    p.cables = {CableData{10, {attached(1, 0.5), freePoint(250, 150), attached(2, 3.0)}}};
    p.nextNodeId = 4;
    p.nextCableId = 11;
    return p;
}

} // namespace

class TestClipboard final : public QObject {
    Q_OBJECT

private slots:
    void nextCopyName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << u"Router"_s << u"Router (copy)"_s;
        QTest::newRow("copy") << u"Router (copy)"_s << u"Router (copy 2)"_s;
        QTest::newRow("copy 2") << u"Router (copy 2)"_s << u"Router (copy 3)"_s;
        QTest::newRow("copy 9") << u"Router (copy 9)"_s << u"Router (copy 10)"_s;
        QTest::newRow("leading zeros") << u"Router (copy 007)"_s << u"Router (copy 8)"_s;
        QTest::newRow("copy 0") << u"Router (copy 0)"_s << u"Router (copy 1)"_s;
        QTest::newRow("copy of copy") << u"A (copy) (copy 3)"_s << u"A (copy) (copy 4)"_s;
        QTest::newRow("case matters") << u"Router (Copy)"_s << u"Router (Copy) (copy)"_s;
        QTest::newRow("empty") << QString() << u" (copy)"_s;
        QTest::newRow("nothing before the suffix") << u" (copy)"_s << u" (copy) (copy)"_s;
        QTest::newRow("no space before") << u"Router(copy)"_s << u"Router(copy) (copy)"_s;
        QTest::newRow("trailing text") << u"Router (copy) x"_s << u"Router (copy) x (copy)"_s;
        QTest::newRow("trailing line break") << u"Router (copy)\n"_s << u"Router (copy)\n (copy)"_s;
        QTest::newRow("line break in the name")
            << u"Core\nRouter (copy)"_s << u"Core\nRouter (copy) (copy)"_s;
        QTest::newRow("non-ASCII digits") << u"R (copy ٣)"_s << u"R (copy ٣) (copy)"_s;
        QTest::newRow("too many digits") << u"R (copy 99999999999999999999)"_s << u"R (copy 2)"_s;
        QTest::newRow("largest number below the limit")
            << u"R (copy 9223372036854775806)"_s << u"R (copy 9223372036854775807)"_s;
        // The largest 64-bit number has no successor: the name gains " (copy)".
        QTest::newRow("largest 64-bit number")
            << u"R (copy 9223372036854775807)"_s << u"R (copy 9223372036854775807) (copy)"_s;
        QTest::newRow("unicode name") << u"Kamera 日本 (copy 2)"_s << u"Kamera 日本 (copy 3)"_s;
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
        QTest::newRow("to 255") << u"192.168.1.254"_s << u"192.168.1.255"_s;
        QTest::newRow("255 unchanged") << u"192.168.1.255"_s << u"192.168.1.255"_s;
        QTest::newRow("leading zeros") << u"010.000.000.001"_s << u"10.0.0.2"_s;
        QTest::newRow("piece skipped") << u"10.0.x.0.5"_s << u"10.0.0.6"_s;
        QTest::newRow("negative") << u"10.0.0.-1"_s << u"10.0.0.-1"_s;
        QTest::newRow("host name") << u"router.local"_s << u"router.local"_s;
        QTest::newRow("three octets") << u"192.168.1"_s << u"192.168.1"_s;
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("empty pieces dropped") << u".10..0.0.1."_s << u"10.0.0.2"_s;
        QTest::newRow("plus sign") << u"+10.0.0.+1"_s << u"10.0.0.2"_s;
        QTest::newRow("octet over 255") << u"256.0.0.1"_s << u"256.0.0.1"_s;
        QTest::newRow("five numbers") << u"1.2.3.4.5"_s << u"1.2.3.4.5"_s;
        QTest::newRow("huge piece skipped") << u"10.0.99999999999999999999.0.7"_s << u"10.0.0.8"_s;
        QTest::newRow("spaces are not digits") << u"10.0.0. 1"_s << u"10.0.0. 1"_s;
        QTest::newRow("minus zero") << u"10.0.0.-0"_s << u"10.0.0.1"_s;
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
        QCOMPARE(session.clipboard().size(), 2);
        QCOMPARE(session.clipboard().at(0).id, 1); // project order, not selection order
        QCOMPARE(session.clipboard().at(1).id, 3);
        QVERIFY(session.clipboardCables().isEmpty()); // cables come only when selected
        QVERIFY(session.undoStack().isEmpty());

        session.clearSelection();
        session.copySelection();
        QVERIFY(session.clipboard().isEmpty());
    }

    void pasteRemapsCables_data()
    {
        QTest::addColumn<QList<qint64>>("copiedNodes");
        QTest::addColumn<QList<CablePointData>>("expectedPoints");
        // Both ends copied: both attached points move to the copies, the free bend moves by 30.
        QTest::newRow("both nodes")
            << QList<qint64>{1, 2}
            << QList<CablePointData>{attached(4, 0.5), freePoint(280, 180), attached(5, 3.0)};
        // One end copied: that end moves to the copy, the other still names node 2.
        QTest::newRow("one node") << QList<qint64>{1}
                                  << QList<CablePointData>{attached(4, 0.5), freePoint(280, 180),
                                                           attached(2, 3.0)};
    }

    void pasteRemapsCables()
    {
        QFETCH(QList<qint64>, copiedNodes);
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

    void pasteWithoutSelectedCablesCreatesNone()
    {
        ProjectDocument doc(joined());
        ProjectSession session(&doc);
        session.setSelectedNodes({1, 2});
        session.copySelection();
        session.pasteClipboard();
        QCOMPARE(session.project().cables.size(), 1);
        QCOMPARE(session.project().nodes.size(), 5);
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
            QCOMPARE(copy.id, 3 + i);
            QCOMPARE(copy.name, names.at(i - 1));
            QCOMPARE(copy.ip, u"192.168.1.1%1"_s.arg(i));
            QCOMPARE(copy.x, 100 + 30.0 * i);
            QCOMPARE(copy.y, 200 + 30.0 * i);
            QCOMPARE(copy.type, u"Switch"_s);
            QCOMPARE(copy.scale, 1.5);
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
        QVERIFY(session.project().cables.isEmpty());
        session.pasteClipboard();
        const ProjectData& p = session.project();
        QCOMPARE(p.nodes.size(), 2);
        QCOMPARE(p.nodes.last().name, u"Router (copy)"_s);
        QCOMPARE(p.cables.size(), 1);
        QCOMPARE(p.cables.first().points.first().nodeId, p.nodes.last().id);
        QCOMPARE(p.cables.first().points.last().nodeId, 2); // still names the deleted node
    }

    void pasteWithEmptyClipboardDoesNothing()
    {
        ProjectDocument doc(joined());
        ProjectSession session(&doc);
        session.setSelection({}, {10}, std::nullopt);
        session.copySelection();
        QCOMPARE(session.clipboardCables().size(), 1);
        session.pasteClipboard();
        QVERIFY(session.undoStack().isEmpty());
        QVERIFY(session.project() == joined());
    }

    void pasteKeepsUnknownPointTypes()
    {
        ProjectData p = joined();
        p.cables.first().points.append(CablePointData{u"bend"_s, 1, 2, 1, 0});
        p.cables.first().points.append(CablePointData{cablePointTypeNode, 3, 4, std::nullopt, 0});
        ProjectDocument doc(p);
        ProjectSession session(&doc);
        session.setSelection({1}, {10}, std::nullopt);
        session.copySelection();
        session.pasteClipboard();
        const QList<CablePointData>& points = session.project().cables.last().points;
        QCOMPARE(points.at(3), p.cables.first().points.at(3));
        QCOMPARE(points.at(4), p.cables.first().points.at(4));
    }

    void duplicateInsertsAfterTheSource()
    {
        ProjectData p;
        for (qint64 id = 1; id <= 5; ++id)
            p.nodes.append(node(id, u"N%1"_s.arg(id), u"host-%1"_s.arg(id), 10.0 * id, 5));
        p.nextNodeId = 6;
        p.cables = {CableData{1, {attached(2), attached(3)}}};
        ProjectDocument doc(p);
        ProjectSession session(&doc);
        session.setSelection({1}, {1}, toCable(p.cables.first()));
        session.copySelection();
        session.duplicateNode(2);

        const ProjectData& after = session.project();
        QList<qint64> ids;
        for (const NodeData& n : after.nodes)
            ids.append(n.id);
        QCOMPARE(ids, (QList<qint64>{1, 2, 6, 3, 4, 5}));
        const NodeData& copy = after.nodes.at(2);
        QCOMPARE(copy.name, u"N2 (copy)"_s);
        QCOMPARE(copy.ip, u"host-2"_s); // a host name stays as it is
        QCOMPARE(copy.x, 50.0);
        QCOMPARE(copy.y, 35.0);
        QCOMPARE(after.cables, p.cables); // duplicating never copies cables
        QCOMPARE(session.selectedNodes(), QSet<qint64>{6});
        QCOMPARE(session.selectedCableIds(), QSet<qint64>{1});
        QVERIFY(session.selectedCable());
        QCOMPARE(session.clipboard().first().id, 1);

        session.duplicateNode(99);
        QCOMPARE(session.undoStack().size(), 1);
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
        for (const NodeData& n : session.project().nodes) {
            if (n.id >= 4) {
                QVERIFY(n.name.endsWith(u" (copy)"_s));
            }
        }
        session.undo();
        session.undo();
        session.undo();
        QVERIFY(session.project() == joined());
    }
};

QTEST_GUILESS_MAIN(TestClipboard)
#include "tst_clipboard.moc"
