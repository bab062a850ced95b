// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ping intervals offered to the user, in seconds, with their display names.

#include <QList>
#include <QString>

#include <optional>

namespace velmora {

enum class PingIntervalPreset { fast, normal, relaxed, slow, verySlow };

// fast, normal, relaxed, slow, verySlow: the order the picker shows them in.
QList<PingIntervalPreset> allPingIntervalPresets();
double seconds(PingIntervalPreset preset);
// "Fast (1s)", "Normal (3s)", "Relaxed (5s)", "Slow (10s)", "Very Slow (30s)"
QString displayName(PingIntervalPreset preset);
// Exactly 1, 3, 5, 10 or 30 seconds; any other value is no preset.
std::optional<PingIntervalPreset> pingIntervalPresetFromSeconds(double seconds);
// The preset's display name, or the interval truncated to whole seconds and "s" ("7s" for 7.5).
QString pingIntervalLabel(double seconds);

} // namespace velmora
