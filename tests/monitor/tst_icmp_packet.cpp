// SPDX-License-Identifier: GPL-3.0-or-later
// The ICMP wire format and the small values around it: echo requests byte for byte, the
// Internet checksum, the reply validator against hand-made datagrams, errors, destinations,
// round-trip statistics, interval presets and the manager's pure rules.

#include "monitor/destination.h"
#include "monitor/icmp_packet.h"
#include "monitor/ping_interval_preset.h"
#include "monitor/ping_manager.h"
#include "monitor/ping_response.h"

#include <QSet>
#include <QTest>
#include <QtEndian>

#include <cstring>

using namespace Qt::StringLiterals;
using namespace velmora;

Q_DECLARE_METATYPE(velmora::ReplyCheck)
Q_DECLARE_METATYPE(velmora::PingStatus)

namespace {

const Fingerprint ours = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87,
                          0x98, 0xA9, 0xBA, 0xCB, 0xDC, 0xED, 0xFE, 0x0F};
Fingerprint theirs()
{
    Fingerprint f = ours;
    f[15] ^= 0x01;
    return f;
}

struct ReplySpec {
    bool ipHeader = true;
    int headerLength = 20;
    quint8 version = 4;
    quint8 protocol = 1;
    quint8 type = 0;
    quint8 code = 0;
    quint16 identifier = 0x1234;
    quint16 sequence = 5;
    Fingerprint fingerprint = ours;
    QByteArray extra; // bytes after the fingerprint
    bool breakChecksum = false;
};

QByteArray icmpMessage(const ReplySpec& s)
{
    QByteArray m(8 + 16, '\0');
    m[0] = char(s.type);
    m[1] = char(s.code);
    qToBigEndian(s.identifier, m.data() + 4);
    qToBigEndian(s.sequence, m.data() + 6);
    std::memcpy(m.data() + 8, s.fingerprint.data(), 16);
    m += s.extra;
    if (m.size() % 2 == 0) {
        const PingOr<quint16> sum = internetChecksum(m);
        if (sum) {
            quint16 value = sum.value();
            if (s.breakChecksum)
                value ^= 0x0101;
            std::memcpy(m.data() + 2, &value, 2);
        }
    }
    return m;
}

QByteArray datagram(const ReplySpec& s)
{
    const QByteArray icmp = icmpMessage(s);
    if (!s.ipHeader)
        return icmp;
    QByteArray ip(std::max(s.headerLength, 20), '\0');
    ip[0] = char((s.version << 4) | ((s.headerLength / 4) & 0x0F));
    qToBigEndian(quint16(s.headerLength + icmp.size()), ip.data() + 2);
    ip[8] = 64;
    ip[9] = char(s.protocol);
    ip[12] = 127;
    ip[15] = 1;
    return ip + icmp;
}

ReplyExpectation expectation(const QList<quint16>* errored)
{
    return ReplyExpectation{0x1234, ours, 5, errored};
}

CablePoint attached(qint64 id)
{
    CablePoint p;
    p.type = u"node"_s;
    p.nodeId = id;
    return p;
}

CablePoint freePoint()
{
    CablePoint p;
    p.type = u"free"_s;
    return p;
}

} // namespace

class TestIcmpPacket final : public QObject {
    Q_OBJECT
private slots:
    void echoRequestBytes_data();
    void echoRequestBytes();
    void echoRequestWithZeroChecksum();
    void echoRequestPaddingIsFresh();
    void checksum_data();
    void checksum();
    void validateReply_data();
    void validateReply();
    void replyFingerprintRoutesOnlyWholeReplies();
    void errorsInTagOrder();
    void destinationLayout();
    void resolveIPv4_data();
    void resolveIPv4();
    void roundtripStatistics();
    void presets();
    void monitorableAddresses_data();
    void monitorableAddresses();
    void classification();
    void cableStatus_data();
    void cableStatus();
};

