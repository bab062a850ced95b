// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/process_capabilities.h"

#include "monitor/ping_engine.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velmora {

namespace {

using CapabilitySets = __user_cap_data_struct[_LINUX_CAPABILITY_U32S_3];

bool readCapabilities(CapabilitySets& sets)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, sets) == 0;
}

bool writeCapabilities(CapabilitySets& sets)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, sets) == 0;
}

} // namespace

bool openIcmpSocketAndDropCapabilities(bool openSocket)
{
    // Root is left as it is: its powers come with user id 0, not only with capabilities, and a
    // user who runs Velmora as root keeps them.
    if (getuid() == 0 || geteuid() == 0)
        return true;
    CapabilitySets sets{};
    if (!readCapabilities(sets))
        return false;
    bool holdsAny = false;
    for (const __user_cap_data_struct& set : sets)
        holdsAny = holdsAny || set.effective != 0 || set.permitted != 0 || set.inheritable != 0;
    if (!holdsAny)
        return true; // an ordinary process: its socket opens on first use, as allowed

    constexpr __u32 netRaw = 1U << CAP_NET_RAW; // in the first word
    if (openSocket && (sets[0].permitted & netRaw) != 0) {
        // A program file given the capability as permitted only: raise it for this one call.
        if ((sets[0].effective & netRaw) == 0) {
            sets[0].effective |= netRaw;
            writeCapabilities(sets);
        }
        PingEngine::openSocketEarly();
    }

    // Ambient capabilities would pass to programs we start; clear them before the rest.
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    CapabilitySets none{};
    return writeCapabilities(none);
}

} // namespace velmora
