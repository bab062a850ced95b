// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a pinger sends: the host text as given and its IPv4 socket address in the 16-byte
// layout (length 16, family 2, port 0, address in network order, 8 zero bytes).

#include "monitor/ping_error.h"

#include <QString>

#include <array>

struct sockaddr_in;

namespace velmora {

using IPv4SocketAddress = std::array<quint8, 16>;

struct Destination {
    QString host;
    IPv4SocketAddress ipv4Address{};

    // Dotted-quad text of bytes 4-7.
    QString ip() const;
    // The address as this platform's sockaddr_in.
    void toSockaddr(sockaddr_in* out) const;
    // The 32-bit address in network order.
    quint32 networkOrderAddress() const;

    bool operator==(const Destination&) const = default;
};

// The 16-byte layout for an address given in network order.
IPv4SocketAddress makeIPv4SocketAddress(quint32 networkOrderAddress);

// Blocking host-name resolution to the first IPv4 address. A name without an address is
// hostNotFound; a resolver that fails in its own (netdb) domain is addressLookupError; a
// system failure is unknownHostError; out of memory is addressMemoryError.
Expected<IPv4SocketAddress, PingError> resolveIPv4(const QString& host);

// Dotted-quad text to the 16-byte layout without any lookup. Text that is not a dotted quad
// fails with hostNotFound instead of turning into an unintended address.
Expected<IPv4SocketAddress, PingError> parseIPv4Address(const QString& text);

} // namespace velmora
