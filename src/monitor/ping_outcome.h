// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One request's outcome as the ping manager hands it on for recording: when it ended and, for
// an answered request, its round trip.

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace velmora {

struct PingOutcome {
    qint64 timeMs = 0;               // milliseconds since the epoch (UTC) when it ended
    std::optional<double> latencyMs; // empty for a timeout or a send error
    bool operator==(const PingOutcome&) const = default;
};

// Outcomes per pinged address (as the project spells it, trimmed), oldest first.
using PingOutcomes = QHash<QString, QList<PingOutcome>>;

} // namespace velmora
