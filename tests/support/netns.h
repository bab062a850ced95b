// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Network namespaces a test creates for hosts it can take down: ICMP in tests goes only to
// 127.0.0.0/8 or into such a namespace. Needs root; unavailableReason() says why not.

#include "support/process.h"

#include <QString>
#include <QStringList>

namespace velmora::test {

class NetworkNamespace {
public:
    // Why namespaces cannot be made here, or empty when they can (root and iproute2).
    static QString unavailableReason();

    // Creates "<prefix>-<pid>-<n>" with `lo` up; namespaces of the same prefix left behind by
    // killed runs (whose process is gone) are deleted first.
    explicit NetworkNamespace(const QString& prefix);
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;
    ~NetworkNamespace();

    bool isValid() const { return m_valid; }
    const QString& name() const { return m_name; }

    // Moves the calling thread into the namespace (sockets it opens then belong there); true on
    // success.
    bool enter() const;

    // `ip netns exec NAME command...`; the result of the command.
    ProcessResult exec(const QStringList& command, const RunOptions& options = {}) const;
    bool run(const QStringList& command) const { return exec(command).exitCode == 0; }
    // The prefix that runs a program inside: {"ip", "netns", "exec", NAME}.
    QStringList execPrefix() const;

    // Makes `addresses` (each a /32 on lo) the only loopback hosts that answer: 127.0.0.1/8
    // is removed so every other 127.x address is unreachable.
    bool useOnlyHosts(const QStringList& addresses) const;
    bool addHost(const QString& address) const;
    bool removeHost(const QString& address) const;
    // net.ipv4.ping_group_range inside: "0 2147483647" lets everyone open datagram ICMP
    // sockets, "1 0" lets no one.
    bool setPingGroupRange(const QString& range) const;

private:
    QString m_name;
    bool m_valid = false;
};

} // namespace velmora::test
