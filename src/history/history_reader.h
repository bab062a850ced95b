// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Read access to the history for the window: opens the database read-only when first needed
// (and again later while it does not exist yet), so a window without history costs nothing.

#include "history/history_store.h"

namespace velmora {

class HistoryReader final {
public:
    explicit HistoryReader(QString path = HistoryStore::defaultPath()) : m_path(std::move(path)) {}

    // Empty when the database cannot be read (yet).
    std::optional<HistorySummary> summary(const QString& address, qint64 sinceMs);
    QList<LatencyAggregate> minutes(const QString& address, qint64 sinceMs);

private:
    HistoryStore* store();

    QString m_path;
    std::unique_ptr<HistoryStore> m_store;
};

} // namespace velmora
