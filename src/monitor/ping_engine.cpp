// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ping_engine.h"

#include "monitor/destination.h"
#include "monitor/pinger.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// Which socket the engine opened, and how; QT_LOGGING_RULES="velmora.monitor.info=true" shows it.
Q_LOGGING_CATEGORY(lcMonitor, "velmora.monitor", QtWarningMsg)

constexpr int receiveBatch = 32;
constexpr int receiveSlot = 65536; // a whole IPv4 datagram
constexpr int controlSlot = 256;
constexpr int wantedReceiveBuffer = 2 * 1024 * 1024;
constexpr int wantedSendBuffer = 1024 * 1024;
// Everything due within one tick is handled together: one wake-up per 5 ms at most.
constexpr qint64 tickNs = 5'000'000;

qint64 clockNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Keeps only echo replies that carry this engine's identifier, so the raw socket is not woken
// for our own outgoing requests or for other programs' ICMP traffic.
bool attachIdentifierFilter(int fd, quint16 identifier)
{
    sock_filter code[] = {
        {BPF_LDX | BPF_B | BPF_MSH, 0, 0, 0},          // X = IP header length
        {BPF_LD | BPF_B | BPF_IND, 0, 0, 0},           // A = ICMP type
        {BPF_JMP | BPF_JEQ | BPF_K, 0, 3, 0},          // echo reply?
        {BPF_LD | BPF_H | BPF_IND, 0, 0, 4},           // A = identifier
        {BPF_JMP | BPF_JEQ | BPF_K, 0, 1, identifier}, // ours?
        {BPF_RET | BPF_K, 0, 0, 0xFFFF},
        {BPF_RET | BPF_K, 0, 0, 0},
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof(program)) == 0;
}

int setInt(int fd, int level, int option, int value)
{
    return setsockopt(fd, level, option, &value, sizeof(value));
}

} // namespace

qint64 PingEngine::monotonicNs()
{
    return clockNs(CLOCK_MONOTONIC);
}

qint64 PingEngine::realtimeNs()
{
    return clockNs(CLOCK_REALTIME);
}

PingEngine* PingEngine::instance()
{
    static PingEngine* const engine = [] {
        // Lives as long as the process: its thread is stopped by a post routine of the
        // application object, and pingers may outlive that harmlessly.
        auto* created = new PingEngine;
        created->m_buffers.reset(new char[receiveBatch * (receiveSlot + controlSlot)]);
        created->m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        // The socket notifiers register these types in Qt's process-wide registry; do it here
        // rather than first on the engine thread, so that the registry's memory is made before
        // the thread starts and not freed at exit by another thread than the one that made it.
        qRegisterMetaType<QSocketDescriptor>();
        qRegisterMetaType<QSocketNotifier::Type>();
        created->m_thread = new QThread;
        created->m_thread->setObjectName(u"velmora-ping-engine"_s);
        created->moveToThread(created->m_thread);
        QObject::connect(created->m_thread, &QThread::started, created, &PingEngine::setUpOnThread);
        created->m_thread->start(QThread::HighPriority);
        if (QCoreApplication::instance())
            qAddPostRoutine([] { PingEngine::instance()->shutdown(); });
        return created;
    }();
    return engine;
}

QString PingEngine::socketKindName(SocketKind kind)
{
    return QString::fromLatin1(QMetaEnum::fromType<SocketKind>().valueToKey(int(kind)));
}

QString PingEngine::permissionHelp()
{
    QString program = QCoreApplication::applicationFilePath();
    if (program.isEmpty())
        program = tr("<path of the program>");
    return tr("Live monitoring cannot ping: this user may open neither an ICMP datagram socket nor "
              "a raw socket. To allow ICMP datagram sockets for all users, run: "
              "sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\" — or give the program "
              "raw sockets with: sudo setcap cap_net_raw+ep %1")
        .arg(program);
}

QString PingEngine::socketError() const
{
    std::lock_guard lock(m_socketMutex);
    return m_socketError;
}

