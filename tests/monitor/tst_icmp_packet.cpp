// SPDX-License-Identifier: GPL-3.0-or-later
// The ICMP wire format byte for byte (requests, checksum, the reply validator on hand-made
// datagrams), destinations, interval labels and the manager's pure rules.

#include "monitor/destination.h"
#include "monitor/icmp_packet.h"
#include "monitor/ping_interval_preset.h"
#include "monitor/ping_manager.h"

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

// The ones' complement sum of the message's 16-bit words, folded: 0xFFFF for a message with a
// correct checksum, in either byte order.
quint16 foldedSum(const QByteArray& m)
{
    quint32 sum = 0;
    for (int i = 0; i + 1 < m.size(); i += 2) {
        quint16 word;
        std::memcpy(&word, m.constData() + i, 2);
        sum += word;
    }
    while (sum > 0xFFFF)
        sum = (sum >> 16) + (sum & 0xFFFF);
    return quint16(sum);
}

// Writes into bytes `at`..`at`+1 of `m` the word that makes all words but the checksum field
// sum to 0xFFFF: the checksum is then zero, written 0x0000 or 0xFFFF.
void makeWordsSumToFFFF(QByteArray& m, int at)
{
    m[2] = m[3] = m[at] = m[at + 1] = 0;
    const quint16 fill = quint16(~foldedSum(m));
    std::memcpy(m.data() + at, &fill, 2);
}

struct ReplyFields {
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

QByteArray datagram(const ReplyFields& s)
{
    QByteArray m(8 + 16, '\0');
    m[0] = char(s.type);
    m[1] = char(s.code);
    qToBigEndian(s.identifier, m.data() + 4);
    qToBigEndian(s.sequence, m.data() + 6);
    std::memcpy(m.data() + 8, s.fingerprint.data(), 16);
    m += s.extra;
    if (m.size() % 2 == 0) {
        quint16 sum = quint16(~foldedSum(m));
        if (s.breakChecksum)
            sum ^= 0x0101;
        std::memcpy(m.data() + 2, &sum, 2);
    }
    if (!s.ipHeader)
        return m;
    QByteArray ip(std::max(s.headerLength, 20), '\0');
    ip[0] = char((s.version << 4) | ((s.headerLength / 4) & 0x0F));
    qToBigEndian(quint16(s.headerLength + m.size()), ip.data() + 2);
    ip[9] = char(s.protocol);
    return ip + m;
}

} // namespace

class TestIcmpPacket final : public QObject {
    Q_OBJECT
private slots:
    void echoRequestBytes_data()
    {
        QTest::addColumn<int>("payloadSize");
        QTest::addColumn<bool>("zeroChecksum");  // fingerprint chosen so the words sum to 0xFFFF
        QTest::addColumn<int>("expectedLength"); // -1: fails with errorCode
        QTest::addColumn<int>("errorCode");
        QTest::newRow("manager's 16") << 16 << false << 24 << -1;
        QTest::newRow("0 keeps the fingerprint") << 0 << false << 24 << -1;
        QTest::newRow("56 like ping(8)") << 56 << false << 64 << -1;
        // A sum of 0xFFFF means checksum 0x0000, which is valid; failing instead would fail this
        // sequence number for good, since failed sends reuse it.
        QTest::newRow("checksum 0x0000") << 16 << true << 24 << -1;
        QTest::newRow("odd 17") << 17 << false << -1
                                << int(PingError::Case::unexpectedPayloadLength);
        QTest::newRow("beyond IPv4")
            << 70000 << false << -1 << int(PingError::Case::packageCreationFailed);
    }
    void echoRequestBytes()
    {
        QFETCH(int, payloadSize);
        QFETCH(bool, zeroChecksum);
        QFETCH(int, expectedLength);
        QFETCH(int, errorCode);
        Fingerprint fingerprint = ours;
        if (zeroChecksum) {
            QByteArray m = buildEchoRequest(0xBEEF, 0x0102, ours, 16).value();
            makeWordsSumToFFFF(m, 8);
            std::memcpy(fingerprint.data(), m.constData() + 8, 16);
        }
        const auto built = buildEchoRequest(0xBEEF, 0x0102, fingerprint, payloadSize);
        if (expectedLength < 0) {
            QCOMPARE(built.error().code(), errorCode);
            return;
        }
        QVERIFY2(built, qPrintable(built.error().description()));
        const QByteArray& p = *built;
        QCOMPARE(p.size(), expectedLength);
        QCOMPARE(p.left(2), QByteArray::fromHex("0800"));
        QCOMPARE(p.mid(4, 4), QByteArray::fromHex("beef0102")); // big-endian
        QCOMPARE(std::memcmp(p.constData() + 8, fingerprint.data(), 16), 0);
        QCOMPARE(foldedSum(p), quint16(0xFFFF));
        if (zeroChecksum)
            QCOMPARE(p.mid(2, 2), QByteArray(2, '\0'));
        // Padding is fresh random bytes: equal only by a 2^-320 chance.
        if (payloadSize > 16)
            QVERIFY(p.mid(24) != buildEchoRequest(0xBEEF, 0x0102, ours, payloadSize)->mid(24));
    }

