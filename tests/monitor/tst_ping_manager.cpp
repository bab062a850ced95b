// SPDX-License-Identifier: GPL-3.0-or-later
// PingManager with real ICMP on loopback: address filtering and sharing, classification, the
// reset on restart, 200 addresses, and batched publication on the main thread.

#include "monitor/ping_engine.h"
#include "monitor/ping_manager.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

Node node(qint64 id, const QString& ip)
{
    return {.id = id, .ip = ip};
}

CablePoint end(qint64 id)
{
    return {.type = cablePointTypeNode, .nodeId = id};
}

} // namespace

class TestPingManager final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!PingEngine::instance()->ensureSocket())
            QSKIP("No ICMP socket: run as root (raw socket) or allow ICMP datagram sockets with "
                  "net.ipv4.ping_group_range");
    }

    void sharedAddressesShareOnePinger()
    {
        PingManager manager;
        manager.setPingInterval(0.1);
        QSignalSpy published(&manager, &PingManager::published);
        manager.startMonitoring({node(1, u"127.0.0.1"_s), node(2, u"  127.0.0.1\t"_s),
                                 node(3, u"127.0.0.256"_s), node(4, u"0.0.0.0"_s),
                                 node(5, u"localhost"_s), node(6, QString())});
        QCOMPARE(published.count(), 1); // the reset to unknown
        QCOMPARE(manager.nodeStatuses(),
                 (QHash<qint64, PingStatus>{{1, PingStatus::unknown}, {2, PingStatus::unknown}}));
        QTRY_COMPARE_WITH_TIMEOUT(manager.nodeStatuses().value(1), PingStatus::online, 5000);
        QCOMPARE(manager.pingerCount(), 1);
        QCOMPARE(manager.totalPingsSent(), 1);
        QCOMPARE(manager.nodeStatuses().value(2), PingStatus::online);
        QCOMPARE(manager.nodeLatencies().value(1), manager.nodeLatencies().value(2));
        QVERIFY(manager.nodeLatencies().value(1) > 0.0);
        QVERIFY(qAbs(manager.responseTimes().value(1) * 1000.0 - manager.nodeLatencies().value(1)) <
                1e-9);
        QCOMPARE(manager.cableStatus(7, {end(1), end(2)}), PingStatus::online);
        QVERIFY(manager.cablesHaveBeenOnline().contains(7));
    }

    void restartResetsToUnknownAndStopKeeps()
    {
        PingManager manager;
        manager.setPingInterval(0.1);
        manager.startMonitoring({node(1, u"127.0.0.2"_s), node(2, u"127.0.0.3"_s)});
        QTRY_COMPARE_WITH_TIMEOUT(manager.nodeStatuses().value(2), PingStatus::online, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(manager.nodeStatuses().value(1), PingStatus::online, 5000);
        manager.cableStatus(9, {end(1), end(2)});
        manager.startMonitoring({node(1, u"127.0.0.2"_s)});
        QCOMPARE(manager.nodeStatuses().value(1), PingStatus::unknown);
        // An unknown node shows no response time from before the restart.
        QVERIFY(!manager.nodeLatencies().contains(1));
        QVERIFY(!manager.responseTimes().contains(1));
        QCOMPARE(manager.nodeStatuses().value(2), PingStatus::online); // no longer monitored: kept
        QVERIFY(manager.nodeLatencies().contains(2));
        QVERIFY(manager.responseTimes().contains(2));
        QVERIFY(manager.cablesHaveBeenOnline().isEmpty());
        QCOMPARE(manager.pingerCount(), 1);
        // Stopping keeps the last published statuses and publishes nothing more.
        QSignalSpy published(&manager, &PingManager::published);
        manager.stopMonitoring();
        QVERIFY(!manager.isMonitoring());
        QCOMPARE(manager.pingerCount(), 0);
        QTest::qWait(700);
        QCOMPARE(published.count(), 0);
        QCOMPARE(manager.nodeStatuses().value(2), PingStatus::online);
    }

    void twoHundredAddressesComeOnline()
    {
        PingManager manager;
        manager.setPingInterval(1.0);
        QList<Node> nodes;
        for (int i = 0; i < 200; ++i)
            nodes.append(node(i + 1, u"127.1.%1.%2"_s.arg(i / 100).arg(i % 100 + 1)));
        manager.startMonitoring(nodes);
        // Starts are 50 ms apart: the last one begins 9.95 s after the first.
        const auto allOnline = [&] {
            return std::all_of(nodes.cbegin(), nodes.cend(), [&](const Node& n) {
                return manager.nodeStatuses().value(n.id) == PingStatus::online;
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allOnline(), 20000);
        QCOMPARE(manager.totalPingsSent(), 200);
        QCOMPARE(manager.pingerCount(), 200);
        QCOMPARE(manager.nodeLatencies().size(), 200);
    }

    void publicationsAreBatched()
    {
        PingManager manager;
        manager.setPingInterval(0.0); // back-to-back requests: thousands of replies a second
        QSignalSpy published(&manager, &PingManager::published);
        manager.startMonitoring({node(1, u"127.0.0.4"_s)});
        QTRY_COMPARE_WITH_TIMEOUT(manager.nodeStatuses().value(1), PingStatus::online, 5000);
        published.clear();
        const qint64 before = manager.totalPingsReceived();
        QTest::qWait(1600);
        const qint64 replies = manager.totalPingsReceived() - before;
        QVERIFY2(replies > 20, qPrintable(QString::number(replies)));
        // At most one publication per 0.5 s tick however many replies arrived.
        QVERIFY2(published.count() >= 2 && published.count() <= 4,
                 qPrintable(QString::number(published.count())));
    }
};

QTEST_GUILESS_MAIN(TestPingManager)
#include "tst_ping_manager.moc"
