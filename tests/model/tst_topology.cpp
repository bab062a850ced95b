// SPDX-License-Identifier: GPL-3.0-or-later
// Topology figures of the node details block: cables at a node, direct neighbours, network size
// and hops from the root, over chains, buses, loops and unattached ids.

#include "model/topology.h"

#include <QTest>

using namespace velmora;

namespace {

// A cable from a list of point attachments: an id attaches the point, -1 leaves it free.
Cable makeCable(qint64 id, const QList<qint64>& attachments)
{
    Cable cable;
    cable.id = id;
    for (qint64 nodeId : attachments) {
        CablePoint point;
        if (nodeId >= 0) {
            point.type = cablePointTypeNode;
            point.nodeId = nodeId;
        } else {
            point.type = cablePointTypeFree;
            point.x = 10.0;
        }
        cable.points.append(point);
    }
    return cable;
}

QList<Cable> makeCables(const QList<QList<qint64>>& layout)
{
    QList<Cable> cables;
    qint64 id = 1;
    for (const QList<qint64>& attachments : layout)
        cables.append(makeCable(id++, attachments));
    return cables;
}

constexpr qint64 noRoot = -1;
constexpr int noHops = -1;

} // namespace

class TestTopology final : public QObject {
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void cableNodeIdsKeepsRepeatsAndSkipsFreePoints();
    void cablesAtNodeKeepsListOrder();
    void bfsVisitsCablesInListOrder();
};

void TestTopology::figures_data()
{
    QTest::addColumn<QList<QList<qint64>>>("layout");
    QTest::addColumn<qint64>("node");
    QTest::addColumn<qint64>("root");
    QTest::addColumn<int>("cables");
    QTest::addColumn<QList<qint64>>("neighbours");
    QTest::addColumn<qsizetype>("network");
    QTest::addColumn<int>("hops");

    // Chain A(1) - B(2) - C(3) of two cables.
    const QList<QList<qint64>> chain{{1, 2}, {2, 3}};
    QTest::newRow("chain A, no root")
        << chain << 1LL << noRoot << 1 << QList<qint64>{2} << qsizetype(2) << noHops;
    QTest::newRow("chain B") << chain << 2LL << noRoot << 2 << QList<qint64>{1, 3} << qsizetype(2)
                             << noHops;
    QTest::newRow("chain C from root A")
        << chain << 3LL << 1LL << 1 << QList<qint64>{2} << qsizetype(2) << 2;
    QTest::newRow("chain B from root A")
        << chain << 2LL << 1LL << 2 << QList<qint64>{1, 3} << qsizetype(2) << 1;
    QTest::newRow("chain root itself")
        << chain << 1LL << 1LL << 1 << QList<qint64>{2} << qsizetype(2) << 0;
    QTest::newRow("chain A from root C")
        << chain << 1LL << 3LL << 1 << QList<qint64>{2} << qsizetype(2) << 2;

    // One bus cable with A, B and C on it (a free bend between them).
    const QList<QList<qint64>> bus{{1, -1, 2, 3}};
    QTest::newRow("bus A") << bus << 1LL << 3LL << 1 << QList<qint64>{2, 3} << qsizetype(2) << 1;
    QTest::newRow("bus B") << bus << 2LL << 1LL << 1 << QList<qint64>{1, 3} << qsizetype(2) << 1;
    QTest::newRow("bus C") << bus << 3LL << 2LL << 1 << QList<qint64>{1, 2} << qsizetype(2) << 1;

    // A cable from A back to A counts at A but links nothing.
    const QList<QList<qint64>> loop{{1, -1, 1}};
    QTest::newRow("self-loop") << loop << 1LL << noRoot << 1 << QList<qint64>{} << qsizetype(0)
                               << noHops;
    QTest::newRow("self-loop is root")
        << loop << 1LL << 1LL << 1 << QList<qint64>{} << qsizetype(0) << 0;

    // A node without cables, with a root elsewhere.
    QTest::newRow("no cables") << QList<QList<qint64>>{} << 1LL << noRoot << 0 << QList<qint64>{}
                               << qsizetype(0) << noHops;
    QTest::newRow("isolated, root elsewhere")
        << chain << 7LL << 1LL << 0 << QList<qint64>{} << qsizetype(0) << noHops;
    QTest::newRow("unreachable from root") << QList<QList<qint64>>{{1, 2}, {3, 4}} << 4LL << 1LL
                                           << 1 << QList<qint64>{3} << qsizetype(1) << noHops;

    // Two cables between the same pair.
    QTest::newRow("double link") << QList<QList<qint64>>{{1, 2}, {2, 1}} << 1LL << 2LL << 2
                                 << QList<qint64>{2} << qsizetype(1) << 1;

    // A cable whose only points are free, and a dangling cable, attach to nothing.
    QTest::newRow("free points only") << QList<QList<qint64>>{{-1, -1}, {1, -1}} << 1LL << noRoot
                                      << 1 << QList<qint64>{} << qsizetype(0) << noHops;

    // Ids on cables that belong to no node still count in the network size.
    QTest::newRow("unknown ids count") << QList<QList<qint64>>{{1, 99}, {99, 98}} << 1LL << 98LL
                                       << 1 << QList<qint64>{99} << qsizetype(2) << 2;

    // Shortest path wins over a longer one found first in list order.
    QTest::newRow("shortest path") << QList<QList<qint64>>{{1, 2}, {2, 3}, {3, 4}, {1, 4}} << 4LL
                                   << 1LL << 2 << QList<qint64>{1, 3} << qsizetype(3) << 1;

    // A root that no longer exists anywhere reaches nothing.
    QTest::newRow("root gone") << chain << 2LL << 42LL << 2 << QList<qint64>{1, 3} << qsizetype(2)
                               << noHops;
}

