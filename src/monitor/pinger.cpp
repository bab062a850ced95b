// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/pinger.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace velmora {

namespace {

constexpr double nsPerSecond = 1e9;

qint64 secondsToNs(double seconds)
{
    return qint64(std::max(0.0, seconds) * nsPerSecond);
}

// What a datagram socket hides: the 20-byte IPv4 header of a reply from `source`.
IPHeader synthesizedHeader(const Destination& source, qsizetype icmpLength, int ttl)
{
    IPHeader header;
    header.versionAndHeaderLength = 0x45;
    header.totalLength = qToBigEndian(quint16(std::min<qsizetype>(icmpLength + 20, 0xFFFF)));
    header.timeToLive = quint8(std::clamp(ttl, 0, 255));
    header.protocol = 1;
    std::memcpy(header.sourceAddress.data(), source.ipv4Address.data() + 4, 4);
    return header;
}

} // namespace

Pinger::Pinger(const Destination& destination, const PingConfiguration& configuration)
    : m_destination(destination), m_configuration(configuration), m_ip(destination.ip()),
      m_fingerprint(QUuid::createUuid()), m_fingerprintBytes(toFingerprint(m_fingerprint)),
      m_engine(PingEngine::instance())
{
    m_sequenceStartNs = PingEngine::monotonicNs();
}

Expected<std::shared_ptr<Pinger>, PingError> Pinger::create(const Destination& destination,
                                                            const PingConfiguration& configuration)
{
    if (configuration.timeToLive &&
        (*configuration.timeToLive < 1 || *configuration.timeToLive > 255))
        return PingError::socketOptionsSetError(-1);
    std::shared_ptr<Pinger> pinger(new Pinger(destination, configuration));
    const Expected<void, PingError> socket = pinger->m_engine->ensureSocket();
    if (!socket)
        return socket.error();
    pinger->m_engine->attach(pinger->m_fingerprintBytes, pinger);
    pinger->m_hasSocket = true;
    return pinger;
}

Expected<std::shared_ptr<Pinger>, PingError>
Pinger::createForHost(const QString& host, const PingConfiguration& configuration)
{
    const Expected<IPv4SocketAddress, PingError> address = resolveIPv4(host);
    if (!address)
        return address.error();
    return create(Destination{host, address.value()}, configuration);
}

Expected<std::shared_ptr<Pinger>, PingError>
Pinger::createForAddress(const QString& ipv4Address, const PingConfiguration& configuration)
{
    const Expected<IPv4SocketAddress, PingError> address = parseIPv4Address(ipv4Address);
    if (!address)
        return address.error();
    return create(Destination{ipv4Address, address.value()}, configuration);
}

Pinger::~Pinger()
{
    releaseSocket();
}

quint16 Pinger::identifier() const
{
    return m_engine->identifier();
}

void Pinger::setObserver(Observer observer)
{
    auto shared = observer ? std::make_shared<const Observer>(std::move(observer)) : nullptr;
    std::lock_guard lock(m_mutex);
    m_observer = std::move(shared);
}

void Pinger::setFinished(Finished finished)
{
    std::lock_guard lock(m_mutex);
    m_finished = std::move(finished);
}

void Pinger::setDelegate(Delegate* delegate)
{
    std::lock_guard lock(m_mutex);
    m_delegate = delegate;
}

void Pinger::setTargetCount(std::optional<int> targetCount)
{
    std::lock_guard lock(m_mutex);
    m_targetCount = targetCount;
}

void Pinger::setResponseHistoryLimit(int limit)
{
    std::lock_guard lock(m_mutex);
    m_responseLimit = std::max(0, limit);
    while (int(m_responses.size()) > m_responseLimit)
        m_responses.pop_front();
}

void Pinger::setSequenceIndices(quint16 sequenceIndex, quint64 trueSequenceIndex)
{
    std::lock_guard lock(m_mutex);
    m_sequenceIndex = sequenceIndex;
    m_trueSequenceIndex = trueSequenceIndex;
}

QList<PingResponse> Pinger::responses() const
{
    std::lock_guard lock(m_mutex);
    return QList<PingResponse>(m_responses.begin(), m_responses.end());
}

QList<quint16> Pinger::erroredIndices() const
{
    std::lock_guard lock(m_mutex);
    return m_erroredIndices;
}

quint16 Pinger::sequenceIndex() const
{
    std::lock_guard lock(m_mutex);
    return m_sequenceIndex;
}

quint64 Pinger::trueSequenceIndex() const
{
    std::lock_guard lock(m_mutex);
    return m_trueSequenceIndex;
}

bool Pinger::isPinging() const
{
    std::lock_guard lock(m_mutex);
    return m_isPinging;
}

bool Pinger::isAwaiting(quint64 requestToken) const
{
    std::lock_guard lock(m_mutex);
    return m_isPinging && requestToken == m_requestToken;
}

bool Pinger::hasSocket() const
{
    std::lock_guard lock(m_mutex);
    return m_hasSocket;
}

