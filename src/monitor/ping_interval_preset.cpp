// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ping_interval_preset.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace velmora {

QList<PingIntervalPreset> allPingIntervalPresets()
{
    return {PingIntervalPreset::fast, PingIntervalPreset::normal, PingIntervalPreset::relaxed,
            PingIntervalPreset::slow, PingIntervalPreset::verySlow};
}

double seconds(PingIntervalPreset preset)
{
    switch (preset) {
    case PingIntervalPreset::fast:
        return 1.0;
    case PingIntervalPreset::normal:
        return 3.0;
    case PingIntervalPreset::relaxed:
        return 5.0;
    case PingIntervalPreset::slow:
        return 10.0;
    case PingIntervalPreset::verySlow:
        return 30.0;
    }
    return 3.0;
}

QString displayName(PingIntervalPreset preset)
{
    switch (preset) {
    case PingIntervalPreset::fast:
        return u"Fast (1s)"_s;
    case PingIntervalPreset::normal:
        return u"Normal (3s)"_s;
    case PingIntervalPreset::relaxed:
        return u"Relaxed (5s)"_s;
    case PingIntervalPreset::slow:
        return u"Slow (10s)"_s;
    case PingIntervalPreset::verySlow:
        return u"Very Slow (30s)"_s;
    }
    return {};
}

std::optional<PingIntervalPreset> pingIntervalPresetFromSeconds(double value)
{
    for (PingIntervalPreset preset : allPingIntervalPresets()) {
        if (seconds(preset) == value)
            return preset;
    }
    return std::nullopt;
}

QString pingIntervalLabel(double value)
{
    if (const auto preset = pingIntervalPresetFromSeconds(value))
        return displayName(*preset);
    if (!std::isfinite(value))
        return u"%1s"_s.arg(value);
    return u"%1s"_s.arg(static_cast<qint64>(std::trunc(value)));
}

} // namespace velmora
