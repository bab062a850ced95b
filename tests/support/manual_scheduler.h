// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A hand-driven clock for alert tests: advance() runs due callbacks in order of due time (ties
// in scheduling order) and moves now() along, so seconds of alert timing pass instantly.

#include "monitor/alert_scheduler.h"

#include <QMap>

#include <utility>

namespace velmora {

class ManualScheduler final : public AlertScheduler {
public:
    QDateTime now() const override { return m_start.addMSecs(m_elapsed); }
    qint64 elapsed() const { return m_elapsed; }

    Handle schedule(std::chrono::milliseconds delay, std::function<void()> callback) override
    {
        const Handle handle = m_next++;
        m_queue.insert({m_elapsed + delay.count(), handle}, std::move(callback));
        return handle;
    }

    void cancel(Handle handle) override
    {
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
            if (it.key().second == handle) {
                m_queue.erase(it);
                return;
            }
        }
    }

    void advanceTo(qint64 target)
    {
        while (!m_queue.isEmpty() && m_queue.firstKey().first <= target) {
            const auto key = m_queue.firstKey();
            std::function<void()> callback = m_queue.take(key);
            m_elapsed = key.first;
            callback();
        }
        m_elapsed = std::max(m_elapsed, target);
    }
    void advance(qint64 ms) { advanceTo(m_elapsed + ms); }
    qsizetype pending() const { return m_queue.size(); }

private:
    QDateTime m_start = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);
    qint64 m_elapsed = 0;
    Handle m_next = 1;
    QMap<std::pair<qint64, Handle>, std::function<void()>> m_queue;
};

} // namespace velmora