Expected<void, PingError> Pinger::start()
{
    quint64 token;
    {
        std::lock_guard lock(m_mutex);
        if (!m_hasSocket) {
            const Expected<void, PingError> socket = m_engine->ensureSocket();
            if (!socket)
                return socket.error();
            m_engine->attach(m_fingerprintBytes, weak_from_this());
            m_hasSocket = true;
        }
        m_killswitch = false;
        token = ++m_sendToken;
    }
    m_engine->schedule(PingEngine::monotonicNs(), weak_from_this(), PingEngine::EventKind::send,
                       token);
    return {};
}

void Pinger::stop(bool resetSequence)
{
    quint64 transmitted;
    {
        std::unique_lock lock(m_mutex);
        m_killswitch = true;
        // Callers may free what their observer uses as soon as stop() returns: wait for a call
        // in flight. On the engine thread no call can be in flight but the one we are inside.
        if (!m_engine->isEngineThread())
            m_callbacksIdle.wait(lock, [this] { return m_callbacksInFlight == 0; });
        m_isPinging = false;
        ++m_sendToken;
        ++m_requestToken;
        transmitted = m_trueSequenceIndex;
        if (resetSequence) {
            m_sequenceIndex = 0;
            m_trueSequenceIndex = 0;
            m_erroredIndices.clear();
        }
    }
    finish(transmitted);
}

void Pinger::halt(bool resetSequence)
{
    stop(resetSequence);
    releaseSocket();
}

void Pinger::releaseSocket()
{
    std::lock_guard lock(m_mutex);
    if (!m_hasSocket)
        return;
    m_hasSocket = false;
    ++m_requestToken; // the outstanding timeout no longer applies
    m_engine->detach(m_fingerprintBytes);
}

void Pinger::handleEvent(PingEngine::EventKind kind, quint64 token)
{
    if (kind == PingEngine::EventKind::send)
        sendRequest(token);
    else
        timeout(token);
}

PingResponse Pinger::baseResponseLocked() const
{
    PingResponse response;
    response.identifier = m_engine->identifier();
    response.ipAddress = m_ip;
    response.sequenceNumber = m_sequenceIndex;
    response.trueSequenceNumber = m_trueSequenceIndex;
    return response;
}

void Pinger::sendRequest(quint64 sendToken)
{
    quint16 sequence;
    quint64 requestToken;
    {
        std::lock_guard lock(m_mutex);
        if (sendToken != m_sendToken || m_isPinging || m_killswitch || !m_hasSocket)
            return;
        m_isPinging = true;
        m_sequenceStartNs = PingEngine::monotonicNs();
        sequence = m_sequenceIndex;
        requestToken = ++m_requestToken;
    }
    const Expected<QByteArray, PingError> packet = buildEchoRequest(
        m_engine->identifier(), sequence, m_fingerprintBytes, m_configuration.payloadSize);
    if (!packet) {
        endWithSendError(packet.error(), requestToken);
        return;
    }
    const PingEngine::SendOutcome outcome =
        m_engine->send(packet.value(), m_destination, m_configuration.timeToLive);
    if (outcome.error != 0) {
        // A full send buffer is the non-blocking form of a send timeout.
        const bool timedOut =
            outcome.error == EAGAIN || outcome.error == EWOULDBLOCK || outcome.error == ETIMEDOUT;
        endWithSendError(timedOut ? PingError::requestTimeout() : PingError::requestError(),
                         requestToken);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_sendRealtimeNs = outcome.realtimeNs;
        m_sendMonotonicNs = outcome.monotonicNs;
    }
    m_engine->scheduleTimeout(outcome.monotonicNs + secondsToNs(m_configuration.timeoutInterval),
                              weak_from_this(), requestToken);
}

void Pinger::endWithSendError(const PingError& error, quint64 requestToken)
{
    PingResponse response;
    {
        std::lock_guard lock(m_mutex);
        if (requestToken != m_requestToken || !m_isPinging)
            return;
        response = baseResponseLocked();
        response.duration = double(PingEngine::monotonicNs() - m_sequenceStartNs) / nsPerSecond;
        response.error = error;
        appendErroredLocked(m_sequenceIndex);
        m_isPinging = false;
        // The sequence number is not advanced: the next request reuses it.
    }
    deliverResponse(response);
    scheduleNext();
}

void Pinger::timeout(quint64 requestToken)
{
    PingResponse response;
    {
        std::lock_guard lock(m_mutex);
        if (requestToken != m_requestToken || !m_isPinging)
            return;
        response = baseResponseLocked();
        response.duration = double(PingEngine::monotonicNs() - m_sequenceStartNs) / nsPerSecond;
        response.error = PingError::responseTimeout();
        appendErroredLocked(m_sequenceIndex);
        m_isPinging = false;
        ++m_requestToken;
        advanceSequenceLocked();
    }
    deliverResponse(response);
    scheduleNext();
}

