// SPDX-License-Identifier: GPL-3.0-or-later
// PingManager with real ICMP on loopback: address filtering and sharing, classification, the
// reset on restart, the start spread, 200 addresses, batched publication on the main thread,
// and the offline rules under loss made by nftables (as root, in a namespace of the test's own).

#include "support/manual_scheduler.h"
#include "support/netns.h"

#include "monitor/ping_engine.h"
#include "monitor/ping_manager.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

namespace {

Node node(qint64 id, const QString& ip)
{
    return {.id = id, .ip = ip};
}

CablePoint end(qint64 id)
{
    return {.type = cablePointTypeNode, .nodeId = id};
}

QList<Node> loopbackNodes(int count)
{
    QList<Node> nodes;
    for (int i = 0; i < count; ++i)
        nodes.append(node(i + 1, u"127.1.%1.%2"_s.arg(i / 250).arg(i % 250 + 1)));
    return nodes;
}

} // namespace

class TestPingManager final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // As root the whole test pings inside a namespace of its own, where nftables may drop
        // its requests; the engine's socket belongs to the namespace of the thread opening it.
        if (NetworkNamespace::unavailableReason().isEmpty() &&
            !QStandardPaths::findExecutable(u"nft"_s).isEmpty()) {
            m_ns = std::make_unique<NetworkNamespace>(u"velmora-pm"_s);
            QVERIFY(m_ns->isValid() && m_ns->enter());
        }
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

    void startSpread_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("interval");
        QTest::addColumn<int>("firstBatch"); // pingers started at once
        QTest::addColumn<int>("lastStartMs");
        // 50 ms apart while that fits in one interval; beyond, an equal share every 50 ms of
        // one interval.
        QTest::newRow("10 at 1 s") << 10 << 1.0 << 1 << 450;
        QTest::newRow("20 at 1 s, just fits") << 20 << 1.0 << 1 << 950;
        QTest::newRow("100 at 1 s") << 100 << 1.0 << 5 << 950;
        QTest::newRow("1000 at 3 s") << 1000 << 3.0 << 17 << 2950;
        QTest::newRow("3 at 0.04 s, all at once") << 3 << 0.04 << 3 << 0;
    }
    void startSpread()
    {
        QFETCH(int, count);
        QFETCH(double, interval);
        QFETCH(int, firstBatch);
        QFETCH(int, lastStartMs);
        ManualScheduler clock;
        PingManager manager;
        manager.setScheduler(&clock);
        manager.setPingInterval(interval);
        manager.startMonitoring(loopbackNodes(count));
        QCOMPARE(manager.pingerCount(), firstBatch);
        clock.advanceTo(lastStartMs / 2);
        QCOMPARE(manager.pingerCount(), std::max(firstBatch, count / 2)); // evenly spread
        clock.advanceTo(lastStartMs - 1);
        QCOMPARE(manager.pingerCount() < count, lastStartMs > 0);
        clock.advanceTo(lastStartMs);
        QCOMPARE(manager.pingerCount(), count);
        QCOMPARE(clock.pending(), 0);
    }

    void twoHundredAddressesComeOnline()
    {
        PingManager manager;
        manager.setPingInterval(1.0);
        const QList<Node> nodes = loopbackNodes(200);
        manager.startMonitoring(nodes);
        // Starts are spread over the 1 s interval (50 ms apart would take 9.95 s): every node
        // has a status within the interval, a reply and a publication.
        const auto allOnline = [&] {
            return std::all_of(nodes.cbegin(), nodes.cend(), [&](const Node& n) {
                return manager.nodeStatuses().value(n.id) == PingStatus::online;
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allOnline(), 6000);
        QCOMPARE(manager.totalPingsSent(), 200);
        QCOMPARE(manager.pingerCount(), 200);
        QCOMPARE(manager.nodeLatencies().size(), 200);
    }

    void offlineRules_data()
    {
        QTest::addColumn<QString>("loss"); // which requests nftables drops on the way out
        QTest::addColumn<int>("offlineAfter");
        QTest::addColumn<bool>("neverAnsweredCounts");
        QTest::addColumn<QString>("seen"); // the statuses published, in order of appearance
        QTest::newRow("1 of 2 lost, N=1")
            << u"mod 2 < 1"_s << 1 << false << u"unknown online offline"_s;
        QTest::newRow("1 of 2 lost, N=2") << u"mod 2 < 1"_s << 2 << false << u"unknown online"_s;
        QTest::newRow("2 of 3 lost, N=2")
            << u"mod 3 < 2"_s << 2 << false << u"unknown online offline"_s;
        QTest::newRow("2 of 3 lost, N=3") << u"mod 3 < 2"_s << 3 << false << u"unknown online"_s;
        QTest::newRow("all lost") << u"mod 1 < 1"_s << 1 << false << u"unknown"_s;
        QTest::newRow("all lost, counted, N=3")
            << u"mod 1 < 1"_s << 3 << true << u"unknown offline"_s;
        QTest::newRow("first 2 lost, counted, N=3")
            << u"mod 100 < 2"_s << 3 << true << u"unknown online"_s;
    }
    void offlineRules()
    {
        QFETCH(QString, loss);
        QFETCH(int, offlineAfter);
        QFETCH(bool, neverAnsweredCounts);
        QFETCH(QString, seen);
        if (!m_ns)
            QSKIP("Needs root and nft (nftables) to drop requests in a namespace of its own");
        // A request dropped on the way out fails at once, so the pattern holds from the first.
        QVERIFY(
            m_ns->run({u"nft"_s, u"flush ruleset; add table ip loss; add chain ip loss out "
                                 u"{ type filter hook output priority 0; }; add rule ip loss "
                                 u"out icmp type echo-request numgen inc %1 drop"_s.arg(loss)}));
        PingManager manager;
        manager.setPingInterval(0.6); // above the 0.5 s publication: every outcome is published
        manager.setOfflineAfter(offlineAfter);
        manager.setCountNeverAnsweredAsOffline(neverAnsweredCounts);
        QStringList statuses;
        connect(&manager, &PingManager::published, this, [&] {
            const QString status = pingStatusName(manager.nodeStatuses().value(1));
            if (!statuses.contains(status))
                statuses.append(status);
        });
        manager.startMonitoring({node(1, u"127.20.0.1"_s)});
        QTRY_VERIFY_WITH_TIMEOUT(manager.totalPingsReceived() >= 6, 10000);
        QTest::qWait(600);
        QCOMPARE(statuses.join(u' '), seen);
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

private:
    std::unique_ptr<NetworkNamespace> m_ns;
};

QTEST_GUILESS_MAIN(TestPingManager)
#include "tst_ping_manager.moc"
