// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The clock and one-shot timers the alert logic runs on. The application uses QtAlertScheduler
// (QTimer on the owning thread, wall-clock time); tests substitute a manual clock so that the
// 2 s confirmations and 5 s holds run instantly and deterministically.

#include <QDateTime>
#include <QHash>
#include <QObject>

#include <chrono>
#include <functional>

class QTimer;

namespace velmora {

class AlertScheduler {
public:
    using Handle = quint64;

    virtual ~AlertScheduler() = default;
    virtual QDateTime now() const = 0;
    // Runs `callback` once after `delay`; the handle cancels it until then.
    virtual Handle schedule(std::chrono::milliseconds delay, std::function<void()> callback) = 0;
    // Cancelling a handle that already fired or was cancelled does nothing.
    virtual void cancel(Handle handle) = 0;
};

class QtAlertScheduler final : public QObject, public AlertScheduler {
    Q_OBJECT
public:
    explicit QtAlertScheduler(QObject* parent = nullptr);
    ~QtAlertScheduler() override;

    QDateTime now() const override;
    Handle schedule(std::chrono::milliseconds delay, std::function<void()> callback) override;
    void cancel(Handle handle) override;

private:
    Handle m_nextHandle = 1;
    QHash<Handle, QTimer*> m_timers;
};

} // namespace velmora