void Pinger::handleDatagram(const char* data, qsizetype length, qint64 kernelRealtimeNs,
                            qint64 readRealtimeNs, qint64 readMonotonicNs, int ttl)
{
    const bool hasIpHeader = m_engine->deliversIpHeader();
    PingResponse response;
    {
        std::lock_guard lock(m_mutex);
        // A datagram can only answer an outstanding request; one that arrives while nothing is
        // outstanding (a duplicate, a reply after stop) must not start a second request chain.
        if (m_killswitch || !m_isPinging)
            return;
        const ReplyExpectation expectation{m_engine->identifier(), m_fingerprintBytes,
                                           m_sequenceIndex, &m_erroredIndices};
        const ReplyCheck check = validateReply(data, length, hasIpHeader, expectation);
        if (!check.matches)
            return;

        // The kernel's receive stamp against the realtime stamp taken right before sending;
        // the monotonic clock instead when the realtime clock was stepped in between.
        const qint64 sendOffset = m_sendRealtimeNs - m_sendMonotonicNs;
        const qint64 readOffset = readRealtimeNs - readMonotonicNs;
        qint64 roundTripNs = readMonotonicNs - m_sendMonotonicNs;
        if (kernelRealtimeNs > 0 && std::abs(readOffset - sendOffset) < 1'000'000)
            roundTripNs = kernelRealtimeNs - m_sendRealtimeNs;
        roundTripNs = std::max<qint64>(0, roundTripNs);

        response = baseResponseLocked();
        if (!check.error && roundTripNs > secondsToNs(m_configuration.timeoutInterval)) {
            // Received after its deadline (the reader was late): it is a timeout.
            response.duration = double(roundTripNs) / nsPerSecond;
            response.error = PingError::responseTimeout();
            appendErroredLocked(m_sequenceIndex);
        } else {
            response.duration = double(roundTripNs) / nsPerSecond;
            response.error = check.error;
            response.byteCount = hasIpHeader ? length : length + ipv4HeaderSize;
            if (!check.error) {
                response.ipHeader = hasIpHeader ? IPHeader::fromBytes(data)
                                                : synthesizedHeader(m_destination, length, ttl);
            }
        }
        m_isPinging = false;
        ++m_requestToken;
        advanceSequenceLocked();
    }
    deliverResponse(response);
    scheduleNext();
}

void Pinger::advanceSequenceLocked()
{
    m_sequenceIndex = m_sequenceIndex == 65535 ? 0 : quint16(m_sequenceIndex + 1);
    m_trueSequenceIndex =
        m_trueSequenceIndex == std::numeric_limits<quint64>::max() ? 0 : m_trueSequenceIndex + 1;
}

void Pinger::appendErroredLocked(quint16 sequence)
{
    m_erroredIndices.append(sequence);
    if (m_erroredIndices.size() > erroredIndicesLimit)
        m_erroredIndices.remove(0, m_erroredIndices.size() - erroredIndicesLimit);
}

void Pinger::deliverResponse(const PingResponse& response)
{
    std::shared_ptr<const Observer> observer;
    Delegate* delegate;
    {
        std::lock_guard lock(m_mutex);
        if (!response.error)
            m_roundtrips.add(response.duration);
        if (m_responseLimit > 0) {
            m_responses.push_back(response);
            if (int(m_responses.size()) > m_responseLimit)
                m_responses.pop_front();
        }
        if (m_killswitch)
            return;
        observer = m_observer;
        delegate = m_delegate;
        if (observer || delegate)
            ++m_callbacksInFlight;
    }
    if (!observer && !delegate)
        return;
    if (observer)
        (*observer)(response);
    if (delegate)
        delegate->pingerDidReceive(response);
    std::lock_guard lock(m_mutex);
    if (--m_callbacksInFlight == 0)
        m_callbacksIdle.notify_all();
}

void Pinger::scheduleNext()
{
    quint64 token;
    {
        std::unique_lock lock(m_mutex);
        const bool targetReached = m_targetCount && *m_targetCount <= int(m_sequenceIndex);
        if (targetReached) {
            if (m_configuration.haltAfterTarget) {
                m_killswitch = true;
                m_isPinging = false;
                const quint64 transmitted = m_trueSequenceIndex;
                m_sequenceIndex = 0;
                m_trueSequenceIndex = 0;
                m_erroredIndices.clear();
                lock.unlock();
                finish(transmitted);
                releaseSocket();
            } else {
                const quint64 transmitted = m_trueSequenceIndex;
                lock.unlock();
                finish(transmitted);
            }
            return;
        }
        if (m_killswitch)
            return;
        token = m_sendToken;
    }
    m_engine->schedule(PingEngine::monotonicNs() + secondsToNs(m_configuration.pingInterval),
                       weak_from_this(), PingEngine::EventKind::send, token);
}

void Pinger::finish(quint64 transmitted)
{
    Finished finished;
    PingResult result;
    {
        std::lock_guard lock(m_mutex);
        if (!m_finished)
            return;
        finished = m_finished;
        result.responses = QList<PingResponse>(m_responses.begin(), m_responses.end());
        result.packetsTransmitted = transmitted;
        result.packetsReceived = m_roundtrips.count();
        result.roundtrip = m_roundtrips.roundtrip();
    }
    finished(result);
}

} // namespace velmora
