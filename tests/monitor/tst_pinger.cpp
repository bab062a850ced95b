// SPDX-License-Identifier: GPL-3.0-or-later
// Pinger against real ICMP on loopback through the shared engine: statistics at the end of a
// run, the sequence wrap, timeouts decided by kernel stamps, send failures, bounded history.
// Needs a raw socket (root) or ICMP datagram sockets allowed for this user.

#include "monitor/ping_engine.h"
#include "monitor/pinger.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <cstring>
#include <mutex>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

PingConfiguration fastConfiguration()
{
    PingConfiguration c;
    c.pingInterval = 0.0;
    c.timeoutInterval = 1.0;
    c.payloadSize = 16;
    return c;
}

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

} // namespace

class TestPinger final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void loopbackRunFinishes();
    void repliesReachTheirOwnPinger();
    void lateRepliesAreTimeouts();
    void stopWaitsForTheObserver_data();
    void stopWaitsForTheObserver();
    void buildFailuresKeepTheSequence();
    void stopKeepsOrResetsTheSequence();
    void historyIsBounded();
    void timeToLive();
    void sequenceWraps();
    void zeroChecksumSequenceAnswers();
};

void TestPinger::initTestCase()
{
    const PingOr<std::monostate> socket = PingEngine::instance()->ensureSocket();
    if (!socket)
        QSKIP("No ICMP socket: run as root (raw socket) or allow ICMP datagram sockets with "
              "net.ipv4.ping_group_range");
    qInfo() << "ICMP socket:" << PingEngine::socketKindName(PingEngine::instance()->socketKind())
            << "receive buffer" << PingEngine::instance()->receiveBufferBytes();
}

void TestPinger::loopbackRunFinishes()
{
    PingConfiguration c = fastConfiguration();
    c.pingInterval = 0.01;
    c.haltAfterTarget = true;
    auto created = Pinger::createForAddress(u"127.0.0.1"_s, c);
    QVERIFY(created);
    auto pinger = created.value();
    Recorder rec;
    rec.attach(*pinger);
    pinger->setTargetCount(5);
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(rec.finished(), 5000);

    std::lock_guard lock(rec.mutex);
    QCOMPARE(rec.responses.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const PingResponse& r = rec.responses[i];
        QVERIFY2(!r.error, qPrintable(r.error ? r.error->description() : QString()));
        QCOMPARE(r.sequenceNumber, quint16(i));
        QCOMPARE(r.trueSequenceNumber, quint64(i));
        QCOMPARE(r.identifier, pinger->identifier());
        QCOMPARE(r.ipAddress, std::optional(u"127.0.0.1"_s));
        QCOMPARE(r.byteCount, std::optional<qint64>(44));
        QVERIFY(r.ipHeader);
        QCOMPARE(r.ipHeader->protocol, quint8(1));
        QCOMPARE(r.ipHeader->sourceAddress, (std::array<quint8, 4>{127, 0, 0, 1}));
        QVERIFY(r.duration > 0.0 && r.duration < 0.5);
    }
    const PingResult& result = *rec.result;
    QCOMPARE(result.packetsTransmitted, quint64(5));
    QCOMPARE(result.packetsReceived, quint64(5));
    QVERIFY(result.roundtrip);
    double sum = 0, lo = 1, hi = 0;
    for (const PingResponse& r : rec.responses) {
        sum += r.duration;
        lo = std::min(lo, r.duration);
        hi = std::max(hi, r.duration);
    }
    QCOMPARE(result.roundtrip->minimum, lo);
    QCOMPARE(result.roundtrip->maximum, hi);
    QVERIFY(qAbs(result.roundtrip->average - sum / 5) < 1e-12);
    // Reaching the target with haltAfterTarget resets the run and releases the socket.
    QVERIFY(!pinger->hasSocket());
    QCOMPARE(pinger->sequenceIndex(), quint16(0));
}

void TestPinger::repliesReachTheirOwnPinger()
{
    // Several pingers to one address on the one shared socket: each gets exactly its replies.
    QList<std::shared_ptr<Pinger>> pingers;
    QList<std::shared_ptr<Recorder>> recorders;
    for (int i = 0; i < 4; ++i) {
        auto p = Pinger::createForAddress(u"127.0.0.1"_s, fastConfiguration()).value();
        auto rec = std::make_shared<Recorder>();
        rec->attach(*p);
        p->setTargetCount(20);
        pingers.append(p);
        recorders.append(rec);
    }
    for (auto& p : pingers)
        QVERIFY(p->start());
    for (auto& rec : recorders)
        QTRY_VERIFY_WITH_TIMEOUT(rec->finished(), 5000);
    for (auto& rec : recorders) {
        std::lock_guard lock(rec->mutex);
        QCOMPARE(rec->result->packetsReceived, quint64(20));
        for (const PingResponse& r : rec->responses)
            QVERIFY(!r.error);
    }
}

