// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/destination.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace velmora {

QString Destination::ip() const
{
    return u"%1.%2.%3.%4"_s.arg(ipv4Address[4])
        .arg(ipv4Address[5])
        .arg(ipv4Address[6])
        .arg(ipv4Address[7]);
}

quint32 Destination::networkOrderAddress() const
{
    quint32 a;
    std::memcpy(&a, ipv4Address.data() + 4, 4);
    return a;
}

void Destination::toSockaddr(sockaddr_in* out) const
{
    std::memset(out, 0, sizeof(*out));
    out->sin_family = AF_INET;
    out->sin_port = 0;
    out->sin_addr.s_addr = networkOrderAddress();
}

IPv4SocketAddress makeIPv4SocketAddress(quint32 networkOrderAddress)
{
    IPv4SocketAddress a{};
    a[0] = 16;
    a[1] = 2;
    std::memcpy(a.data() + 4, &networkOrderAddress, 4);
    return a;
}

Expected<IPv4SocketAddress, PingError> resolveIPv4(const QString& host)
{
    const QByteArray name = host.toUtf8();
    if (name.isEmpty() || name.contains('\0'))
        return PingError::hostNotFound();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_RAW;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(name.constData(), nullptr, &hints, &list);
    if (rc != 0) {
        switch (rc) {
        case EAI_NONAME:
#ifdef EAI_NODATA
        case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
#endif
            return PingError::hostNotFound();
        case EAI_MEMORY:
            return PingError::addressMemoryError();
        case EAI_SYSTEM:
            return PingError::unknownHostError();
        default:
            return PingError::addressLookupError();
        }
    }
    std::optional<IPv4SocketAddress> found;
    for (addrinfo* ai = list; ai && !found; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
            const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
            found = makeIPv4SocketAddress(sin->sin_addr.s_addr);
        }
    }
    freeaddrinfo(list);
    if (!found)
        return PingError::hostNotFound();
    return *found;
}

Expected<IPv4SocketAddress, PingError> parseIPv4Address(const QString& text)
{
    in_addr addr{};
    if (inet_pton(AF_INET, text.toLatin1().constData(), &addr) != 1)
        return PingError::hostNotFound();
    return makeIPv4SocketAddress(addr.s_addr);
}

} // namespace velmora