void TestIcmpPacket::echoRequestBytes_data()
{
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<int>("expectedLength"); // -1: fails
    QTest::addColumn<int>("errorCode");
    QTest::newRow("manager's 16") << 16 << 24 << -1;
    QTest::newRow("0 keeps the fingerprint") << 0 << 24 << -1;
    QTest::newRow("56 like ping(8)") << 56 << 64 << -1;
    QTest::newRow("odd 17") << 17 << -1 << int(PingError::Case::unexpectedPayloadLength);
    QTest::newRow("beyond IPv4") << 70000 << -1 << int(PingError::Case::packageCreationFailed);
}

void TestIcmpPacket::echoRequestBytes()
{
    QFETCH(int, payloadSize);
    QFETCH(int, expectedLength);
    QFETCH(int, errorCode);
    const PingOr<QByteArray> built = buildEchoRequest(0xBEEF, 0x0102, ours, payloadSize);
    if (expectedLength < 0) {
        QVERIFY(!built);
        QCOMPARE(built.error().code(), errorCode);
        return;
    }
    QVERIFY(built);
    const QByteArray& p = built.value();
    QCOMPARE(p.size(), expectedLength);
    QCOMPARE(quint8(p[0]), quint8(8));
    QCOMPARE(quint8(p[1]), quint8(0));
    QCOMPARE(quint8(p[4]), quint8(0xBE)); // identifier big-endian
    QCOMPARE(quint8(p[5]), quint8(0xEF));
    QCOMPARE(quint8(p[6]), quint8(0x01)); // sequence big-endian
    QCOMPARE(quint8(p[7]), quint8(0x02));
    QCOMPARE(std::memcmp(p.constData() + 8, ours.data(), 16), 0);
    // A correct Internet checksum makes the ones' complement sum of the whole message 0xFFFF.
    quint32 sum = 0;
    for (int i = 0; i < p.size(); i += 2)
        sum += qFromBigEndian<quint16>(p.constData() + i);
    while (sum > 0xFFFF)
        sum = (sum >> 16) + (sum & 0xFFFF);
    QCOMPARE(sum, quint32(0xFFFF));
}

void TestIcmpPacket::echoRequestWithZeroChecksum()
{
    // Fingerprint words chosen so that the message's words sum to 0xFFFF: checksum 0x0000.
    Fingerprint f{};
    quint16 typeCode;
    const char header[2] = {8, 0};
    std::memcpy(&typeCode, header, 2);
    const quint16 fill = quint16(0xFFFF - typeCode);
    std::memcpy(f.data(), &fill, 2);
    QCOMPARE(internetChecksum(buildEchoRequest(0, 0, f, 16).value()).error(),
             PingError::checksumOutOfBounds());
    const PingOr<QByteArray> built = buildEchoRequest(0, 0, f, 16);
    QVERIFY(built);
    QCOMPARE(built.value().mid(2, 2), QByteArray(2, '\0'));
}

void TestIcmpPacket::echoRequestPaddingIsFresh()
{
    const QByteArray a = buildEchoRequest(1, 1, ours, 80).value();
    const QByteArray b = buildEchoRequest(1, 1, ours, 80).value();
    QCOMPARE(a.left(24), b.left(24).replace(2, 2, a.mid(2, 2)));
    QVERIFY(a.mid(24) != b.mid(24)); // 56 random bytes: equal only by a 2^-448 chance
}

void TestIcmpPacket::checksum_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("expected"); // network-order checksum, or -1 - error code
    // RFC 1071's example words 0001 f203 f4f5 f6f7 with the checksum field in between.
    QTest::newRow("rfc1071") << QByteArray::fromHex("00010000f203f4f5f6f7") << 0x220D;
    QTest::newRow("checksum field ignored")
        << QByteArray::fromHex("0001ffffF203f4f5f6f7") << 0x220D;
    QTest::newRow("odd payload") << QByteArray::fromHex("0800000000010001aa")
                                 << -1 - int(PingError::Case::unexpectedPayloadLength);
    QTest::newRow("sum 0xFFFF") << QByteArray::fromHex("ffff00000000000000000000")
                                << -1 - int(PingError::Case::checksumOutOfBounds);
    QTest::newRow("carry folds") << QByteArray::fromHex("ffff0000ffff0002") << 0xFFFD;
}

