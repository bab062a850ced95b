// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ping_interval_preset.h"

#include <QCoreApplication>

#include <cmath>

namespace velmora {

namespace {

// The translation context of the interval names.
struct PingIntervalText {
    Q_DECLARE_TR_FUNCTIONS(PingIntervalText)
};

} // namespace

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
        return PingIntervalText::tr("Fast (1s)");
    case PingIntervalPreset::normal:
        return PingIntervalText::tr("Normal (3s)");
    case PingIntervalPreset::relaxed:
        return PingIntervalText::tr("Relaxed (5s)");
    case PingIntervalPreset::slow:
        return PingIntervalText::tr("Slow (10s)");
    case PingIntervalPreset::verySlow:
        return PingIntervalText::tr("Very Slow (30s)");
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
        return PingIntervalText::tr("%1s").arg(value);
    return PingIntervalText::tr("%1s").arg(static_cast<qint64>(std::trunc(value)));
}

} // namespace velmora
