// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_mutes.h"

#include "monitor/alert_types.h"

#include <QCoreApplication>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

const QString group = u"alertMutes"_s;
const QString untilUnmuted = u"untilUnmuted"_s;

struct MuteText {
    Q_DECLARE_TR_FUNCTIONS(AlertMutes)
};

// A stored mute's end: an invalid QDateTime for "until unmuted"; none when it has run out or
// cannot be read (then it does not mute).
std::optional<QDateTime> storedMuteEnd(const QString& value, const QDateTime& now)
{
    if (value.isEmpty())
        return std::nullopt;
    if (value == untilUnmuted)
        return QDateTime();
    const QDateTime until = QDateTime::fromString(value, Qt::ISODate);
    if (until.isValid() && until > now)
        return until;
    return std::nullopt;
}

} // namespace

AlertMutes::AlertMutes(QString settingsFile) : m_settingsFile(std::move(settingsFile)) {}

std::unique_ptr<QSettings> AlertMutes::settings() const
{
    auto result = m_settingsFile.isEmpty()
                      ? std::make_unique<QSettings>()
                      : std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat);
    result->beginGroup(group);
    return result;
}

void AlertMutes::mute(const QString& address, std::optional<std::chrono::seconds> duration,
                      const QDateTime& now)
{
    const QString key = address.trimmed();
    if (key.isEmpty())
        return;
    // Mutes that have run out are dropped here, so the stored list stays short.
    const std::unique_ptr<QSettings> stored = settings();
    for (const QString& other : stored->childKeys()) {
        if (!storedMuteEnd(stored->value(other).toString(), now))
            stored->remove(other);
    }
    stored->setValue(key, duration ? now.toUTC().addSecs(duration->count()).toString(Qt::ISODate)
                                   : untilUnmuted);
}

void AlertMutes::unmute(const QString& address)
{
    settings()->remove(address.trimmed());
}

std::optional<QDateTime> AlertMutes::mutedUntil(const QString& address, const QDateTime& now) const
{
    const QString key = address.trimmed();
    if (key.isEmpty())
        return std::nullopt;
    return storedMuteEnd(settings()->value(key).toString(), now);
}

QSet<QString> AlertMutes::mutedAddresses(const QDateTime& now) const
{
    // Read through one settings object: this runs at every publication in live mode.
    QSet<QString> result;
    const std::unique_ptr<QSettings> stored = settings();
    for (const QString& key : stored->childKeys()) {
        if (storedMuteEnd(stored->value(key).toString(), now))
            result.insert(key);
    }
    return result;
}

QString AlertMutes::muteText(const QString& address, const QDateTime& now) const
{
    const std::optional<QDateTime> until = mutedUntil(address, now);
    if (!until)
        return {};
    if (!until->isValid())
        return MuteText::tr("Alerts muted until unmuted");
    return MuteText::tr("Alerts muted until %1").arg(clockTimeText(*until));
}

} // namespace velmora
