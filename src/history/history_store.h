// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The latency and availability history: one SQLite file per user, keyed by pinged address, so
// every project that shows a device shares its history. Per address it keeps per-minute
// aggregates for 14 days (rolled into hourly rows, kept 400 days, as later minutes are written)
// and every up/down change. One connection per instance, used on the thread that opened it.

#include "model/expected.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace velmora {

// One address's requests within one minute (or one hour, once rolled up). Latencies in ms.
struct LatencyAggregate {
    qint64 start = 0; // minutes (or hours) since the epoch
    int sent = 0;
    int replies = 0;
    double minMs = 0, meanMs = 0, maxMs = 0, p50Ms = 0, p95Ms = 0; // zero without replies
    bool operator==(const LatencyAggregate&) const = default;
};

// What an address was from `timeMs` on; `unmonitored` ends an outage when monitoring stops.
enum class HostState { down = 0, up = 1, unmonitored = 2 };
struct StateChange {
    qint64 timeMs = 0;
    HostState state = HostState::unmonitored;
};

struct Outage {
    qint64 startMs = 0;
    std::optional<qint64> endMs; // empty while it lasts
};

// An address's history over a window ending now.
struct HistorySummary {
    qint64 sent = 0;
    qint64 replies = 0;
    std::optional<double> p50Ms, p95Ms;        // empty without replies
    std::optional<double> availabilityPercent; // share of the monitored time it was up
    QList<Outage> outages;                     // overlapping the window, oldest first
    bool hasHistory() const { return sent > 0 || availabilityPercent.has_value(); }
    std::optional<double> lossPercent() const
    {
        return sent > 0 ? std::optional(100.0 * double(sent - replies) / double(sent))
                        : std::nullopt;
    }
};

class HistoryStore final {
public:
    static constexpr int schemaVersion = 1;
    static constexpr int minuteDays = 14;  // minute rows older than this become hourly rows
    static constexpr int hourDays = 400;   // hourly rows and changes older than this go
    using Clock = std::function<qint64()>; // milliseconds since the epoch

    // VELMORA_HISTORY_DB, else history.sqlite in the per-user application data folder.
    static QString defaultPath();
    // The form of an address history is keyed by: trimmed, each dotted number in decimal.
    static QString addressKey(const QString& address);

    // Opens `path` for writing, creating it; a file that is not a database, or a damaged one,
    // is moved aside (name.corrupt-<UTC time>) and a fresh one started. A file of a newer
    // schema opens read-only (readOnlyReason() says why). Fails when it cannot be opened.
    static Expected<std::unique_ptr<HistoryStore>> openForWriting(const QString& path,
                                                                  const Clock& clock = {});
    // Opens an existing file for reading only.
    static Expected<std::unique_ptr<HistoryStore>> openForReading(const QString& path,
                                                                  const Clock& clock = {});
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    const QString& path() const { return m_path; }
    // Why nothing may be written, or empty.
    const QString& readOnlyReason() const { return m_readOnlyReason; }
    // Where a damaged file was moved at open, or empty.
    const QString& movedAsideTo() const { return m_movedAside; }

    // One transaction: finished minutes and state changes per address (minutes already stored
    // are merged), then the rollup of minutes past their 14 days.
    Expected<void> write(const QHash<QString, QList<LatencyAggregate>>& minutes,
                         const QHash<QString, QList<StateChange>>& changes);

    Expected<HistorySummary> summary(const QString& address, qint64 sinceMs) const;
    // Minute aggregates (not yet rolled up) from `sinceMs` on, oldest first.
    Expected<QList<LatencyAggregate>> minutes(const QString& address, qint64 sinceMs) const;
    Expected<QList<LatencyAggregate>> hours(const QString& address, qint64 sinceMs) const;

private:
    HistoryStore(QString path, QString connection, Clock clock);
    static Expected<std::unique_ptr<HistoryStore>> open(const QString& path, bool readOnly,
                                                        const Clock& clock);
    Expected<void> prepare(bool readOnly);
    Expected<void> mergeIntoBlock(qint64 id, qint64 hour, const QList<LatencyAggregate>& minutes);
    Expected<void> sealHours(qint64 nowHour);
    Expected<void> rollup(qint64 nowMs);
    std::optional<qint64> addressId(const QString& key, bool create);
    qint64 now() const;

    QString m_path;
    QString m_connection;
    Clock m_clock;
    QString m_readOnlyReason;
    QString m_movedAside;
    QHash<QString, qint64> m_ids;
    qint64 m_sealedBeforeHour = -1;
    qint64 m_rolledUpBeforeHour = -1;
};

} // namespace velmora
