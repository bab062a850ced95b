// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_settings.h"

#include <QSettings>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

constexpr std::array offlineAfterChoices{1, 2, 3, 5};
const QString offlineAfterKey = u"live/offlineAfter"_s;
const QString groupAlertsKey = u"live/groupAlerts"_s;
const QString countNeverAnsweredKey = u"live/countNeverAnsweredAsOffline"_s;

} // namespace

AlertPolicy loadAlertPolicy(QSettings& settings)
{
    AlertPolicy policy;
    const int offlineAfter = settings.value(offlineAfterKey, policy.offlineAfter).toInt();
    if (std::ranges::find(offlineAfterChoices, offlineAfter) != offlineAfterChoices.end())
        policy.offlineAfter = offlineAfter;
    policy.groupAlerts = settings.value(groupAlertsKey, false).toBool();
    policy.countNeverAnsweredAsOffline = settings.value(countNeverAnsweredKey, false).toBool();
    return policy;
}

void saveAlertPolicy(QSettings& settings, const AlertPolicy& policy)
{
    settings.setValue(offlineAfterKey, policy.offlineAfter);
    settings.setValue(groupAlertsKey, policy.groupAlerts);
    settings.setValue(countNeverAnsweredKey, policy.countNeverAnsweredAsOffline);
}

int nextOfflineAfter(int current)
{
    const auto it = std::ranges::find(offlineAfterChoices, current);
    if (it == offlineAfterChoices.end() || it + 1 == offlineAfterChoices.end())
        return offlineAfterChoices.front();
    return *(it + 1);
}

} // namespace velmora
