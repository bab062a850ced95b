// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary datagrams to the ICMP reply validator, with and without IP header.
// Input: byte 0 bit 0 = the datagram carries an IP header, bit 1 = expect the datagram's own
// fingerprint (reaching the checks behind it); bytes 1-2 the expected sequence; byte 3 the
// expected identifier's low byte; the rest is the datagram.

#include "monitor/icmp_packet.h"

#include <QtEndian>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const bool hasIpHeader = data[0] & 1;
    const bool ownFingerprint = data[0] & 2;
    const quint16 sequence = qFromBigEndian<quint16>(data + 1);
    const auto* datagram = reinterpret_cast<const char*>(data + 4);
    const qsizetype length = qsizetype(size - 4);

    ReplyExpectation expectation;
    expectation.identifier = quint16(0x5A00 | data[3]);
    expectation.sequenceIndex = sequence;
    const QList<quint16> errored{quint16(sequence - 1), quint16(sequence - 2)};
    expectation.erroredIndices = &errored;
    const std::optional<Fingerprint> carried = replyFingerprint(datagram, length, hasIpHeader);
    if (ownFingerprint && carried)
        expectation.fingerprint = *carried;

    const ReplyCheck check = validateReply(datagram, length, hasIpHeader, expectation);
    // A datagram accepted without error is a whole echo reply with the expected sequence.
    if (check.matches && !check.error) {
        if (!carried)
            std::abort();
        const qsizetype offset = hasIpHeader ? (data[4] & 0x0F) * 4 : 0;
        if (qFromBigEndian<quint16>(datagram + offset + 6) != sequence)
            std::abort();
    }
    if (!check.matches && check.error)
        std::abort();
    (void)internetChecksum(datagram, length);
    return 0;
}
