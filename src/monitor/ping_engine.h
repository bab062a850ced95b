// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PingEngine: the one thread and the one ICMP socket that every Pinger of the process shares.
// Replies are read with kernel receive stamps and routed to their pinger by fingerprint; a single
// scheduler timer sends every due request and ends every overdue one, so a busy GUI thread never
// delays a receive or inflates a round trip.

#include "monitor/icmp_packet.h"
#include "monitor/ping_error.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

class QSocketNotifier;
class QThread;
class QTimer;

namespace velmora {

class Pinger;
struct Destination;

struct FingerprintHash {
    std::size_t operator()(const Fingerprint& f) const noexcept
    {
        quint64 a, b;
        std::memcpy(&a, f.data(), 8);
        std::memcpy(&b, f.data() + 8, 8);
        return std::size_t(a ^ (b * 0x9E3779B97F4A7C15ULL));
    }
};

class PingEngine final : public QObject {
    Q_OBJECT
public:
    enum class SocketKind { none, datagram, raw };
    Q_ENUM(SocketKind)
    enum class EventKind : quint8 { send, timeout };

    // The process-wide engine; its thread starts on first use and stops when the
    // QCoreApplication goes away.
    static PingEngine* instance();

    // Opens the shared socket when it is not open yet: an ICMP datagram socket if the user's
    // group may (net.ipv4.ping_group_range), else a raw socket (CAP_NET_RAW). Any thread.
    Expected<void, PingError> ensureSocket();
    // Opens that socket before the engine or the application object exists, for a program that
    // gives up its capabilities right after; the engine takes it over on first use. False when
    // neither socket kind opens (ensureSocket() then tries again and says why).
    static bool openSocketEarly();
    SocketKind socketKind() const { return m_kind.load(); }
    // "none", "datagram", "raw".
    static QString socketKindName(SocketKind kind);
    // The echo identifier every request of this engine carries (datagram sockets force it).
    quint16 identifier() const { return m_identifier.load(); }
    // Raw sockets deliver the IP header; datagram sockets deliver the ICMP message alone.
    bool deliversIpHeader() const { return socketKind() == SocketKind::raw; }
    // Why no socket could be opened and what to run to allow it; empty while a socket is open.
    QString socketError() const;
    // The user-facing text for a user who may open neither socket kind.
    static QString permissionHelp();

    int receiveBufferBytes() const { return m_receiveBuffer.load(); }
    quint64 kernelDrops() const { return m_kernelDrops.load(); }

    static qint64 monotonicNs();
    static qint64 realtimeNs();

    // Used by Pinger.
    void attach(const Fingerprint& fingerprint, std::weak_ptr<Pinger> pinger);
    void detach(const Fingerprint& fingerprint);
    void schedule(qint64 dueMonotonicNs, std::weak_ptr<Pinger> pinger, EventKind kind,
                  quint64 token);
    // As schedule() for a request's timeout. A request sent during a tick is given one only if
    // it is still unanswered when the tick ends: loopback and local hosts have replied by then,
    // and their timeouts never enter the queue.
    void scheduleTimeout(qint64 dueMonotonicNs, std::weak_ptr<Pinger> pinger, quint64 token);
    struct SendOutcome {
        int error = 0; // errno of a failed send, 0 on success
        qint64 realtimeNs = 0;
        qint64 monotonicNs = 0;
    };
    SendOutcome send(const QByteArray& packet, const Destination& destination,
                     std::optional<int> timeToLive);
    bool isEngineThread() const;

    // Stops the thread and closes the socket; pingers then fail to start with socketNil.
    void shutdown();

private:
    PingEngine() = default;
    // Other threads reach the engine thread only through an eventfd and state under a lock or
    // in atomics: no queued calls, whose ordering lives inside Qt.
    void wake();
    void onWake();
    void setUpOnThread();
    void tearDownOnThread();
    void closeSocket();
    void onReadable();
    void onTick();
    void armTimer();
    void drain();
    void processDatagram(const char* data, qsizetype length, qint64 kernelRealtimeNs,
                         qint64 readRealtimeNs, qint64 readMonotonicNs, int ttl);

    struct Event {
        qint64 due;
        quint64 token;
        std::weak_ptr<Pinger> pinger;
        EventKind kind;
    };
    struct Later {
        bool operator()(const Event& a, const Event& b) const { return a.due > b.due; }
    };

    QThread* m_thread = nullptr;
    QTimer* m_timer = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    int m_wakeFd = -1;
    QSocketNotifier* m_wakeNotifier = nullptr;

    mutable std::mutex m_socketMutex;
    // Written under m_socketMutex; read without it on the engine thread, the only one that
    // closes it, to send and receive.
    std::atomic<int> m_fd{-1};
    QString m_socketError;
    std::atomic<SocketKind> m_kind{SocketKind::none};
    std::atomic<quint16> m_identifier{0};
    std::atomic<int> m_receiveBuffer{0};
    std::atomic<bool> m_isShutDown{false};

    std::mutex m_pingersMutex;
    std::unordered_map<Fingerprint, std::weak_ptr<Pinger>, FingerprintHash> m_pingers;

    std::mutex m_queueMutex;
    std::vector<Event> m_queue;            // a min-heap on `due`
    std::vector<Event> m_due;              // the events of the current tick (engine thread only)
    std::vector<Event> m_deferredTimeouts; // of the requests sent in the current tick
    bool m_inTick = false;
    std::atomic<qint64> m_armedDue{std::numeric_limits<qint64>::max()};
    std::atomic<bool> m_wakePending{false};

    std::atomic<quint64> m_kernelDrops{0};
    std::unique_ptr<char[]> m_buffers;
};

} // namespace velmora
