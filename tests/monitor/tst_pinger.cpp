// SPDX-License-Identifier: GPL-3.0-or-later
// Pinger against real ICMP on loopback through the shared engine: run statistics, the sequence
// wrap, timeouts decided by kernel stamps, send failures, bounded history.

#include "monitor/ping_engine.h"
#include "monitor/pinger.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <cmath>
#include <mutex>
#include <numeric>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

// A pinger of 127.0.0.1, requests back to back unless told otherwise, and what it reports
// (callbacks arrive on the engine thread).
struct Run {
    std::shared_ptr<Pinger> pinger;
    std::mutex mutex;
    QList<PingResponse> responses;
    std::optional<PingResult> result;
    std::atomic<int> count{0};

    explicit Run(PingConfiguration c = {.pingInterval = 0.0, .timeoutInterval = 1.0})
        : pinger(Pinger::createForAddress(u"127.0.0.1"_s, c).value())
    {
        pinger->setObserver([this](const PingResponse& r) {
            std::lock_guard lock(mutex);
            responses.append(r);
            ++count;
        });
        pinger->setFinished([this](const PingResult& r) {
            std::lock_guard lock(mutex);
            result = r;
        });
    }
    bool finished()
    {
        std::lock_guard lock(mutex);
        return result.has_value();
    }
    // Starts and waits until `target` requests have ended.
    bool runTo(int target, int timeoutMs = 5000)
    {
        pinger->setTargetCount(target);
        return pinger->start() && QTest::qWaitFor([this] { return finished(); }, timeoutMs);
    }
};

} // namespace

