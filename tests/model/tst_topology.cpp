// SPDX-License-Identifier: GPL-3.0-or-later
// Topology figures of the node details block: cables at a node, direct neighbours, network size
// and hops from the root, over chains, buses, loops and unattached ids.

#include "model/topology.h"

#include <QTest>

using namespace velmora;

namespace {

using Ids = QList<qint64>;

// A cable from a list of point attachments: an id attaches the point, -1 leaves it free.
Cable makeCable(qint64 id, const QList<qint64>& attachments)
{
    Cable cable;
    cable.id = id;
    for (qint64 nodeId : attachments) {
        CablePoint point;
        point.type = nodeId >= 0 ? cablePointTypeNode : cablePointTypeFree;
        if (nodeId >= 0)
            point.nodeId = nodeId;
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
    void figures_data()
    {
        QTest::addColumn<QList<QList<qint64>>>("layout");
        QTest::addColumn<qint64>("node");
        QTest::addColumn<qint64>("root");
        QTest::addColumn<int>("cables");
        QTest::addColumn<Ids>("neighbours");
        QTest::addColumn<qsizetype>("network");
        QTest::addColumn<int>("hops");

        // Chain A(1) - B(2) - C(3) of two cables.
        const QList<QList<qint64>> chain{{1, 2}, {2, 3}};
        QTest::newRow("chain A, no root")
            << chain << 1LL << noRoot << 1 << Ids{2} << qsizetype(2) << noHops;
        QTest::newRow("chain B") << chain << 2LL << noRoot << 2 << Ids{1, 3} << qsizetype(2)
                                 << noHops;
        QTest::newRow("chain C from root A")
            << chain << 3LL << 1LL << 1 << Ids{2} << qsizetype(2) << 2;
        QTest::newRow("chain B from root A")
            << chain << 2LL << 1LL << 2 << Ids{1, 3} << qsizetype(2) << 1;

        // One bus cable with A, B and C on it (a free bend between them).
        const QList<QList<qint64>> bus{{1, -1, 2, 3}};
        QTest::newRow("bus A") << bus << 1LL << 3LL << 1 << Ids{2, 3} << qsizetype(2) << 1;

        // A cable from A back to A counts at A but links nothing.
        const QList<QList<qint64>> loop{{1, -1, 1}};
        QTest::newRow("self-loop") << loop << 1LL << noRoot << 1 << Ids{} << qsizetype(0) << noHops;

        // A node without cables, with a root elsewhere.
        QTest::newRow("no cables")
            << QList<QList<qint64>>{} << 1LL << noRoot << 0 << Ids{} << qsizetype(0) << noHops;
        QTest::newRow("unreachable from root") << QList<QList<qint64>>{{1, 2}, {3, 4}} << 4LL << 1LL
                                               << 1 << Ids{3} << qsizetype(1) << noHops;

        // Two cables between the same pair.
        QTest::newRow("double link") << QList<QList<qint64>>{{1, 2}, {2, 1}} << 1LL << 2LL << 2
                                     << Ids{2} << qsizetype(1) << 1;

        // A cable whose only points are free, and a dangling cable, attach to nothing.
        QTest::newRow("free points only") << QList<QList<qint64>>{{-1, -1}, {1, -1}} << 1LL
                                          << noRoot << 1 << Ids{} << qsizetype(0) << noHops;

        // Ids on cables that belong to no node still count in the network size.
        QTest::newRow("unknown ids count") << QList<QList<qint64>>{{1, 99}, {99, 98}} << 1LL << 98LL
                                           << 1 << Ids{99} << qsizetype(2) << 2;

        // Shortest path wins over a longer one found first in list order.
        QTest::newRow("shortest path") << QList<QList<qint64>>{{1, 2}, {2, 3}, {3, 4}, {1, 4}}
                                       << 4LL << 1LL << 2 << Ids{1, 3} << qsizetype(3) << 1;

        // A root that no longer exists anywhere reaches nothing.
        QTest::newRow("root gone")
            << chain << 2LL << 42LL << 2 << Ids{1, 3} << qsizetype(2) << noHops;
    }

    void figures()
    {
        QFETCH(QList<QList<qint64>>, layout);
        QFETCH(qint64, node);
        QFETCH(qint64, root);
        QFETCH(int, cables);
        QFETCH(Ids, neighbours);
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

    // Lists come in cable-list order and, within a cable, point order.
    void order()
    {
        QCOMPARE(cableNodeIds(makeCable(1, {3, -1, 5, 3, -1})), (Ids{3, 5, 3}));
        const QList<Cable> list = makeCables({{3, 1, 2}, {4, 1}, {3, 5}, {-1, 4}});
        QCOMPARE(cablesAtNode(list, 3).size(), 2);
        QCOMPARE(cablesAtNode(list, 3).last().id, 3);
        // From 1: cable 1 gives 3 then 2, cable 2 gives 4; then 3's cable adds 5.
        QCOMPARE(breadthFirstOrder(list, 1), (Ids{1, 3, 2, 4, 5}));
    }
};

QTEST_GUILESS_MAIN(TestTopology)
#include "tst_topology.moc"