namespace {

// An ICMP socket with its options set, or why none could be opened.
struct OpenedSocket {
    int fd = -1;
    PingEngine::SocketKind kind = PingEngine::SocketKind::none;
    quint16 identifier = 0;
    int receiveBuffer = 0;
    QString error; // empty with fd < 0: this user may open neither socket kind
};

OpenedSocket openIcmpSocket()
{
    auto* random = QRandomGenerator::global();
    OpenedSocket opened;
    opened.kind = PingEngine::SocketKind::datagram;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        // The kernel sets the echo identifier from the bound port and routes replies by it.
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(quint16(random->bounded(1, 65535)));
        if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
            local.sin_port = 0; // taken: let the kernel pick a free one
            if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
                opened.error = PingEngine::tr("Cannot bind the ICMP socket: %1")
                                   .arg(QString::fromLocal8Bit(strerror(errno)));
                ::close(fd);
                return opened;
            }
        }
        socklen_t length = sizeof(local);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
            opened.error = PingEngine::tr("Cannot read the ICMP socket's identifier: %1")
                               .arg(QString::fromLocal8Bit(strerror(errno)));
            ::close(fd);
            return opened;
        }
        opened.identifier = ntohs(local.sin_port);
        setInt(fd, SOL_IP, IP_RECVTTL, 1);
    } else {
        opened.kind = PingEngine::SocketKind::raw;
        fd = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd < 0)
            return opened;
        opened.identifier = quint16(random->bounded(0, 65535));
        icmp_filter filter{};
        filter.data =
            ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_TIME_EXCEEDED));
        setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof(filter));
        // An optimisation only: replies are checked anyway.
        if (!attachIdentifierFilter(fd, opened.identifier))
            qCInfo(lcMonitor) << "No identifier filter on the raw ICMP socket:" << strerror(errno);
    }

    if (setInt(fd, SOL_SOCKET, SO_TIMESTAMPNS, 1) != 0) {
        ::close(fd);
        opened.error = PingEngine::tr("Cannot enable kernel receive stamps on the ICMP socket");
        return opened;
    }
    setInt(fd, SOL_SOCKET, SO_RXQ_OVFL, 1);
    // Each unread reply costs about 0.8 kB of buffer: room for a few thousand while a reader
    // stalls. Privileged processes may exceed net.core.rmem_max.
    if (setInt(fd, SOL_SOCKET, SO_RCVBUFFORCE, wantedReceiveBuffer) != 0)
        setInt(fd, SOL_SOCKET, SO_RCVBUF, wantedReceiveBuffer);
    if (setInt(fd, SOL_SOCKET, SO_SNDBUFFORCE, wantedSendBuffer) != 0)
        setInt(fd, SOL_SOCKET, SO_SNDBUF, wantedSendBuffer);
    socklen_t grantedLength = sizeof(opened.receiveBuffer);
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &opened.receiveBuffer, &grantedLength);
    opened.fd = fd;
    return opened;
}

// A socket opened before the engine existed, waiting for the engine to take it over.
std::mutex earlySocketMutex;
OpenedSocket earlySocket;

} // namespace

bool PingEngine::openSocketEarly()
{
    std::lock_guard lock(earlySocketMutex);
    if (earlySocket.fd < 0) {
        OpenedSocket opened = openIcmpSocket();
        if (opened.fd >= 0)
            earlySocket = opened;
    }
    return earlySocket.fd >= 0;
}

Expected<void, PingError> PingEngine::ensureSocket()
{
    std::lock_guard lock(m_socketMutex);
    if (m_isShutDown.load())
        return PingError::socketNil();
    if (m_fd >= 0)
        return {};

    OpenedSocket opened;
    {
        std::lock_guard early(earlySocketMutex);
        std::swap(opened, earlySocket);
    }
    if (opened.fd < 0)
        opened = openIcmpSocket();
    if (opened.fd < 0) {
        m_socketError = opened.error.isEmpty() ? permissionHelp() : opened.error;
        return PingError::socketOptionsSetError(-1);
    }
    m_fd = opened.fd;
    m_identifier = opened.identifier;
    m_receiveBuffer = opened.receiveBuffer;
    m_kind = opened.kind;
    m_socketError.clear();
    qCInfo(lcMonitor).nospace().noquote()
        << "ICMP socket: " << socketKindName(opened.kind) << ", identifier " << opened.identifier
        << ", receive buffer " << opened.receiveBuffer << " bytes";
    wake(); // to watch the new socket
    return {};
}

void PingEngine::wake()
{
    const quint64 one = 1;
    if (write(m_wakeFd, &one, sizeof(one)) < 0) {
        // EAGAIN: the counter is full, so a wake-up is pending anyway.
    }
}

void PingEngine::onWake()
{
    quint64 count;
    if (read(m_wakeFd, &count, sizeof(count)) < 0) {
        // EAGAIN: another wake-up read it first.
    }
    if (m_isShutDown.load())
        tearDownOnThread();
    else
        setUpOnThread();
}

void PingEngine::setUpOnThread()
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        connect(m_timer, &QTimer::timeout, this, &PingEngine::onTick);
        m_wakeNotifier = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
        connect(m_wakeNotifier, &QSocketNotifier::activated, this, &PingEngine::onWake);
    }
    int fd;
    {
        std::lock_guard lock(m_socketMutex);
        fd = m_fd;
    }
    if (!m_notifier && fd >= 0) {
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PingEngine::onReadable);
    }
    armTimer();
}

