// SPDX-License-Identifier: GPL-3.0-or-later
// Pinger against real ICMP on loopback through the shared engine: statistics at the end of a
// run, the sequence wrap, timeouts decided by kernel stamps, send failures, bounded history.
// Needs a raw socket (root) or ICMP datagram sockets allowed for this user.

#include "monitor/ping_engine.h"
#include "monitor/pinger.h"

#include <QTest>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <cstring>
#include <mutex>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

// Collects what a pinger reports; callbacks arrive on the engine thread.
struct Recorder {
    std::mutex mutex;
    QList<PingResponse> responses;
    std::optional<PingResult> result;
    std::atomic<int> count{0};

    void attach(Pinger& pinger)
    {
        pinger.setObserver([this](const PingResponse& r) {
            std::lock_guard lock(mutex);
            responses.append(r);
            ++count;
        });
        pinger.setFinished([this](const PingResult& r) {
            std::lock_guard lock(mutex);
            result = r;
        });
    }
    bool finished()
    {
        std::lock_guard lock(mutex);
        return result.has_value();
    }
};

// A pinger of 127.0.0.1 with a recorder attached; requests back to back unless told otherwise.
struct Run {
    std::shared_ptr<Pinger> pinger;
    Recorder rec;

    explicit Run(PingConfiguration c = {.pingInterval = 0.0, .timeoutInterval = 1.0})
        : pinger(Pinger::createForAddress(u"127.0.0.1"_s, c).value())
    {
        rec.attach(*pinger);
    }
    // Starts and waits until `target` requests have ended.
    bool runTo(int target, int timeoutMs = 5000)
    {
        pinger->setTargetCount(target);
        return pinger->start() && QTest::qWaitFor([this] { return rec.finished(); }, timeoutMs);
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
        std::lock_guard lock(run.rec.mutex);
        QCOMPARE(run.rec.responses.size(), 5);
        double sum = 0;
        for (int i = 0; i < 5; ++i) {
            const PingResponse& r = run.rec.responses[i];
            QVERIFY2(!r.error, qPrintable(r.error ? r.error->description() : QString()));
            QCOMPARE(r.sequenceNumber, quint16(i));
            QCOMPARE(r.trueSequenceNumber, quint64(i));
            QCOMPARE(r.identifier, run.pinger->identifier());
            QCOMPARE(r.ipAddress, std::optional(u"127.0.0.1"_s));
            QCOMPARE(r.byteCount, std::optional<qint64>(44));
            QVERIFY(r.ipHeader && r.ipHeader->protocol == 1);
            QCOMPARE(r.ipHeader->sourceAddress, (std::array<quint8, 4>{127, 0, 0, 1}));
            QVERIFY(r.duration > 0.0 && r.duration < 0.5);
            sum += r.duration;
        }
        const PingResult& result = *run.rec.result;
        QCOMPARE(result.packetsTransmitted, quint64(5));
        QCOMPARE(result.packetsReceived, quint64(5));
        QVERIFY(result.roundtrip && qAbs(result.roundtrip->average - sum / 5) < 1e-12);
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
            QTRY_VERIFY_WITH_TIMEOUT(run->rec.finished(), 5000);
            QCOMPARE(run->rec.result->packetsReceived, quint64(20));
        }
    }

    void lateRepliesAreTimeouts()
    {
        // Loopback answers in microseconds; a 1 µs timeout makes every reply late by its kernel
        // stamp, whenever it is read. Past the bound on remembered failures the oldest go first.
        constexpr int requests = Pinger::erroredIndicesLimit + 76;
        // haltAfterTarget stays off, which keeps the remembered failures when the run ends.
        Run run({.pingInterval = 0.0, .timeoutInterval = 0.000001});
        QVERIFY(run.runTo(requests, 30000));
        std::lock_guard lock(run.rec.mutex);
        QCOMPARE(run.rec.responses.size(), requests);
        for (int i = 0; i < requests; ++i) {
            QCOMPARE(run.rec.responses[i].error, std::optional(PingError::responseTimeout()));
            QCOMPARE(run.rec.responses[i].sequenceNumber, quint16(i));
            QVERIFY(!run.rec.responses[i].byteCount);
        }
        QCOMPARE(run.rec.result->packetsReceived, quint64(0));
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
        QTRY_VERIFY_WITH_TIMEOUT(run.rec.count.load() >= 3, 5000);
        run.pinger->stop(false);
        std::lock_guard lock(run.rec.mutex);
        for (const PingResponse& r : run.rec.responses) {
            QCOMPARE(r.error, std::optional(PingError::unexpectedPayloadLength()));
            QCOMPARE(r.sequenceNumber, quint16(0)); // a send failure does not advance
        }
        QCOMPARE(run.pinger->sequenceIndex(), quint16(0));
        QCOMPARE(run.pinger->erroredIndices().size(), run.rec.responses.size());
    }

    void stopKeepsOrResetsTheSequence()
    {
        Run run({.pingInterval = 0.002, .timeoutInterval = 1.0});
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(run.rec.count.load() >= 3, 5000);
        run.pinger->stop(false);
        QVERIFY(run.rec.finished());
        const quint16 kept = run.pinger->sequenceIndex();
        QVERIFY(kept >= 3);
        QCOMPARE(run.rec.result->packetsTransmitted, quint64(kept));
        const int before = run.rec.count.load();
        QTest::qWait(50);
        QCOMPARE(run.rec.count.load(), before); // nothing after stop
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(run.rec.count.load() >= before + 2, 5000);
        run.pinger->stop(true);
        QCOMPARE(run.pinger->sequenceIndex(), quint16(0));
        QCOMPARE(run.pinger->trueSequenceIndex(), quint64(0));
        std::lock_guard lock(run.rec.mutex);
        QCOMPARE(run.rec.responses[before].sequenceNumber, kept); // resumed where it stopped
    }

    void historyIsBounded()
    {
        Run run;
        run.pinger->setResponseHistoryLimit(4);
        QVERIFY(run.runTo(30));
        QCOMPARE(run.rec.result->responses.size(), 4);
        QCOMPARE(run.rec.result->responses.last().trueSequenceNumber, quint64(29));
        QCOMPARE(run.rec.result->packetsReceived, quint64(30)); // statistics cover the whole run
    }

    void timeToLive()
    {
        const auto bad = Pinger::createForAddress(u"127.0.0.1"_s, {.timeToLive = 0});
        QCOMPARE(bad.error(), PingError::socketOptionsSetError(-1));
        Run run({.pingInterval = 0.0, .timeoutInterval = 1.0, .timeToLive = 3});
        QVERIFY(run.runTo(2));
        QCOMPARE(run.rec.result->packetsReceived, quint64(2));
    }

    void sequenceWraps()
    {
        // Real echoes across the 16-bit wrap; the 64-bit counter carries on past 65535.
        Run run;
        run.pinger->setSequenceIndices(65530, 65530);
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(run.rec.count.load() >= 8, 10000);
        run.pinger->stop(true);
        std::lock_guard lock(run.rec.mutex);
        QList<std::pair<quint16, quint64>> numbers;
        for (const PingResponse& r : run.rec.responses.first(8)) {
            QVERIFY(!r.error);
            numbers.append({r.sequenceNumber, r.trueSequenceNumber});
        }
        QCOMPARE(numbers.mid(5),
                 (QList<std::pair<quint16, quint64>>{{65535, 65535}, {0, 65536}, {1, 65537}}));
    }

    void zeroChecksumSequenceAnswers()
    {
        // The sequence number whose request words sum to 0xFFFF (checksum 0x0000) must be sent
        // and answered like any other, not fail again and again.
        Run run;
        QByteArray probe = buildEchoRequest(run.pinger->identifier(), 0,
                                            toFingerprint(run.pinger->fingerprint()), 16)
                               .value();
        // With the sequence word zero, the checksum is the word that completes the sum.
        const auto checksum = internetChecksum(probe);
        const quint16 fill = checksum ? *checksum : 0;
        const quint16 sequence = qFromBigEndian<quint16>(&fill);
        run.pinger->setSequenceIndices(sequence, 0);
        QVERIFY(run.pinger->start());
        QTRY_VERIFY_WITH_TIMEOUT(run.rec.count.load() >= 2, 5000);
        run.pinger->stop(true);
        std::lock_guard lock(run.rec.mutex);
        QCOMPARE(run.rec.responses[0].sequenceNumber, sequence);
        QVERIFY2(!run.rec.responses[0].error,
                 qPrintable(run.rec.responses[0].error->description()));
        QCOMPARE(run.rec.responses[1].sequenceNumber, quint16(sequence + 1));
    }
};

QTEST_GUILESS_MAIN(TestPinger)
#include "tst_pinger.moc"
