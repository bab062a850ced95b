// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ping_error.h"

using namespace Qt::StringLiterals;

namespace velmora {

QString PingError::description() const
{
    switch (m_case) {
    case Case::invalidLength:
        return u"Invalid length: received %1 bytes, at least 44 needed"_s.arg(m_first);
    case Case::checksumMismatch:
        return u"Checksum mismatch: received 0x%1, calculated 0x%2"_s
            .arg(m_first, 4, 16, QLatin1Char('0'))
            .arg(m_second, 4, 16, QLatin1Char('0'));
    case Case::invalidType:
        return u"Invalid ICMP type %1 (an echo reply is 0)"_s.arg(m_first);
    case Case::invalidCode:
        return u"Invalid ICMP code %1 (an echo reply has 0)"_s.arg(m_first);
    case Case::identifierMismatch:
        return u"Identifier mismatch: received %1, expected %2"_s.arg(m_first).arg(m_second);
    case Case::invalidSequenceIndex:
        return u"Invalid sequence index: received %1, expected %2"_s.arg(m_first).arg(m_second);
    case Case::socketOptionsSetError:
        return u"Setting a socket option failed (result %1)"_s.arg(m_first);
    case Case::responseTimeout:
        return u"No reply before the timeout"_s;
    case Case::unknownHostError:
        return u"The host name could not be looked up"_s;
    case Case::addressLookupError:
        return u"The address lookup failed"_s;
    case Case::hostNotFound:
        return u"Host not found (no IPv4 address)"_s;
    case Case::addressMemoryError:
        return u"Out of memory while handling the address"_s;
    case Case::requestError:
        return u"Sending the echo request failed"_s;
    case Case::requestTimeout:
        return u"Sending the echo request timed out"_s;
    case Case::checksumOutOfBounds:
        return u"The checksum is out of bounds"_s;
    case Case::unexpectedPayloadLength:
        return u"The payload length is odd"_s;
    case Case::packageCreationFailed:
        return u"The echo request could not be built"_s;
    case Case::socketNil:
        return u"There is no ICMP socket"_s;
    case Case::invalidHeaderOffset:
        return u"Not an IPv4 ICMP datagram or header too long"_s;
    }
    return u"Unknown ping error"_s;
}

} // namespace velmora
