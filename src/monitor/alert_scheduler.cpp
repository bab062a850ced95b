// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/alert_scheduler.h"

#include <QTimer>

#include <utility>

namespace velmora {

QtAlertScheduler::QtAlertScheduler(QObject* parent) : QObject(parent) {}

QtAlertScheduler::~QtAlertScheduler()
{
    // The timers are children and die with us; stop them first so none fires mid-destruction.
    for (QTimer* timer : std::as_const(m_timers))
        timer->stop();
}

QDateTime QtAlertScheduler::now() const
{
    return QDateTime::currentDateTimeUtc();
}

AlertScheduler::Handle QtAlertScheduler::schedule(std::chrono::milliseconds delay,
                                                  std::function<void()> callback)
{
    const Handle handle = m_nextHandle++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, handle, fn = std::move(callback)] {
        // Forget the timer before running the callback: the callback may schedule or cancel.
        if (QTimer* fired = m_timers.take(handle))
            fired->deleteLater();
        fn();
    });
    m_timers.insert(handle, timer);
    timer->start(delay);
    return handle;
}

void QtAlertScheduler::cancel(Handle handle)
{
    if (QTimer* timer = m_timers.take(handle)) {
        timer->stop();
        timer->deleteLater();
    }
}

} // namespace velmora