    void validateReply_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("hasIpHeader");
        QTest::addColumn<ReplyCheck>("expected");
        const ReplyCheck accepted{true, std::nullopt};
        const ReplyCheck ignored{false, std::nullopt};
        const auto rejected = [](PingError e) { return ReplyCheck{true, e}; };
        const auto row = [](const char* name, const ReplyFields& fields, const ReplyCheck& expected,
                            int length = 0x10000) {
            QTest::newRow(name) << datagram(fields).left(length) << fields.ipHeader << expected;
        };

        row("raw reply", {}, accepted);
        row("datagram-socket reply", {.ipHeader = false}, accepted);
        row("23-byte message counts as 43", {.ipHeader = false},
            rejected(PingError::invalidLength(43)), 23);
        row("43 bytes", {}, rejected(PingError::invalidLength(43)), 43);
        row("not IPv4", {.version = 6}, rejected(PingError::invalidHeaderOffset()));
        row("not ICMP", {.protocol = 17}, rejected(PingError::invalidHeaderOffset()));
        row("header with options", {.headerLength = 24}, accepted);
        row("header longer than datagram", {.headerLength = 60},
            rejected(PingError::invalidHeaderOffset()), 80);
        row("header length under 20", {.headerLength = 8, .extra = QByteArray(12, 'x')},
            rejected(PingError::invalidHeaderOffset()));
        Fingerprint theirs = ours;
        theirs[15] ^= 0x01;
        row("another pinger's fingerprint", {.fingerprint = theirs}, ignored);
        {
            const QByteArray d = datagram({});
            quint16 sent;
            std::memcpy(&sent, d.constData() + 22, 2);
            row("checksum mismatch", {.breakChecksum = true},
                rejected(PingError::checksumMismatch(sent ^ 0x0101, sent)));
        }
        row("odd message length", {.extra = "x"}, rejected(PingError::unexpectedPayloadLength()));
        {
            // Ones' complement has two zeros: a reply whose words sum to 0xFFFF carries 0x0000
            // or 0xFFFF, and neither may count as a failure.
            QByteArray m = datagram({.ipHeader = false, .extra = QByteArray(2, '\0')});
            makeWordsSumToFFFF(m, 24);
            QTest::newRow("words summing to 0xFFFF, checksum 0") << m << false << accepted;
            m[2] = m[3] = char(0xFF);
            QTest::newRow("words summing to 0xFFFF, checksum 0xFFFF") << m << false << accepted;
            m[3] = 0x01;
            quint16 received;
            std::memcpy(&received, m.constData() + 2, 2);
            QTest::newRow("words summing to 0xFFFF, wrong checksum")
                << m << false << rejected(PingError::checksumMismatch(received, 0));
        }
        row("type 3 on a datagram socket", {.ipHeader = false, .type = 3},
            rejected(PingError::invalidType(3)));
        row("code 1", {.ipHeader = false, .code = 1}, rejected(PingError::invalidCode(1)));
        // Raw sockets see every ICMP packet of the host, our own outgoing requests included.
        row("own echo request on a raw socket", {.type = 8}, ignored);
        row("identifier", {.identifier = 0x4321},
            rejected(PingError::identifierMismatch(0x4321, 0x1234)));
        row("late reply to an errored request", {.sequence = 3}, ignored);
        row("neither current nor errored", {.sequence = 7},
            rejected(PingError::invalidSequenceIndex(7, 5)));
    }
    void validateReply()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, hasIpHeader);
        QFETCH(ReplyCheck, expected);
        const QList<quint16> errored{1, 3};
        const ReplyCheck check =
            velmora::validateReply(data, hasIpHeader, ReplyExpectation{0x1234, ours, 5, &errored});
        QCOMPARE(check.matches, expected.matches);
        QCOMPARE(check.error ? check.error->description() : QString(),
                 expected.error ? expected.error->description() : QString());
        QVERIFY(check == expected);
    }

    void addresses_data()
    {
        QTest::addColumn<bool>("lookup"); // resolveIPv4, else parseIPv4Address
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ip"); // empty: hostNotFound
        QTest::newRow("parsed") << false << u"127.1.2.3"_s << u"127.1.2.3"_s;
        // Text that is no dotted quad must not become 255.255.255.255 or 0.0.0.0.
        QTest::newRow("parsed, no address") << false << u"not an address"_s << QString();
        QTest::newRow("parsed, 256") << false << u"127.0.0.256"_s << QString();
        QTest::newRow("localhost") << true << u"localhost"_s << u"127.0.0.1"_s;
        QTest::newRow("IPv6 only") << true << u"::1"_s << QString();
        QTest::newRow("empty") << true << QString() << QString();
    }
    void addresses()
    {
        QFETCH(bool, lookup);
        QFETCH(QString, text);
        QFETCH(QString, ip);
        const auto address = lookup ? resolveIPv4(text) : parseIPv4Address(text);
        if (ip.isEmpty()) {
            QCOMPARE(address.error(), PingError::hostNotFound());
            return;
        }
        QVERIFY(address);
        // Length 16, family 2, port 0, the address in network order, 8 zero bytes.
        IPv4SocketAddress expected{16, 2};
        const QStringList quad = ip.split(u'.');
        for (int i = 0; i < 4; ++i)
            expected[4 + i] = quint8(quad[i].toUInt());
        QCOMPARE(*address, expected);
        QCOMPARE((Destination{text, *address}.ip()), ip);
    }

    void intervalLabels()
    {
        // Exactly a preset's seconds names the preset; anything else reads as whole seconds.
        QCOMPARE(pingIntervalLabel(3.0000001), u"3s"_s);
        QCOMPARE(pingIntervalLabel(7.5), u"7s"_s);
        QCOMPARE(pingIntervalLabel(0.5), u"0s"_s);
    }

    void monitorableAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("monitorable");
        QTest::newRow("plain") << u"10.0.0.5"_s << true;
        QTest::newRow("256") << u"10.0.0.256"_s << false;
        QTest::newRow("three pieces") << u"10.0.0"_s << false;
        QTest::newRow("host name") << u"router.local"_s << false;
        QTest::newRow("sign") << u"+1.2.3.4"_s << false;
        QTest::newRow("huge number") << u"99999999999.0.0.1"_s << false;
        QTest::newRow("empty piece dropped") << u"10..0.0.5"_s << true;
        QTest::newRow("leading zeros") << u"010.0.0.1"_s << true;
        // Linux answers 0.0.0.0 itself: every spelling of it is a placeholder, not a host.
        QTest::newRow("zero") << u"0.0.0.0"_s << false;
        QTest::newRow("zero, leading zeros") << u"00.0.0.0"_s << false;
        QTest::newRow("zero, stray dots") << u".0.0..0.0."_s << false;
    }
    void monitorableAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, monitorable);
        QCOMPARE(PingManager::isMonitorableAddress(address), monitorable);
    }

    void classification()
    {
        QCOMPARE(PingManager::classifyLatency(200.0), PingStatus::online);
        QCOMPARE(PingManager::classifyLatency(200.1), PingStatus::slow);
    }

    void cableStatus_data()
    {
        QTest::addColumn<QList<qint64>>("ends"); // 0: a free point
        QTest::addColumn<bool>("wasUp");
        QTest::addColumn<PingStatus>("expected");
        // Node statuses: 1 online, 2 slow, 3 offline, 4 unknown; 9 has no entry.
        using L = QList<qint64>;
        QTest::newRow("online-slow") << L{1, 0, 2} << false << PingStatus::slow;
        QTest::newRow("online-online") << L{1, 1} << false << PingStatus::online;
        QTest::newRow("online-unknown") << L{1, 4} << false << PingStatus::unknown;
        QTest::newRow("offline-online, never up") << L{3, 1} << false << PingStatus::unknown;
        QTest::newRow("offline-online, was up") << L{3, 1} << true << PingStatus::offline;
        QTest::newRow("no statuses at all") << L{9, 9} << false << PingStatus::online;
        QTest::newRow("one attached end") << L{1, 0} << true << PingStatus::unknown;
    }
    void cableStatus()
    {
        QFETCH(QList<qint64>, ends);
        QFETCH(bool, wasUp);
        QFETCH(PingStatus, expected);
        QList<CablePoint> points;
        for (qint64 id : ends) {
            points.append(id ? CablePoint{.type = cablePointTypeNode, .nodeId = id}
                             : CablePoint{.type = cablePointTypeFree});
        }
        const QHash<qint64, PingStatus> statuses = {{1, PingStatus::online},
                                                    {2, PingStatus::slow},
                                                    {3, PingStatus::offline},
                                                    {4, PingStatus::unknown}};
        QCOMPARE(PingManager::deriveCableStatus(points, statuses, wasUp), expected);
    }
};

QTEST_GUILESS_MAIN(TestIcmpPacket)
#include "tst_icmp_packet.moc"
