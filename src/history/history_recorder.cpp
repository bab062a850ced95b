// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_recorder.h"

#include "monitor/ping_manager.h"

#include <QDateTime>

#include <algorithm>
#include <semaphore>

using namespace Qt::StringLiterals;

namespace velmora {

// Used only on the recorder's thread, which owns the store's connection; only failure() is
// read from other threads.
class HistoryWriter final {
public:
    HistoryWriter(QString path, HistoryStore::Clock clock)
        : m_path(std::move(path)), m_clock(std::move(clock))
    {
    }

    void add(const PingOutcomes& outcomes)
    {
        open();
        for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it) {
            Minute& minute = m_current[it.key()];
            HostState& state = m_states[it.key()];
            for (const PingOutcome& outcome : *it) {
                const qint64 start = outcome.timeMs / 60'000;
                if (minute.sent > 0 && minute.start != start)
                    m_finished[it.key()].append(minute.take());
                minute.start = start;
                ++minute.sent;
                if (outcome.latencyMs)
                    minute.latencies.append(*outcome.latencyMs);
                const HostState now = outcome.latencyMs ? HostState::up : HostState::down;
                if (state != now || !m_seen.contains(it.key())) {
                    m_seen.insert(it.key());
                    state = now;
                    m_changes[it.key()].append({outcome.timeMs, now});
                }
            }
        }
        if (!m_finished.isEmpty())
            write();
    }

    void flush(bool finishing)
    {
        for (auto it = m_current.begin(); it != m_current.end(); ++it) {
            if (it->sent > 0)
                m_finished[it.key()].append(it->take());
        }
        if (finishing) {
            const qint64 now = m_clock ? m_clock() : QDateTime::currentMSecsSinceEpoch();
            for (const QString& address : std::as_const(m_seen))
                m_changes[address].append({now, HostState::unmonitored});
            m_seen.clear();
            m_states.clear();
            m_current.clear();
        }
        write();
    }

    QString failure() const
    {
        std::lock_guard lock(m_failureMutex);
        return m_failure;
    }

private:
    struct Minute {
        qint64 start = 0;
        int sent = 0;
        QList<double> latencies;
        LatencyAggregate take()
        {
            LatencyAggregate a{.start = start, .sent = sent, .replies = int(latencies.size())};
            if (!latencies.isEmpty()) {
                std::sort(latencies.begin(), latencies.end());
                double sum = 0;
                for (double l : std::as_const(latencies))
                    sum += l;
                a.minMs = latencies.first();
                a.maxMs = latencies.last();
                a.meanMs = sum / double(latencies.size());
                const auto at = [&](double q) {
                    return latencies[std::min(latencies.size() - 1,
                                              qsizetype(q * double(latencies.size())))];
                };
                a.p50Ms = at(0.5);
                a.p95Ms = at(0.95);
            }
            sent = 0;
            latencies.clear();
            return a;
        }
    };

    void write()
    {
        if (m_finished.isEmpty() && m_changes.isEmpty())
            return;
        const QHash<QString, QList<LatencyAggregate>> minutes = std::exchange(m_finished, {});
        const QHash<QString, QList<StateChange>> changes = std::exchange(m_changes, {});
        open();
        if (!m_store)
            return;
        if (const Expected<void> written = m_store->write(minutes, changes); !written)
            fail(written.error().message);
    }

    // At the first outcome, so that a database that cannot be written is reported at once.
    void open()
    {
        if (m_opened)
            return;
        m_opened = true;
        Expected<std::unique_ptr<HistoryStore>> opened =
            HistoryStore::openForWriting(m_path, m_clock);
        if (!opened)
            return fail(opened.error().message);
        m_store = std::move(opened.value());
        if (!m_store->readOnlyReason().isEmpty())
            return fail(m_store->readOnlyReason());
    }

    void fail(const QString& reason)
    {
        m_store.reset(); // recording stops; monitoring does not
        const QString message =
            HistoryRecorder::tr("History is not being recorded: %1").arg(reason);
        std::lock_guard lock(m_failureMutex);
        if (m_failure.isEmpty())
            m_failure = message;
    }

    QString m_path;
    HistoryStore::Clock m_clock;
    std::unique_ptr<HistoryStore> m_store;
    bool m_opened = false;
    QHash<QString, Minute> m_current;
    QHash<QString, HostState> m_states;
    QSet<QString> m_seen;
    QHash<QString, QList<LatencyAggregate>> m_finished;
    QHash<QString, QList<StateChange>> m_changes;
    mutable std::mutex m_failureMutex;
    QString m_failure;
};

namespace {
// ThreadSanitizer builds run the writer on the caller. Qt and libstdc++ are not built with it,
// and with uninstrumented modules ignored it loses the order of this thread's start and join
// and of some hand-overs through the main thread's event dispatch, so a correct queue reads as
// racy. The queue below is plain: a mutex-guarded deque counted by a semaphore.
#ifdef __SANITIZE_THREAD__
constexpr bool writerOnCaller = true;
#else
constexpr bool writerOnCaller = false;
#endif
} // namespace

HistoryRecorder::HistoryRecorder(const QString& path, QObject* parent, HistoryStore::Clock clock)
    : QObject(parent), m_writer(std::make_unique<HistoryWriter>(path, std::move(clock)))
{
    if (!writerOnCaller)
        m_thread = std::thread([this] { runTasks(); });
}

HistoryRecorder::~HistoryRecorder()
{
    finish();
    if (writerOnCaller)
        return;
    post({}); // the end of the queue
    m_stopped.acquire();
    m_thread.join();
}

// The writer's thread: runs what the recorder hands it, in order, until an empty task. The
// store's database connection belongs to this thread and is closed on it.
void HistoryRecorder::runTasks()
{
    for (;;) {
        m_queued.acquire();
        std::function<void()> task;
        {
            std::lock_guard lock(m_mutex);
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        if (!task)
            break;
        task();
    }
    m_writer.reset();
    m_stopped.release();
}

void HistoryRecorder::post(std::function<void()> task)
{
    if (writerOnCaller) {
        if (task)
            task();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_queued.release();
}

void HistoryRecorder::runAndWait(const std::function<void()>& task)
{
    if (writerOnCaller)
        return task();
    std::binary_semaphore done{0};
    post([&task, &done] {
        task();
        done.release();
    });
    done.acquire();
}

void HistoryRecorder::attach(PingManager* manager)
{
    connect(manager, &PingManager::pingOutcomes, this, &HistoryRecorder::record);
}

void HistoryRecorder::record(const PingOutcomes& outcomes)
{
    post([writer = m_writer.get(), outcomes] { writer->add(outcomes); });
    reportFailure(); // what an earlier batch found
}

void HistoryRecorder::flush()
{
    runAndWait([writer = m_writer.get()] { writer->flush(false); });
    reportFailure();
}

void HistoryRecorder::finish()
{
    runAndWait([writer = m_writer.get()] { writer->flush(true); });
    reportFailure();
}

// Also called after a flush, so that a program that ends right after still says it.
void HistoryRecorder::reportFailure()
{
    const QString message = failureMessage();
    if (m_failureReported || message.isEmpty())
        return;
    m_failureReported = true;
    emit recordingFailed(message);
}

QString HistoryRecorder::failureMessage() const
{
    return m_writer->failure();
}

} // namespace velmora