void TestIcmpPacket::checksum()
{
    QFETCH(QByteArray, message);
    QFETCH(int, expected);
    const PingOr<quint16> sum = internetChecksum(message);
    if (expected < 0) {
        QVERIFY(!sum);
        QCOMPARE(sum.error().code(), -1 - expected);
        return;
    }
    QVERIFY(sum);
    // Stored in host memory order, the bytes read as the network-order checksum.
    quint16 stored = sum.value();
    QCOMPARE(int(qFromBigEndian<quint16>(&stored)), expected);
}

void TestIcmpPacket::validateReply_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("hasIpHeader");
    QTest::addColumn<ReplyCheck>("expected");
    const ReplyCheck accepted{true, std::nullopt};
    const ReplyCheck ignored{false, std::nullopt};
    const auto rejected = [](PingError e) { return ReplyCheck{true, e}; };

    ReplySpec s;
    QTest::newRow("raw reply") << datagram(s) << true << accepted;
    s.ipHeader = false;
    QTest::newRow("datagram-socket reply") << datagram(s) << false << accepted;
    s = {};
    QTest::newRow("43 bytes") << datagram(s).left(43) << true
                              << rejected(PingError::invalidLength(43));
    s.ipHeader = false;
    QTest::newRow("23-byte message counts as 43")
        << datagram(s).left(23) << false << rejected(PingError::invalidLength(43));
    QTest::newRow("empty") << QByteArray() << true << rejected(PingError::invalidLength(0));
    s = {};
    s.version = 6;
    QTest::newRow("not IPv4") << datagram(s) << true << rejected(PingError::invalidHeaderOffset());
    s = {};
    s.protocol = 17;
    QTest::newRow("not ICMP") << datagram(s) << true << rejected(PingError::invalidHeaderOffset());
    s = {};
    s.headerLength = 24;
    QTest::newRow("header with options") << datagram(s) << true << accepted;
    s.headerLength = 60;
    QTest::newRow("header longer than datagram")
        << datagram(s).left(60 + 20) << true << rejected(PingError::invalidHeaderOffset());
    s = {};
    s.headerLength = 8;
    s.extra = QByteArray(12, 'x');
    QTest::newRow("header length under 20")
        << datagram(s) << true << rejected(PingError::invalidHeaderOffset());
    s = {};
    s.fingerprint = theirs();
    QTest::newRow("another pinger's fingerprint") << datagram(s) << true << ignored;
    s.ipHeader = false;
    QTest::newRow("another pinger's, datagram socket") << datagram(s) << false << ignored;
    {
        s = {};
        s.breakChecksum = true;
        const QByteArray d = datagram(s);
        quint16 received;
        std::memcpy(&received, d.constData() + 22, 2);
        QTest::newRow("checksum mismatch")
            << d << true << rejected(PingError::checksumMismatch(received, received ^ 0x0101));
    }
    s = {};
    s.extra = "x";
    QTest::newRow("odd message length")
        << datagram(s) << true << rejected(PingError::unexpectedPayloadLength());
    {
        // A message whose words sum to exactly 0xFFFF.
        s = {};
        s.extra = QByteArray(2, '\0');
        QByteArray m = icmpMessage(s);
        m[2] = m[3] = 0;
        quint32 sum = 0;
        for (int i = 0; i < m.size(); i += 2) {
            quint16 w;
            std::memcpy(&w, m.constData() + i, 2);
            sum += w;
        }
        while (sum > 0xFFFF)
            sum = (sum >> 16) + (sum & 0xFFFF);
        const quint16 fill = quint16(0xFFFF - sum);
        std::memcpy(m.data() + 24, &fill, 2);
        QTest::newRow("words summing to 0xFFFF, checksum 0") << m << false << accepted;
        m[2] = m[3] = char(0xFF);
        QTest::newRow("words summing to 0xFFFF, checksum 0xFFFF") << m << false << accepted;
        m[3] = 0x01;
        quint16 received;
        std::memcpy(&received, m.constData() + 2, 2);
        QTest::newRow("words summing to 0xFFFF, wrong checksum")
            << m << false << rejected(PingError::checksumMismatch(received, 0));
    }
    s = {};
    s.ipHeader = false;
    s.type = 3;
    QTest::newRow("type 3 on a datagram socket")
        << datagram(s) << false << rejected(PingError::invalidType(3));
    s.type = 0;
    s.code = 1;
    QTest::newRow("code 1") << datagram(s) << false << rejected(PingError::invalidCode(1));
    s = {};
    s.type = 8;
    QTest::newRow("own echo request on a raw socket") << datagram(s) << true << ignored;
    s.type = 3;
    QTest::newRow("unreachable on a raw socket") << datagram(s) << true << ignored;
    s = {};
    s.identifier = 0x4321;
    QTest::newRow("identifier") << datagram(s) << true
                                << rejected(PingError::identifierMismatch(0x4321, 0x1234));
    s = {};
    s.sequence = 3;
    QTest::newRow("late reply to an errored request") << datagram(s) << true << ignored;
    s.sequence = 7;
    QTest::newRow("neither current nor errored")
        << datagram(s) << true << rejected(PingError::invalidSequenceIndex(7, 5));
}