class TestPinger final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!PingEngine::instance()->ensureSocket())
            QSKIP("No ICMP socket: run as root (raw socket) or allow ICMP datagram sockets with "
                  "net.ipv4.ping_group_range");
    }

    void loopbackRunFinishes()
    {
        Run run({.pingInterval = 0.01, .timeoutInterval = 1.0, .haltAfterTarget = true});
        QVERIFY(run.runTo(5));
        std::lock_guard lock(run.mutex);
        QCOMPARE(run.responses.size(), 5);
        QList<double> durations;
        for (const PingResponse& r : std::as_const(run.responses)) {
            QVERIFY2(!r.error, qPrintable(r.error ? r.error->description() : QString()));
            QCOMPARE(r.sequenceNumber, quint16(durations.size()));
            QCOMPARE(r.identifier, run.pinger->identifier());
            QCOMPARE(r.ipAddress, std::optional(u"127.0.0.1"_s));
            QCOMPARE(r.byteCount, std::optional<qint64>(44));
            QVERIFY(r.ipHeader && r.ipHeader->protocol == 1);
            QCOMPARE(r.ipHeader->sourceAddress, (std::array<quint8, 4>{127, 0, 0, 1}));
            QVERIFY(r.duration > 0.0 && r.duration < 0.5);
            durations.append(r.duration);
        }
        const PingResult& result = *run.result;
        QCOMPARE(result.packetsTransmitted, quint64(5));
        QCOMPARE(result.packetsReceived, quint64(5));
        // Population statistics of the run's round trips.
        const double mean = std::accumulate(durations.cbegin(), durations.cend(), 0.0) / 5;
        double squares = 0;
        for (double d : std::as_const(durations))
            squares += (d - mean) * (d - mean);
        QVERIFY(result.roundtrip);
        QCOMPARE(result.roundtrip->minimum,
                 *std::min_element(durations.cbegin(), durations.cend()));
        QCOMPARE(result.roundtrip->maximum,
                 *std::max_element(durations.cbegin(), durations.cend()));
        QVERIFY(qAbs(result.roundtrip->average - mean) < 1e-12);
        QVERIFY(qAbs(result.roundtrip->standardDeviation - std::sqrt(squares / 5)) < 1e-12);
        // Reaching the target with haltAfterTarget resets the run and releases the socket.
        QVERIFY(!run.pinger->hasSocket());
        QCOMPARE(run.pinger->sequenceIndex(), quint16(0));
    }

    void repliesReachTheirOwnPinger()
    {
        // Several pingers to one address on the one shared socket: each gets exactly its replies.
        std::vector<std::unique_ptr<Run>> runs;
        for (int i = 0; i < 4; ++i) {
            runs.push_back(std::make_unique<Run>());
            runs.back()->pinger->setTargetCount(20);
            QVERIFY(runs.back()->pinger->start());
        }
        for (auto& run : runs) {
            QTRY_VERIFY_WITH_TIMEOUT(run->finished(), 5000);
            QCOMPARE(run->result->packetsReceived, quint64(20));
        }
    }

    void lateRepliesAreTimeouts()
    {
        // Loopback answers in microseconds; a 1 µs timeout makes every reply late by its kernel
        // stamp, whenever it is read. Past the bound on remembered failures the oldest go first
        // (haltAfterTarget stays off, which keeps them when the run ends).
        constexpr int requests = Pinger::erroredIndicesLimit + 76;
        Run run({.pingInterval = 0.0, .timeoutInterval = 0.000001});
        QVERIFY(run.runTo(requests, 30000));
        std::lock_guard lock(run.mutex);
        QCOMPARE(run.responses.size(), requests);
        for (int i = 0; i < requests; ++i) {
            QCOMPARE(run.responses[i].error, std::optional(PingError::responseTimeout()));
            QCOMPARE(run.responses[i].sequenceNumber, quint16(i));
            QVERIFY(!run.responses[i].byteCount);
        }
        QCOMPARE(run.result->packetsReceived, quint64(0));
        QList<quint16> newest;
        for (int i = requests - Pinger::erroredIndicesLimit; i < requests; ++i)
            newest.append(quint16(i));
        QCOMPARE(run.pinger->erroredIndices(), newest);
    }

    void stopWaitsForTheObserver_data()
    {
        QTest::addColumn<bool>("fromObserver");
        QTest::newRow("stopped by another thread") << false;
        QTest::newRow("stopped inside the observer") << true;
    }
    void stopWaitsForTheObserver()
    {
        // Observers capture their caller's state: once stop() returns, none may still be running.
        // An observer that stops its own pinger must not wait for itself.
        QFETCH(bool, fromObserver);
        Run run;
        std::atomic<bool> inside{false};
        std::atomic<int> calls{0};
        run.pinger->setObserver([&, self = run.pinger.get()](const PingResponse&) {
            inside = true;
            ++calls;
            if (fromObserver)
                self->stop(true);
            else
                QThread::msleep(300);
            inside = false;
        });
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(inside.load() || (fromObserver && calls.load() > 0), 5000);
        if (!fromObserver) {
            run.pinger->stop(true);
            QVERIFY(!inside.load());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!inside.load(), 2000);
        QTest::qWait(50);
        QCOMPARE(calls.load(), 1);
    }

    void buildFailuresKeepTheSequence()
    {
        Run run({.pingInterval = 0.005, .timeoutInterval = 1.0, .payloadSize = 17});
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(run.count.load() >= 3, 5000);
        run.pinger->stop(false);
        std::lock_guard lock(run.mutex);
        for (const PingResponse& r : run.responses) {
            QCOMPARE(r.error, std::optional(PingError::unexpectedPayloadLength()));
            QCOMPARE(r.sequenceNumber, quint16(0)); // a send failure does not advance
        }
        QCOMPARE(run.pinger->sequenceIndex(), quint16(0));
        QCOMPARE(run.pinger->erroredIndices().size(), run.responses.size());
    }

    void stopKeepsOrResetsTheSequence()
    {
        Run run({.pingInterval = 0.002, .timeoutInterval = 1.0});
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(run.count.load() >= 3, 5000);
        run.pinger->stop(false);
        QVERIFY(run.finished());
        const quint16 kept = run.pinger->sequenceIndex();
        QVERIFY(kept >= 3);
        QCOMPARE(run.result->packetsTransmitted, quint64(kept));
        const int before = run.count.load();
        QTest::qWait(50);
        QCOMPARE(run.count.load(), before); // nothing after stop
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(run.count.load() >= before + 2, 5000);
        run.pinger->stop(true);
        QCOMPARE(run.pinger->sequenceIndex(), quint16(0));
        QCOMPARE(run.pinger->trueSequenceIndex(), quint64(0));
        std::lock_guard lock(run.mutex);
        QCOMPARE(run.responses[before].sequenceNumber, kept); // resumed where it stopped
    }

    void historyIsBoundedAndTimeToLiveSent()
    {
        QCOMPARE(Pinger::createForAddress(u"127.0.0.1"_s, {.timeToLive = 0}).error(),
                 PingError::socketOptionsSetError(-1));
        Run run({.pingInterval = 0.0, .timeoutInterval = 1.0, .timeToLive = 3});
        run.pinger->setResponseHistoryLimit(4);
        QVERIFY(run.runTo(30));
        QCOMPARE(run.result->responses.size(), 4);
        QCOMPARE(run.result->responses.last().trueSequenceNumber, quint64(29));
        QCOMPARE(run.result->packetsReceived, quint64(30)); // statistics cover the whole run
    }

    void sequenceWraps()
    {
        // Real echoes across the 16-bit wrap; the 64-bit counter carries on past 65535.
        Run run;
        run.pinger->setSequenceIndices(65530, 65530);
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(run.count.load() >= 8, 10000);
        run.pinger->stop(true);
        std::lock_guard lock(run.mutex);
        QList<std::pair<quint16, quint64>> numbers;
        for (const PingResponse& r : run.responses.first(8)) {
            QVERIFY(!r.error);
            numbers.append({r.sequenceNumber, r.trueSequenceNumber});
        }
        QCOMPARE(numbers.mid(5),
                 (QList<std::pair<quint16, quint64>>{{65535, 65535}, {0, 65536}, {1, 65537}}));
    }
};

QTEST_GUILESS_MAIN(TestPinger)
#include "tst_pinger.moc"
