// SPDX-License-Identifier: GPL-3.0-or-later
// The nodes table's operations: the address key and the row order, one-line cells, "+ Add Node"
// and committing an edited cell, on a real session.

#include "support/builders.h"

#include "model/node_table.h"
#include "model/project_session.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

// Nodes with ids 1, 2, ... whose name, type and address are each of `texts`.
QList<NodeData> nodesWith(const QStringList& texts)
{
    QList<NodeData> nodes;
    for (const QString& text : texts)
        nodes.append({.id = nodes.size() + 1, .name = text, .type = text, .ip = text});
    return nodes;
}

} // namespace

class TestNodeTable final : public QObject {
    Q_OBJECT
private slots:
    void addressKeys_data()
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
    void addressKeys()
    {
        QFETCH(QString, address);
        QFETCH(QList<qint64>, key);
        QCOMPARE(addressSortKey(address), key);
    }

    void sortOrder_data()
    {
        QTest::addColumn<NodeField>("field");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QList<qint64>>("order");
        const QStringList names{u"b"_s, u"A"_s, u"c"_s};
        QTest::newRow("name down") << NodeField::name << names << false << QList<qint64>{3, 1, 2};
        const QStringList twins{u"Router"_s, u"AP"_s, u"router"_s, u"Router"_s};
        QTest::newRow("equal keys keep order up")
            << NodeField::type << twins << true << QList<qint64>{2, 1, 3, 4};
        QTest::newRow("equal keys keep order down")
            << NodeField::type << twins << false << QList<qint64>{1, 3, 4, 2};
        const QStringList ips{u"10.0.0.10"_s, u"10.0.0.9"_s, u"9.0.0.1"_s,
                              u"printer"_s,   u"10.0.0"_s,   u"scanner"_s};
        QTest::newRow("ip up") << NodeField::ip << ips << true << QList<qint64>{4, 6, 3, 5, 2, 1};
        QTest::newRow("ip down") << NodeField::ip << ips << false
                                 << QList<qint64>{1, 2, 5, 3, 4, 6};
        QTest::newRow("unicode lower-case")
            << NodeField::name << QStringList{u"\u00C9cole"_s, u"\u00E9a"_s, u"z"_s} << true
            << QList<qint64>{3, 2, 1};
    }
    void sortOrder()
    {
        QFETCH(NodeField, field);
        QFETCH(QStringList, texts);
        QFETCH(bool, ascending);
        QFETCH(QList<qint64>, order);
        QList<qint64> ids;
        for (const NodeData& node : sortedNodes(nodesWith(texts), field, ascending))
            ids.append(node.id);
        QCOMPARE(ids, order);
    }