void TestIcmpPacket::validateReply()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, hasIpHeader);
    QFETCH(ReplyCheck, expected);
    const QList<quint16> errored{1, 3};
    const ReplyCheck check = velmora::validateReply(data, hasIpHeader, expectation(&errored));
    QCOMPARE(check.matches, expected.matches);
    QCOMPARE(check.error.has_value(), expected.error.has_value());
    if (expected.error) {
        QCOMPARE(check.error->description(), expected.error->description());
        QVERIFY(*check.error == *expected.error);
    }
}

void TestIcmpPacket::replyFingerprintRoutesOnlyWholeReplies()
{
    ReplySpec s;
    auto f = replyFingerprint(datagram(s).constData(), datagram(s).size(), true);
    QVERIFY(f && *f == ours);
    s.type = 8;
    QVERIFY(!replyFingerprint(datagram(s).constData(), datagram(s).size(), true));
    s = {};
    s.ipHeader = false;
    const QByteArray d = datagram(s);
    QVERIFY(replyFingerprint(d.constData(), d.size(), false));
    QVERIFY(!replyFingerprint(d.constData(), 23, false));
}

void TestIcmpPacket::errorsInTagOrder()
{
    const QList<PingError> all = {
        PingError::invalidLength(43),
        PingError::checksumMismatch(1, 2),
        PingError::invalidType(3),
        PingError::invalidCode(4),
        PingError::identifierMismatch(5, 6),
        PingError::invalidSequenceIndex(7, 8),
        PingError::socketOptionsSetError(-1),
        PingError::responseTimeout(),
        PingError::unknownHostError(),
        PingError::addressLookupError(),
        PingError::hostNotFound(),
        PingError::addressMemoryError(),
        PingError::requestError(),
        PingError::requestTimeout(),
        PingError::checksumOutOfBounds(),
        PingError::unexpectedPayloadLength(),
        PingError::packageCreationFailed(),
        PingError::socketNil(),
        PingError::invalidHeaderOffset(),
    };
    QCOMPARE(all.size(), PingError::caseCount);
    QSet<QString> descriptions;
    for (int i = 0; i < all.size(); ++i) {
        QCOMPARE(all[i].code(), i);
        descriptions.insert(all[i].description());
    }
    QCOMPARE(descriptions.size(), all.size());
    QVERIFY(PingError::invalidSequenceIndex(7, 8) == PingError::invalidSequenceIndex(7, 8));
    QVERIFY(!(PingError::invalidSequenceIndex(7, 8) == PingError::invalidSequenceIndex(7, 9)));
    QVERIFY(!(PingError::invalidType(3) == PingError::invalidCode(3)));
    QCOMPARE(PingError::invalidSequenceIndex(7, 5).description(),
             u"Invalid sequence index: received 7, expected 5"_s);
    QCOMPARE(PingError::socketOptionsSetError(-1).err(), -1);
}

