// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reachability of a node as live monitoring classifies it. A node without an entry in the
// status map counts as unknown.

#include <QtGlobal>

namespace velmora {

enum class PingStatus : quint8 {
    unknown = 0,
    online = 1,
    offline = 2,
    slow = 3,
};

} // namespace velmora
