// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ICMP echo wire format: building echo requests (8-byte header, 16-byte fingerprint, random
// padding, RFC 1071 checksum) and validating received datagrams, with or without IP header.

#include "monitor/ping_error.h"

#include <QByteArray>
#include <QList>
#include <QUuid>

#include <array>
#include <optional>

namespace velmora {

enum class ICMPType : quint8 {
    EchoReply = 0,
    EchoRequest = 8,
};

// The first 20 bytes of a received IPv4 datagram, copied byte for byte: multi-byte fields keep
// the byte order in which they arrived (network order).
struct IPHeader {
    quint8 versionAndHeaderLength = 0;
    quint8 differentiatedServices = 0;
    quint16 totalLength = 0;
    quint16 identification = 0;
    quint16 flagsAndFragmentOffset = 0;
    quint8 timeToLive = 0;
    quint8 protocol = 0;
    quint16 headerChecksum = 0;
    std::array<quint8, 4> sourceAddress{};
    std::array<quint8, 4> destinationAddress{};

    static IPHeader fromBytes(const char* twentyBytes);
    bool operator==(const IPHeader&) const = default;
};
static_assert(sizeof(IPHeader) == 20);

using Fingerprint = std::array<quint8, 16>;
Fingerprint toFingerprint(const QUuid& uuid); // the UUID's 16 bytes in order

inline constexpr int icmpHeaderSize = 8;
inline constexpr int fingerprintSize = 16;
inline constexpr int ipv4HeaderSize = 20;
// Smallest datagram that can be a reply: 20-byte IP header + 8-byte ICMP header + fingerprint.
inline constexpr int minimumReplyLength = ipv4HeaderSize + icmpHeaderSize + fingerprintSize;
// Largest echo payload an IPv4 datagram can carry.
inline constexpr int maximumPayloadSize = 65507 - icmpHeaderSize;

// The Internet checksum (RFC 1071) of an ICMP message whose checksum field (bytes 2-3) counts
// as zero. Words are summed in host memory order and the result is meant to be stored in host
// memory order, which yields the standard network-order checksum. The part after the 8-byte
// header must have even length (unexpectedPayloadLength); a folded sum of 0xFFFF fails with
// checksumOutOfBounds (the checksum is then zero: building and validating accept 0x0000).
Expected<quint16, PingError> internetChecksum(const char* message, qsizetype length);
inline Expected<quint16, PingError> internetChecksum(const QByteArray& message)
{
    return internetChecksum(message.constData(), message.size());
}

// type 8, code 0, checksum, identifier and sequence big-endian, the fingerprint, then
// payloadSize - 16 fresh random bytes (none when payloadSize <= 16).
Expected<QByteArray, PingError> buildEchoRequest(quint16 identifier, quint16 sequence,
                                                 const Fingerprint& fingerprint, int payloadSize);

// What a pinger expects of the reply to its outstanding request.
struct ReplyExpectation {
    quint16 identifier = 0;
    Fingerprint fingerprint{};
    quint16 sequenceIndex = 0;
    const QList<quint16>* erroredIndices = nullptr; // sequence numbers that already failed
};

// matches == false: not for this pinger (or a late reply to a failed request): ignore it.
// matches == true: the datagram answers the outstanding request, with `error` when invalid.
struct ReplyCheck {
    bool matches = false;
    std::optional<PingError> error;
    bool operator==(const ReplyCheck&) const = default;
};

// Checks a received datagram in this order, stopping at the first failure: length (at least 44
// bytes counting a 20-byte IP header), IPv4 and protocol ICMP, header length, fingerprint (a
// mismatch is not ours), checksum, type and code, identifier, sequence (the current one matches,
// an errored one is ignored, anything else is invalidSequenceIndex).
// hasIpHeader: raw sockets deliver the IP header; datagram ICMP sockets deliver the ICMP message
// alone, which is then treated as if a 20-byte header preceded it (so lengths compare the same).
// On a raw socket every ICMP type other than echo reply (our own echo requests on loopback,
// other programs' traffic) is ignored rather than reported.
ReplyCheck validateReply(const char* datagram, qsizetype length, bool hasIpHeader,
                         const ReplyExpectation& expectation);
inline ReplyCheck validateReply(const QByteArray& datagram, bool hasIpHeader,
                                const ReplyExpectation& expectation)
{
    return validateReply(datagram.constData(), datagram.size(), hasIpHeader, expectation);
}

// The fingerprint a datagram carries, for routing it to its pinger; none when the datagram is
// too short to carry one, is not IPv4/ICMP, or (with IP header) is not an echo reply.
std::optional<Fingerprint> replyFingerprint(const char* datagram, qsizetype length,
                                            bool hasIpHeader);

} // namespace velmora