void TestIcmpPacket::destinationLayout()
{
    const PingOr<IPv4SocketAddress> parsed = parseIPv4Address(u"127.1.2.3"_s);
    QVERIFY(parsed);
    const IPv4SocketAddress expected = {16, 2, 0, 0, 127, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0};
    QCOMPARE(parsed.value(), expected);
    QCOMPARE((Destination{u"x"_s, parsed.value()}.ip()), u"127.1.2.3"_s);
    // Text that is no dotted quad must not become 255.255.255.255 or 0.0.0.0.
    QCOMPARE(parseIPv4Address(u"not an address"_s).error(), PingError::hostNotFound());
    QCOMPARE(parseIPv4Address(u"127.0.0.256"_s).error(), PingError::hostNotFound());
}

void TestIcmpPacket::resolveIPv4_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("ip"); // empty: hostNotFound
    QTest::newRow("numeric") << u"127.0.0.9"_s << u"127.0.0.9"_s;
    QTest::newRow("localhost") << u"localhost"_s << u"127.0.0.1"_s;
    QTest::newRow("IPv6 only") << u"::1"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestIcmpPacket::resolveIPv4()
{
    QFETCH(QString, host);
    QFETCH(QString, ip);
    const PingOr<IPv4SocketAddress> resolved = velmora::resolveIPv4(host);
    if (ip.isEmpty()) {
        QVERIFY(!resolved);
        QCOMPARE(resolved.error(), PingError::hostNotFound());
        return;
    }
    QVERIFY(resolved);
    QCOMPARE(resolved.value()[0], quint8(16));
    QCOMPARE(resolved.value()[1], quint8(2));
    QCOMPARE((Destination{host, resolved.value()}.ip()), ip);
}

void TestIcmpPacket::roundtripStatistics()
{
    RoundtripAccumulator acc;
    QVERIFY(!acc.roundtrip());
    for (double d : {0.020, 0.010, 0.030})
        acc.add(d);
    const auto r = acc.roundtrip();
    QVERIFY(r);
    QCOMPARE(acc.count(), quint64(3));
    QCOMPARE(r->minimum, 0.010);
    QCOMPARE(r->maximum, 0.030);
    QVERIFY(qAbs(r->average - 0.020) < 1e-12);
    QVERIFY(qAbs(r->standardDeviation - 0.0081649658) < 1e-9); // population, not sample
}

void TestIcmpPacket::presets()
{
    const QList<PingIntervalPreset> all = allPingIntervalPresets();
    QCOMPARE(all.size(), 5);
    const QList<double> secs = {1.0, 3.0, 5.0, 10.0, 30.0};
    const QStringList names = {u"Fast (1s)"_s, u"Normal (3s)"_s, u"Relaxed (5s)"_s, u"Slow (10s)"_s,
                               u"Very Slow (30s)"_s};
    for (int i = 0; i < all.size(); ++i) {
        QCOMPARE(seconds(all[i]), secs[i]);
        QCOMPARE(displayName(all[i]), names[i]);
        QCOMPARE(pingIntervalPresetFromSeconds(secs[i]), std::optional(all[i]));
        QCOMPARE(pingIntervalLabel(secs[i]), names[i]);
    }
    QVERIFY(!pingIntervalPresetFromSeconds(3.0000001));
    QCOMPARE(pingIntervalLabel(7.5), u"7s"_s);
    QCOMPARE(pingIntervalLabel(0.5), u"0s"_s);
}

