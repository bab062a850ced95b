// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_reader.h"

namespace velmora {

HistoryStore* HistoryReader::store()
{
    if (!m_store) {
        if (Expected<std::unique_ptr<HistoryStore>> opened = HistoryStore::openForReading(m_path))
            m_store = std::move(opened.value());
    }
    return m_store.get();
}

std::optional<HistorySummary> HistoryReader::summary(const QString& address, qint64 sinceMs)
{
    HistoryStore* s = store();
    if (!s)
        return std::nullopt;
    Expected<HistorySummary> read = s->summary(address, sinceMs);
    return read ? std::optional(std::move(read.value())) : std::nullopt;
}

QList<LatencyAggregate> HistoryReader::minutes(const QString& address, qint64 sinceMs)
{
    HistoryStore* s = store();
    if (!s)
        return {};
    Expected<QList<LatencyAggregate>> read = s->minutes(address, sinceMs);
    return read ? read.value() : QList<LatencyAggregate>();
}

} // namespace velmora