void TestTopology::figures()
{
    QFETCH(QList<QList<qint64>>, layout);
    QFETCH(qint64, node);
    QFETCH(qint64, root);
    QFETCH(int, cables);
    QFETCH(QList<qint64>, neighbours);
    QFETCH(qsizetype, network);
    QFETCH(int, hops);

    const QList<Cable> list = makeCables(layout);
    QCOMPARE(cablesAtNode(list, node).size(), cables);
    QCOMPARE(directNeighbors(list, node), neighbours);
    QCOMPARE(networkSize(list, node), network);
    const std::optional<qint64> rootId = root == noRoot ? std::nullopt : std::optional(root);
    const std::optional<int> expectedHops = hops == noHops ? std::nullopt : std::optional(hops);
    QCOMPARE(hopsFromRoot(list, rootId, node), expectedHops);
}

void TestTopology::cableNodeIdsKeepsRepeatsAndSkipsFreePoints()
{
    QCOMPARE(cableNodeIds(makeCable(1, {3, -1, 5, 3, -1})), (QList<qint64>{3, 5, 3}));
    QCOMPARE(cableNodeIds(makeCable(1, {})), QList<qint64>{});
}

void TestTopology::cablesAtNodeKeepsListOrder()
{
    const QList<Cable> list = makeCables({{1, 2}, {3, 4}, {2, 5}, {-1, 2}});
    const QList<Cable> at = cablesAtNode(list, 2);
    QCOMPARE(at.size(), 3);
    QCOMPARE(at.at(0).id, 1);
    QCOMPARE(at.at(1).id, 3);
    QCOMPARE(at.at(2).id, 4);
}

void TestTopology::bfsVisitsCablesInListOrder()
{
    // From 1: cable 1 gives 3 then 2 (point order), cable 2 gives 4; then 3's cable adds 5.
    const QList<Cable> list = makeCables({{3, 1, 2}, {4, 1}, {3, 5}});
    QCOMPARE(breadthFirstOrder(list, 1), (QList<qint64>{1, 3, 2, 4, 5}));
}

QTEST_GUILESS_MAIN(TestTopology)
#include "tst_topology.moc"
