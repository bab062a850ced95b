// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/icmp_packet.h"

#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace velmora {

IPHeader IPHeader::fromBytes(const char* b)
{
    IPHeader h;
    std::memcpy(&h, b, sizeof(IPHeader));
    return h;
}

Fingerprint toFingerprint(const QUuid& uuid)
{
    Fingerprint f{};
    const QByteArray bytes = uuid.toRfc4122();
    std::memcpy(f.data(), bytes.constData(), f.size());
    return f;
}

Expected<quint16, PingError> internetChecksum(const char* message, qsizetype length)
{
    if (length < icmpHeaderSize)
        return PingError::packageCreationFailed();
    if ((length - icmpHeaderSize) % 2 != 0)
        return PingError::unexpectedPayloadLength();
    const auto word = [message](qsizetype offset) {
        quint16 w;
        std::memcpy(&w, message + offset, 2);
        return quint32(w);
    };
    quint64 sum = word(0) + word(4) + word(6); // type/code, identifier, sequence
    for (qsizetype i = icmpHeaderSize; i < length; i += 2)
        sum += word(i);
    while (sum > 0xFFFF)
        sum = (sum >> 16) + (sum & 0xFFFF);
    if (sum == 0xFFFF)
        return PingError::checksumOutOfBounds();
    return quint16(~sum & 0xFFFF);
}

Expected<QByteArray, PingError> buildEchoRequest(quint16 identifier, quint16 sequence,
                                                 const Fingerprint& fingerprint, int payloadSize)
{
    if (payloadSize > maximumPayloadSize)
        return PingError::packageCreationFailed();
    const int padding = std::max(0, payloadSize - fingerprintSize);
    QByteArray packet(icmpHeaderSize + fingerprintSize + padding, Qt::Uninitialized);
    char* p = packet.data();
    p[0] = char(ICMPType::EchoRequest);
    p[1] = 0;
    p[2] = p[3] = 0;
    qToBigEndian(identifier, p + 4);
    qToBigEndian(sequence, p + 6);
    std::memcpy(p + 8, fingerprint.data(), fingerprintSize);
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < padding; ++i)
        p[icmpHeaderSize + fingerprintSize + i] = char(random->bounded(256));
    const Expected<quint16, PingError> checksum = internetChecksum(packet);
    quint16 value = 0;
    if (checksum) {
        value = checksum.value();
    } else if (checksum.error() != PingError::checksumOutOfBounds()) {
        return checksum.error();
    }
    // A sum of 0xFFFF means the checksum is 0x0000, which is valid. Failing instead would fail
    // this sequence number every time, and since failed sends reuse their sequence number the
    // pinger would report a healthy host as down for good.
    std::memcpy(p + 2, &value, 2);
    return packet;
}

namespace {

// Offset of the ICMP message, or an error for a datagram that cannot be an ICMP reply.
struct Framing {
    qsizetype offset = 0;
    std::optional<PingError> error;
};

Framing frame(const uchar* d, qsizetype length, bool hasIpHeader)
{
    const qsizetype equivalentLength = hasIpHeader ? length : length + ipv4HeaderSize;
    if (equivalentLength < minimumReplyLength)
        return {0, PingError::invalidLength(equivalentLength)};
    if (!hasIpHeader)
        return {0, std::nullopt};
    if ((d[0] >> 4) != 4 || d[9] != 1)
        return {0, PingError::invalidHeaderOffset()};
    const qsizetype headerLength = (d[0] & 0x0F) * 4;
    // A header length under 20 bytes would put the ICMP message inside the IP header.
    if (headerLength < ipv4HeaderSize || length < headerLength + icmpHeaderSize + fingerprintSize)
        return {0, PingError::invalidHeaderOffset()};
    return {headerLength, std::nullopt};
}

} // namespace

ReplyCheck validateReply(const char* datagram, qsizetype length, bool hasIpHeader,
                         const ReplyExpectation& expectation)
{
    const auto* d = reinterpret_cast<const uchar*>(datagram);
    const Framing framing = frame(d, length, hasIpHeader);
    if (framing.error)
        return {true, framing.error};
    const uchar* icmp = d + framing.offset;
    const qsizetype icmpLength = length - framing.offset;

    // Raw sockets see every ICMP packet of the host, our own outgoing requests included.
    if (hasIpHeader && icmp[0] != quint8(ICMPType::EchoReply))
        return {false, std::nullopt};
    if (std::memcmp(icmp + icmpHeaderSize, expectation.fingerprint.data(), fingerprintSize) != 0)
        return {false, std::nullopt};

    const Expected<quint16, PingError> calculated =
        internetChecksum(reinterpret_cast<const char*>(icmp), icmpLength);
    quint16 received;
    std::memcpy(&received, icmp + 2, 2);
    if (!calculated) {
        if (calculated.error() != PingError::checksumOutOfBounds())
            return {true, calculated.error()};
        // Words summing to 0xFFFF: the checksum is zero, written 0x0000 or 0xFFFF (ones'
        // complement has two zeros). A correct reply must not count as a failure.
        if (received != 0x0000 && received != 0xFFFF)
            return {true, PingError::checksumMismatch(received, 0)};
    } else if (received != calculated.value()) {
        return {true, PingError::checksumMismatch(received, calculated.value())};
    }

    if (icmp[0] != quint8(ICMPType::EchoReply))
        return {true, PingError::invalidType(icmp[0])};
    if (icmp[1] != 0)
        return {true, PingError::invalidCode(icmp[1])};
    const quint16 identifier = qFromBigEndian<quint16>(icmp + 4);
    if (identifier != expectation.identifier)
        return {true, PingError::identifierMismatch(identifier, expectation.identifier)};
    const quint16 sequence = qFromBigEndian<quint16>(icmp + 6);
    if (sequence == expectation.sequenceIndex)
        return {true, std::nullopt};
    if (expectation.erroredIndices && expectation.erroredIndices->contains(sequence))
        return {false, std::nullopt};
    return {true, PingError::invalidSequenceIndex(sequence, expectation.sequenceIndex)};
}

std::optional<Fingerprint> replyFingerprint(const char* datagram, qsizetype length,
                                            bool hasIpHeader)
{
    const auto* d = reinterpret_cast<const uchar*>(datagram);
    const Framing framing = frame(d, length, hasIpHeader);
    if (framing.error)
        return std::nullopt;
    const uchar* icmp = d + framing.offset;
    if (hasIpHeader && icmp[0] != quint8(ICMPType::EchoReply))
        return std::nullopt;
    Fingerprint f;
    std::memcpy(f.data(), icmp + icmpHeaderSize, fingerprintSize);
    return f;
}

} // namespace velmora