void TestPinger::lateRepliesAreTimeouts()
{
    // Loopback answers in microseconds; a 1 µs timeout makes every reply late by its kernel
    // stamp, whenever it is read. Past the bound on remembered failures the oldest go first.
    constexpr int requests = Pinger::erroredIndicesLimit + 76;
    PingConfiguration c = fastConfiguration();
    c.timeoutInterval = 0.000001;
    c.haltAfterTarget = false; // keeps the remembered failures when the target is reached
    auto pinger = Pinger::createForAddress(u"127.0.0.1"_s, c).value();
    Recorder rec;
    rec.attach(*pinger);
    pinger->setTargetCount(requests);
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(rec.finished(), 30000);
    std::lock_guard lock(rec.mutex);
    QCOMPARE(rec.responses.size(), requests);
    for (int i = 0; i < requests; ++i) {
        QCOMPARE(rec.responses[i].error, std::optional(PingError::responseTimeout()));
        QCOMPARE(rec.responses[i].sequenceNumber, quint16(i));
        QVERIFY(!rec.responses[i].byteCount);
    }
    QCOMPARE(rec.result->packetsReceived, quint64(0));
    QVERIFY(!rec.result->roundtrip);
    QList<quint16> newest;
    for (int i = requests - Pinger::erroredIndicesLimit; i < requests; ++i)
        newest.append(quint16(i));
    QCOMPARE(pinger->erroredIndices(), newest);
}

void TestPinger::stopWaitsForTheObserver_data()
{
    QTest::addColumn<bool>("fromObserver");
    QTest::newRow("stopped by another thread") << false;
    QTest::newRow("stopped inside the observer") << true;
}

void TestPinger::stopWaitsForTheObserver()
{
    // Observers capture their caller's state: once stop() returns, none may still be running.
    // An observer that stops its own pinger must not wait for itself.
    QFETCH(bool, fromObserver);
    auto pinger = Pinger::createForAddress(u"127.0.0.1"_s, fastConfiguration()).value();
    std::atomic<bool> inside{false};
    std::atomic<int> calls{0};
    pinger->setObserver([&, self = pinger.get()](const PingResponse&) {
        inside = true;
        ++calls;
        if (fromObserver)
            self->stop(true);
        else
            QThread::msleep(300);
        inside = false;
    });
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(inside.load() || (fromObserver && calls.load() > 0), 5000);
    if (!fromObserver) {
        pinger->stop(true);
        QVERIFY(!inside.load());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!inside.load(), 2000);
    QTest::qWait(50);
    QCOMPARE(calls.load(), 1);
}

void TestPinger::buildFailuresKeepTheSequence()
{
    PingConfiguration c = fastConfiguration();
    c.payloadSize = 17;
    c.pingInterval = 0.005;
    auto pinger = Pinger::createForAddress(u"127.0.0.1"_s, c).value();
    Recorder rec;
    rec.attach(*pinger);
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(rec.count.load() >= 3, 5000);
    pinger->stop(false);
    std::lock_guard lock(rec.mutex);
    for (const PingResponse& r : rec.responses) {
        QCOMPARE(r.error, std::optional(PingError::unexpectedPayloadLength()));
        QCOMPARE(r.sequenceNumber, quint16(0)); // a send failure does not advance
    }
    QCOMPARE(pinger->sequenceIndex(), quint16(0));
    QVERIFY(pinger->erroredIndices().size() >= 3);
    QVERIFY(pinger->erroredIndices().size() <= Pinger::erroredIndicesLimit);
}

void TestPinger::stopKeepsOrResetsTheSequence()
{
    PingConfiguration c = fastConfiguration();
    c.pingInterval = 0.002;
    auto pinger = Pinger::createForAddress(u"127.0.0.1"_s, c).value();
    Recorder rec;
    rec.attach(*pinger);
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(rec.count.load() >= 3, 5000);
    pinger->stop(false);
    QVERIFY(rec.finished());
    const quint16 kept = pinger->sequenceIndex();
    QVERIFY(kept >= 3);
    QCOMPARE(rec.result->packetsTransmitted, quint64(kept));
    const int before = rec.count.load();
    QTest::qWait(50);
    QCOMPARE(rec.count.load(), before); // nothing after stop
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(rec.count.load() >= before + 2, 5000);
    pinger->stop(true);
    QCOMPARE(pinger->sequenceIndex(), quint16(0));
    QCOMPARE(pinger->trueSequenceIndex(), quint64(0));
    std::lock_guard lock(rec.mutex);
    QCOMPARE(rec.responses[before].sequenceNumber, kept); // resumed where it stopped
}