    // A cell stays one line: every kind of line break becomes one space.
    void singleLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("LF") << u"Rack\nA"_s << u"Rack A"_s;
        QTest::newRow("CR LF") << u"Rack\r\nA"_s << u"Rack A"_s;
        QTest::newRow("NEL, line and paragraph separators")
            << u"R\u0085A\u2028B\u2029C"_s << u"R A B C"_s;
        QTest::newRow("vertical tab and form feed") << u"R\vA\fB"_s << u"R A B"_s;
        QTest::newRow("around") << u"\nCore\n\nB\r"_s << u" Core  B "_s;
    }
    void singleLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, line);
        QCOMPARE(velmora::singleLine(text), line);
    }

    void addNodeOperation()
    {
        ProjectDocument document;
        ProjectSession session(&document);
        QCOMPARE(addNode(session), 1);
        QCOMPARE(addNode(session), 2);
        const auto added = [](qint64 id, const QString& host, double x, double y) {
            return NodeData{.id = id,
                            .name = u"New Node"_s,
                            .type = u"Device"_s,
                            .ip = u"192.168.1."_s + host,
                            .x = x,
                            .y = y};
        };
        QCOMPARE(session.project().nodes,
                 (QList<NodeData>{added(1, u"101"_s, 200, 200), added(2, u"102"_s, 250, 230)}));
        QCOMPARE(session.project().nextNodeId, 3);
        QCOMPARE(session.selectedNodes(), QSet<qint64>{2});
        QCOMPARE(session.undoStack().size(), 2);

        // Hidden types come back, and the address is not checked.
        session.hideAllTypes();
        document.modify([](ProjectData& p) { p.nextNodeId = 156; });
        addNode(session);
        QCOMPARE(session.project().nodes.last().ip, u"192.168.1.256"_s);
        QCOMPARE(session.visibleTypes(), QSet<QString>{u"Device"_s});

        // The last identifier is handed out (its address counted past the 64-bit range); then
        // the button is refused and writes nothing.
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

    void freeAddress_data()
    {
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QStringList>("used");
        QTest::addColumn<QString>("address");
        QTest::newRow("first") << qint64(1) << QStringList() << u"192.168.1.101"_s;
        QTest::newRow("taken ones skipped")
            << qint64(1) << QStringList{u"192.168.1.101"_s, u"192.168.1.102"_s}
            << u"192.168.1.103"_s;
        QTest::newRow("last of the first /24")
            << qint64(154) << QStringList() << u"192.168.1.254"_s;
        QTest::newRow("next /24") << qint64(156) << QStringList() << u"192.168.2.2"_s;
        QTest::newRow(".254 taken")
            << qint64(154) << QStringList{u"192.168.1.254"_s} << u"192.168.2.1"_s;
        QTest::newRow("past the end wraps")
            << qint64(154 + 254 * 254 + 1) << QStringList() << u"192.168.1.101"_s;
    }
    void freeAddress()
    {
        QFETCH(qint64, id);
        QFETCH(QStringList, used);
        QFETCH(QString, address);
        QList<NodeData> nodes;
        for (const QString& ip : used)
            nodes.append({.ip = ip});
        QCOMPARE(nextFreeAddress(nodes, id), address);
    }

    // At a given position (the visible centre) successive adds step 30 right and down.
    void addNodeAtPosition()
    {
        ProjectDocument document(test::projectWith({NodeData{.id = 1, .ip = u"192.168.1.102"_s}}));
        ProjectSession session(&document);
        document.modify([](ProjectData& p) { p.nextNodeId = 2; });
        for (int i = 0; i < 3; ++i)
            addNode(session, QPointF(500, 300));
        QStringList got;
        for (const NodeData& node : session.project().nodes.sliced(1))
            got.append(u"%1 %2,%3"_s.arg(node.ip).arg(node.x).arg(node.y));
        QCOMPARE(got, (QStringList{u"192.168.1.103 500,300"_s, u"192.168.1.104 530,330"_s,
                                   u"192.168.1.105 560,360"_s}));
    }

    void commitOperation()
    {
        ProjectDocument document(test::projectWith(
            {{.id = 1, .name = u"b"_s, .type = u"Switch"_s}, {.id = 2, .type = u"AP"_s}}));
        ProjectSession session(&document);
        session.ensureTypeColors();
        session.hideAllTypes();

        QVERIFY(commitNodeEdit(session, 1, NodeField::name, QString()));
        QCOMPARE(session.project().nodes.at(0).name, QString());
        QVERIFY(commitNodeEdit(session, 1, NodeField::ip, u" 1.2.3.4 "_s));
        QCOMPARE(session.project().nodes.at(0).ip, u" 1.2.3.4 "_s);
        // The same type: colours and visibility untouched.
        QVERIFY(commitNodeEdit(session, 1, NodeField::type, u"Switch"_s));
        QVERIFY(session.visibleTypes().isEmpty());
        QCOMPARE(session.undoStack().size(), 3);
        // A new type gets a colour and every type is shown again.
        QVERIFY(commitNodeEdit(session, 2, NodeField::type, u"Camera"_s));
        QCOMPARE(session.visibleTypes(), (QSet<QString>{u"AP"_s, u"Camera"_s, u"Switch"_s}));
        // A node that is gone: nothing, not even a snapshot.
        QVERIFY(!commitNodeEdit(session, 99, NodeField::name, u"x"_s));
        QCOMPARE(session.undoStack().size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestNodeTable)
#include "tst_node_table.moc"