void TestIcmpPacket::monitorableAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("monitorable");
    QTest::newRow("plain") << u"10.0.0.5"_s << true;
    QTest::newRow("256") << u"10.0.0.256"_s << false;
    QTest::newRow("three pieces") << u"10.0.0"_s << false;
    QTest::newRow("host name") << u"router.local"_s << false;
    QTest::newRow("zero") << u"0.0.0.0"_s << false;
    // Linux answers 0.0.0.0 itself: every spelling of it is a placeholder, not a host.
    QTest::newRow("zero, leading zeros") << u"00.0.0.0"_s << false;
    QTest::newRow("zero, padded") << u"000.000.000.000"_s << false;
    QTest::newRow("zero, stray dots") << u".0.0..0.0."_s << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("empty piece dropped") << u"10..0.0.5"_s << true;
    QTest::newRow("sign") << u"+1.2.3.4"_s << false;
    QTest::newRow("five pieces") << u"1.2.3.4.5"_s << false;
    QTest::newRow("leading zeros") << u"010.0.0.1"_s << true;
    QTest::newRow("huge number") << u"99999999999.0.0.1"_s << false;
}

void TestIcmpPacket::monitorableAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, monitorable);
    QCOMPARE(PingManager::isMonitorableAddress(address), monitorable);
}

void TestIcmpPacket::classification()
{
    QCOMPARE(PingManager::classifyLatency(0.05), PingStatus::online);
    QCOMPARE(PingManager::classifyLatency(200.0), PingStatus::online);
    QCOMPARE(PingManager::classifyLatency(200.1), PingStatus::slow);
}

void TestIcmpPacket::cableStatus_data()
{
    QTest::addColumn<QList<CablePoint>>("points");
    QTest::addColumn<bool>("wasUp");
    QTest::addColumn<PingStatus>("expected");
    // Node statuses: 1 online, 2 slow, 3 offline, 4 unknown; 9 has no entry.
    const QList<CablePoint> onlineSlow = {attached(1), freePoint(), attached(2)};
    QTest::newRow("online-slow") << onlineSlow << false << PingStatus::slow;
    QTest::newRow("online-online")
        << QList{attached(1), attached(1)} << false << PingStatus::online;
    QTest::newRow("online-unknown")
        << QList{attached(1), attached(4)} << false << PingStatus::unknown;
    QTest::newRow("offline-online, never up")
        << QList{attached(3), attached(1)} << false << PingStatus::unknown;
    QTest::newRow("offline-online, was up")
        << QList{attached(3), attached(1)} << true << PingStatus::offline;
    QTest::newRow("slow-offline, was up")
        << QList{attached(2), attached(3)} << true << PingStatus::offline;
    QTest::newRow("no statuses at all")
        << QList{attached(9), attached(9)} << false << PingStatus::online;
    QTest::newRow("one attached end")
        << QList{attached(1), freePoint()} << true << PingStatus::unknown;
}

void TestIcmpPacket::cableStatus()
{
    QFETCH(QList<CablePoint>, points);
    QFETCH(bool, wasUp);
    QFETCH(PingStatus, expected);
    const QHash<qint64, PingStatus> statuses = {{1, PingStatus::online},
                                                {2, PingStatus::slow},
                                                {3, PingStatus::offline},
                                                {4, PingStatus::unknown}};
    QCOMPARE(PingManager::deriveCableStatus(points, statuses, wasUp), expected);
}

QTEST_GUILESS_MAIN(TestIcmpPacket)
#include "tst_icmp_packet.moc"