void TestPinger::historyIsBounded()
{
    auto pinger = Pinger::createForAddress(u"127.0.0.1"_s, fastConfiguration()).value();
    Recorder rec;
    rec.attach(*pinger);
    pinger->setResponseHistoryLimit(4);
    pinger->setTargetCount(30);
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(rec.finished(), 5000);
    QCOMPARE(rec.result->responses.size(), 4);
    QCOMPARE(rec.result->responses.last().trueSequenceNumber, quint64(29));
    QCOMPARE(rec.result->packetsReceived, quint64(30)); // statistics cover the whole run
}

void TestPinger::timeToLive()
{
    PingConfiguration c = fastConfiguration();
    c.timeToLive = 0;
    auto bad = Pinger::createForAddress(u"127.0.0.1"_s, c);
    QVERIFY(!bad);
    QCOMPARE(bad.error(), PingError::socketOptionsSetError(-1));
    c.timeToLive = 3;
    auto pinger = Pinger::createForAddress(u"127.0.0.1"_s, c).value();
    Recorder rec;
    rec.attach(*pinger);
    pinger->setTargetCount(2);
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(rec.finished(), 5000);
    QCOMPARE(rec.result->packetsReceived, quint64(2));
}

void TestPinger::sequenceWraps()
{
    // Real echoes across the 16-bit wrap; the 64-bit counter carries on past 65535.
    auto pinger = Pinger::createForAddress(u"127.0.0.1"_s, fastConfiguration()).value();
    pinger->setSequenceIndices(65530, 65530);
    std::atomic<int> wrapped{0};
    std::atomic<int> errors{0};
    std::atomic<quint64> last{0};
    pinger->setResponseHistoryLimit(0);
    pinger->setObserver([&](const PingResponse& r) {
        if (r.error)
            ++errors;
        if (r.trueSequenceNumber == 65535 && r.sequenceNumber == 65535)
            ++wrapped;
        if (r.trueSequenceNumber == 65536 && r.sequenceNumber == 0)
            ++wrapped;
        if (r.trueSequenceNumber == 65537 && r.sequenceNumber == 1)
            ++wrapped;
        last = r.trueSequenceNumber;
    });
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(last.load() >= 65537, 10000);
    pinger->stop(true);
    QCOMPARE(wrapped.load(), 3);
    QCOMPARE(errors.load(), 0);
}

void TestPinger::zeroChecksumSequenceAnswers()
{
    // The sequence number whose request words sum to 0xFFFF (checksum 0x0000) must be sent and
    // answered like any other, not fail again and again.
    auto pinger = Pinger::createForAddress(u"127.0.0.1"_s, fastConfiguration()).value();
    QByteArray probe =
        buildEchoRequest(pinger->identifier(), 0, toFingerprint(pinger->fingerprint()), 16).value();
    probe[2] = probe[3] = 0;
    quint32 sum = 0;
    for (int i = 0; i < probe.size(); i += 2) {
        quint16 w;
        std::memcpy(&w, probe.constData() + i, 2);
        sum += w;
    }
    while (sum > 0xFFFF)
        sum = (sum >> 16) + (sum & 0xFFFF);
    quint16 word = quint16(0xFFFF - sum);
    const quint16 sequence = qFromBigEndian<quint16>(&word);
    pinger->setSequenceIndices(sequence, 0);
    Recorder rec;
    rec.attach(*pinger);
    QVERIFY(pinger->start());
    QTRY_VERIFY_WITH_TIMEOUT(rec.count.load() >= 2, 5000);
    pinger->stop(true);
    std::lock_guard lock(rec.mutex);
    QCOMPARE(rec.responses[0].sequenceNumber, sequence);
    QVERIFY2(!rec.responses[0].error, qPrintable(rec.responses[0].error->description()));
    QCOMPARE(rec.responses[1].sequenceNumber, quint16(sequence + 1));
}

QTEST_GUILESS_MAIN(TestPinger)
#include "tst_pinger.moc"
