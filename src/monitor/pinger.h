// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pinger: pings one IPv4 destination repeatedly, one request outstanding at a time, matches each
// reply to its request by fingerprint and sequence, times requests out, and reports every
// outcome as a PingResponse. All pingers share the PingEngine's thread and socket; callbacks run
// on the engine thread.

#include "monitor/destination.h"
#include "monitor/ping_engine.h"
#include "monitor/ping_response.h"

#include <QUuid>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace velmora {

class Pinger final : public std::enable_shared_from_this<Pinger> {
public:
    using Observer = std::function<void(const PingResponse&)>;
    using Finished = std::function<void(const PingResult&)>;
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual void pingerDidReceive(const PingResponse& response) = 0;
    };

    // Newest responses kept for PingResult; the statistics cover the whole run regardless.
    static constexpr int defaultResponseHistoryLimit = 64;
    // Failed sequence numbers remembered so that their late replies are recognised.
    static constexpr int erroredIndicesLimit = 1024;

    // Opens the engine's socket when needed; fails with socketOptionsSetError when no ICMP
    // socket can be opened or the time-to-live is not 1-255.
    static Expected<std::shared_ptr<Pinger>, PingError>
    create(const Destination& destination, const PingConfiguration& configuration);
    // Resolves `host` with resolveIPv4 first.
    static Expected<std::shared_ptr<Pinger>, PingError>
    createForHost(const QString& host, const PingConfiguration& configuration);
    // Converts dotted-quad text without lookup.
    static Expected<std::shared_ptr<Pinger>, PingError>
    createForAddress(const QString& ipv4Address, const PingConfiguration& configuration);

    ~Pinger();
    Pinger(const Pinger&) = delete;
    Pinger& operator=(const Pinger&) = delete;

    const Destination& destination() const { return m_destination; }
    const PingConfiguration& configuration() const { return m_configuration; }
    quint16 identifier() const;
    const QUuid& fingerprint() const { return m_fingerprint; }

    // Set before start(); observer and delegate run on the engine thread, observer first.
    void setObserver(Observer observer);
    void setFinished(Finished finished);
    void setDelegate(Delegate* delegate);
    void setTargetCount(std::optional<int> targetCount);
    void setResponseHistoryLimit(int limit);

    Expected<void, PingError> start();
    // Once stop() returns no observer or delegate call is running or will run, so what they
    // use may go. Called from another thread it waits for a call in flight: the caller must
    // not hold anything that call waits for. Called from an observer it returns at once.
    void stop(bool resetSequence = true);
    void halt(bool resetSequence = true);

    // Continues a numbering: the next request carries `sequenceIndex`, and the 64-bit counter
    // goes on from `trueSequenceIndex` (resuming a run; tests use it near the 16-bit wrap).
    void setSequenceIndices(quint16 sequenceIndex, quint64 trueSequenceIndex);

    QList<PingResponse> responses() const;
    QList<quint16> erroredIndices() const;
    quint16 sequenceIndex() const;
    quint64 trueSequenceIndex() const;
    bool isPinging() const;
    bool hasSocket() const;

    // Whether the request of `requestToken` is still waiting for its outcome.
    bool isAwaiting(quint64 requestToken) const;

    // Engine thread entry points.
    void handleEvent(PingEngine::EventKind kind, quint64 token);
    void handleDatagram(const char* data, qsizetype length, qint64 kernelRealtimeNs,
                        qint64 readRealtimeNs, qint64 readMonotonicNs, int ttl);

private:
    Pinger(const Destination& destination, const PingConfiguration& configuration);
    void sendRequest(quint64 sendToken);
    void endWithSendError(const PingError& error, quint64 requestToken);
    void timeout(quint64 requestToken);
    void deliverResponse(const PingResponse& response);
    void scheduleNext();
    void finish(quint64 transmitted);
    void releaseSocket();
    void advanceSequenceLocked();
    void appendErroredLocked(quint16 sequence);
    PingResponse baseResponseLocked() const;

    const Destination m_destination;
    const PingConfiguration m_configuration;
    const QString m_ip;
    const QUuid m_fingerprint;
    const Fingerprint m_fingerprintBytes;
    PingEngine* const m_engine;

    mutable std::mutex m_mutex; // guards everything below
    // Shared so that delivering a response copies a pointer, not the callable.
    std::shared_ptr<const Observer> m_observer;
    Finished m_finished;
    Delegate* m_delegate = nullptr;
    std::optional<int> m_targetCount;
    int m_responseLimit = defaultResponseHistoryLimit;
    std::deque<PingResponse> m_responses;
    RoundtripAccumulator m_roundtrips;
    QList<quint16> m_erroredIndices;
    quint16 m_sequenceIndex = 0;
    quint64 m_trueSequenceIndex = 0;
    bool m_isPinging = false;
    bool m_killswitch = false;
    bool m_hasSocket = false;
    int m_callbacksInFlight = 0; // observer and delegate calls running on the engine thread
    std::condition_variable m_callbacksIdle;
    quint64 m_sendToken = 0;      // invalidates scheduled sends on stop and restart
    quint64 m_requestToken = 0;   // invalidates the timeout of a request that has ended
    qint64 m_sequenceStartNs = 0; // monotonic, when the request was started
    qint64 m_sendRealtimeNs = 0;  // realtime, right before the send
    qint64 m_sendMonotonicNs = 0;
};

} // namespace velmora
