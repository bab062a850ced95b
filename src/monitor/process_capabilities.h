// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Least privilege for a program given cap_net_raw: the ping engine's socket is its only use for
// the capability, so the program opens that socket at start and then gives up every capability.

namespace velmora {

// For main(), before any project or other outside data is read and while main() is the only
// thread (capabilities belong to a thread; the threads it starts later inherit them). In a
// process of an ordinary user that holds capabilities: opens the ping engine's socket now when
// `openSocket` is set and CAP_NET_RAW is permitted (a datagram socket where the user's group
// may, else a raw one), then drops every capability: effective, permitted, inheritable and
// ambient. They go even when no socket opens; live mode then says what would allow pinging.
// Returns false only when the capabilities could not be dropped.
bool openIcmpSocketAndDropCapabilities(bool openSocket);

} // namespace velmora