bool PingEngine::isEngineThread() const
{
    return QThread::currentThread() == m_thread;
}

void PingEngine::shutdown()
{
    if (m_isShutDown.exchange(true))
        return;
    if (m_thread && m_thread->isRunning()) {
        wake();
        m_thread->wait();
    } else {
        closeSocket();
    }
}

void PingEngine::tearDownOnThread()
{
    // The socket is closed here, on the thread that reads it, not after the thread has gone:
    // every access to it is then ordered by this thread or by m_socketMutex. The wake-up
    // descriptor stays open; other threads may still write to it.
    delete m_notifier;
    m_notifier = nullptr;
    m_wakeNotifier->deleteLater(); // we are in its signal; the thread's end deletes it
    m_wakeNotifier = nullptr;
    delete m_timer;
    m_timer = nullptr;
    closeSocket();
    m_thread->quit();
}

void PingEngine::closeSocket()
{
    std::lock_guard lock(m_socketMutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_kind = SocketKind::none;
}

void PingEngine::attach(const Fingerprint& fingerprint, std::weak_ptr<Pinger> pinger)
{
    std::lock_guard lock(m_pingersMutex);
    m_pingers[fingerprint] = std::move(pinger);
}

void PingEngine::detach(const Fingerprint& fingerprint)
{
    std::lock_guard lock(m_pingersMutex);
    m_pingers.erase(fingerprint);
}

void PingEngine::schedule(qint64 dueMonotonicNs, std::weak_ptr<Pinger> pinger, EventKind kind,
                          quint64 token)
{
    {
        std::lock_guard lock(m_queueMutex);
        m_queue.push_back(Event{dueMonotonicNs, token, std::move(pinger), kind});
        std::push_heap(m_queue.begin(), m_queue.end(), Later{});
    }
    // The engine thread re-arms after every tick; other threads wake it when they need an
    // earlier tick than the one armed.
    if (!isEngineThread() && dueMonotonicNs < m_armedDue.load() && !m_wakePending.exchange(true))
        wake();
}

void PingEngine::scheduleTimeout(qint64 dueMonotonicNs, std::weak_ptr<Pinger> pinger, quint64 token)
{
    if (isEngineThread() && m_inTick) // m_inTick belongs to the engine thread
        m_deferredTimeouts.push_back(
            Event{dueMonotonicNs, token, std::move(pinger), EventKind::timeout});
    else
        schedule(dueMonotonicNs, std::move(pinger), EventKind::timeout, token);
}

void PingEngine::armTimer()
{
    m_wakePending = false;
    if (!m_timer)
        return;
    qint64 next = std::numeric_limits<qint64>::max();
    {
        std::lock_guard lock(m_queueMutex);
        if (!m_queue.empty())
            next = m_queue.front().due;
    }
    if (next == std::numeric_limits<qint64>::max()) {
        m_timer->stop();
        m_armedDue = next;
        return;
    }
    // Future deadlines are rounded up to the tick grid so that neighbouring ones share one
    // wake-up; work already due runs at once.
    const qint64 now = monotonicNs();
    const qint64 due = next <= now ? now : (next + tickNs - 1) / tickNs * tickNs;
    const qint64 delayMs = std::max<qint64>(0, (due - now + 999'999) / 1'000'000);
    m_armedDue = due;
    m_timer->start(int(std::min<qint64>(delayMs, 24 * 3600 * 1000)));
}

void PingEngine::onTick()
{
    // Replies already in the socket are handled before any timeout, and each reply's kernel
    // stamp decides whether it beat its deadline.
    drain();
    const qint64 now = monotonicNs();
    std::vector<Event>& due = m_due; // kept: no allocation per tick
    {
        std::lock_guard lock(m_queueMutex);
        while (!m_queue.empty() && m_queue.front().due <= now + 1'000'000) {
            std::pop_heap(m_queue.begin(), m_queue.end(), Later{});
            due.push_back(std::move(m_queue.back()));
            m_queue.pop_back();
        }
    }
    m_inTick = true;
    int handled = 0;
    for (const Event& event : due) {
        if (const std::shared_ptr<Pinger> pinger = event.pinger.lock())
            pinger->handleEvent(event.kind, event.token);
        // Loopback and nearby hosts answer while a burst is still being sent: read between
        // sends so that thousands of requests due together cannot overflow the receive buffer.
        if (++handled % 128 == 0)
            drain();
    }
    // Loopback and local hosts have answered by now: reading here spares the wake-up the
    // socket notifier would cost right after this tick.
    if (!due.empty())
        drain();
    due.clear();
    m_inTick = false;
    for (Event& event : m_deferredTimeouts) {
        const std::shared_ptr<Pinger> pinger = event.pinger.lock();
        if (!pinger || !pinger->isAwaiting(event.token))
            continue;
        std::lock_guard lock(m_queueMutex);
        m_queue.push_back(std::move(event));
        std::push_heap(m_queue.begin(), m_queue.end(), Later{});
    }
    m_deferredTimeouts.clear();
    armTimer();
}

void PingEngine::onReadable()
{
    drain();
    // Replies schedule the next requests; wake for them if they are due before the armed tick.
    qint64 next = std::numeric_limits<qint64>::max();
    {
        std::lock_guard lock(m_queueMutex);
        if (!m_queue.empty())
            next = m_queue.front().due;
    }
    if (next < m_armedDue.load())
        armTimer();
}

void PingEngine::drain()
{
    const int fd = m_fd.load();
    if (fd < 0 || !m_buffers)
        return;
    mmsghdr messages[receiveBatch];
    iovec vectors[receiveBatch];
    // Bounded: a flood of datagrams cannot keep the timers from running.
    for (int round = 0; round < 64; ++round) {
        for (int i = 0; i < receiveBatch; ++i) {
            char* slot = m_buffers.get() + i * (receiveSlot + controlSlot);
            vectors[i] = {slot, receiveSlot};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_control = slot + receiveSlot;
            messages[i].msg_hdr.msg_controllen = controlSlot;
        }
        const int count = recvmmsg(fd, messages, receiveBatch, MSG_DONTWAIT, nullptr);
        if (count <= 0) {
            // EAGAIN: drained. A pending ICMP error on a datagram socket is reported (and
            // cleared) by this call; keep reading after it.
            if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                continue;
            return;
        }
        const qint64 readRealtime = realtimeNs();
        const qint64 readMonotonic = monotonicNs();
        for (int i = 0; i < count; ++i) {
            msghdr& header = messages[i].msg_hdr;
            qint64 kernelStamp = 0;
            int ttl = 64;
            for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec ts;
                    std::memcpy(&ts, CMSG_DATA(c), sizeof(ts));
                    kernelStamp = qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
                } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
                    quint32 drops;
                    std::memcpy(&drops, CMSG_DATA(c), sizeof(drops));
                    if (drops > m_kernelDrops.load())
                        m_kernelDrops = drops;
                } else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL) {
                    std::memcpy(&ttl, CMSG_DATA(c), sizeof(ttl));
                }
            }
            if (header.msg_flags & MSG_TRUNC)
                continue; // longer than any IPv4 datagram: not a reply of ours
            processDatagram(static_cast<const char*>(vectors[i].iov_base), messages[i].msg_len,
                            kernelStamp, readRealtime, readMonotonic, ttl);
        }
        if (count < receiveBatch)
            return;
    }
}

