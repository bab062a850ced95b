// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The alert and loss-policy options of live mode that are kept per user (in QSettings): how many
// failed pings make a node offline, grouping alerts behind a failed node, and counting nodes
// that never answered as offline. The defaults keep the plain rule: one failure, no grouping.

class QSettings;

namespace velmora {

struct AlertPolicy {
    int offlineAfter = 1; // 1, 2, 3 or 5 failed pings
    bool groupAlerts = false;
    bool countNeverAnsweredAsOffline = false;

    bool operator==(const AlertPolicy&) const = default;
};

// Reads the stored policy; a value that is not one of the choices reads as its default.
AlertPolicy loadAlertPolicy(QSettings& settings);
void saveAlertPolicy(QSettings& settings, const AlertPolicy& policy);
// The next choice of the failed-ping count: 1, 2, 3, 5, then 1 again.
int nextOfflineAfter(int current);

} // namespace velmora
