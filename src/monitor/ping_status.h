// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reachability of a node as live monitoring classifies it. A node without an entry in the
// status map counts as unknown.

#include <QString>
#include <QtGlobal>

namespace velmora {

enum class PingStatus : quint8 {
    unknown = 0,
    online = 1,
    offline = 2,
    slow = 3,
};

// The status as a lower-case word ("online"), as scripts and logs read it.
inline QString pingStatusName(PingStatus status)
{
    switch (status) {
    case PingStatus::online:
        return QStringLiteral("online");
    case PingStatus::offline:
        return QStringLiteral("offline");
    case PingStatus::slow:
        return QStringLiteral("slow");
    case PingStatus::unknown:
        break;
    }
    return QStringLiteral("unknown");
}

} // namespace velmora
