// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Muted alerts, per user and keyed by address, kept in the user's settings so that they survive
// restarts and hold in every window. A muted node is still pinged and coloured; it only raises
// no alert.

#include <QDateTime>
#include <QSet>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class QSettings;

namespace velmora {

class AlertMutes final {
public:
    // The user's settings, or the INI file `settingsFile` when one is named.
    explicit AlertMutes(QString settingsFile = {});

    // Mutes `address` for `duration` from `now`, or until unmuted without a duration.
    void mute(const QString& address, std::optional<std::chrono::seconds> duration,
              const QDateTime& now);
    void unmute(const QString& address);

    // None when `address` is not muted at `now` (an expired mute is forgotten); an invalid time
    // for a mute that holds until unmuted; else when the mute ends.
    std::optional<QDateTime> mutedUntil(const QString& address, const QDateTime& now) const;
    bool isMuted(const QString& address, const QDateTime& now) const
    {
        return mutedUntil(address, now).has_value();
    }
    QSet<QString> mutedAddresses(const QDateTime& now) const;

    // "Alerts muted until 15:02:00" or "Alerts muted until unmuted"; empty when not muted.
    QString muteText(const QString& address, const QDateTime& now) const;

private:
    std::unique_ptr<QSettings> settings() const;

    QString m_settingsFile;
};

} // namespace velmora