void PingEngine::processDatagram(const char* data, qsizetype length, qint64 kernelRealtimeNs,
                                 qint64 readRealtimeNs, qint64 readMonotonicNs, int ttl)
{
    const bool hasIpHeader = deliversIpHeader();
    const std::optional<Fingerprint> fingerprint = replyFingerprint(data, length, hasIpHeader);
    if (!fingerprint)
        return;
    std::shared_ptr<Pinger> pinger;
    {
        std::lock_guard lock(m_pingersMutex);
        const auto it = m_pingers.find(*fingerprint);
        if (it == m_pingers.end())
            return;
        pinger = it->second.lock();
    }
    if (pinger)
        pinger->handleDatagram(data, length, kernelRealtimeNs, readRealtimeNs, readMonotonicNs,
                               ttl);
}

PingEngine::SendOutcome PingEngine::send(const QByteArray& packet, const Destination& destination,
                                         std::optional<int> timeToLive)
{
    const int fd = m_fd.load();
    SendOutcome outcome;
    if (fd < 0) {
        outcome.error = EBADF;
        return outcome;
    }
    sockaddr_in to{};
    destination.toSockaddr(&to);
    iovec vector{const_cast<char*>(packet.constData()), size_t(packet.size())};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof(to);
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    if (timeToLive) {
        // Per-request time-to-live on the shared socket.
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_IP;
        c->cmsg_type = IP_TTL;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        const int ttl = *timeToLive;
        std::memcpy(CMSG_DATA(c), &ttl, sizeof(ttl));
    }
    outcome.realtimeNs = realtimeNs();
    outcome.monotonicNs = monotonicNs();
    if (sendmsg(fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL) < 0)
        outcome.error = errno;
    return outcome;
}

} // namespace velmora
