// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// HistoryRecorder: turns a ping manager's request outcomes into history. Outcomes go to one
// writer thread, which keeps the current minute of each address in memory and writes finished
// minutes and up/down changes in one transaction as minutes end. A database that cannot be
// opened or written is reported once (recordingFailed) and monitoring goes on without it.

#include "history/history_store.h"

#include "monitor/ping_outcome.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>

namespace velmora {

class PingManager;
class HistoryWriter;

class HistoryRecorder final : public QObject {
    Q_OBJECT
public:
    // Opens `path` on the writer thread; HistoryStore::Clock as in the store (tests inject one).
    explicit HistoryRecorder(const QString& path, QObject* parent = nullptr,
                             HistoryStore::Clock clock = {});
    ~HistoryRecorder() override; // finishes, then stops the thread

    // Records every outcome `manager` reports from now on.
    void attach(PingManager* manager);
    void record(const PingOutcomes& outcomes);
    // Writes everything recorded so far, the minute in progress included, and waits for it.
    void flush();
    // As flush, and marks every address as no longer monitored, which ends its open outage.
    void finish();

    // "History is not being recorded: <reason>", or empty while recording works.
    QString failureMessage() const;

signals:
    // Once per recorder, when a failure to open or write the database is first noticed: at the
    // next batch of outcomes after it, or at a flush.
    void recordingFailed(const QString& message);

private:
    void reportFailure();
    void runTasks();
    void post(std::function<void()> task);
    void runAndWait(const std::function<void()>& task);

    std::unique_ptr<HistoryWriter> m_writer; // used on m_thread only
    std::mutex m_mutex;                      // guards the queue
    std::deque<std::function<void()>> m_tasks;
    std::counting_semaphore<> m_queued{0}; // one count per queued task
    std::binary_semaphore m_stopped{0};    // the thread is done with every member
    std::thread m_thread;
    bool m_failureReported = false;
};

} // namespace velmora
