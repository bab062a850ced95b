// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PingError: every way an ICMP echo can fail, as a value. The case order gives the numeric
// error code (counting from 0); two errors are equal when case and payload are equal. Results
// of the engine are Expected<T, PingError>.

#include "model/expected.h"

#include <QMetaEnum>
#include <QObject>
#include <QString>

namespace velmora {

class PingError {
    Q_GADGET
public:
    enum class Case : quint8 {
        invalidLength,         // received: datagram length
        checksumMismatch,      // received, calculated
        invalidType,           // received
        invalidCode,           // received
        identifierMismatch,    // received, expected
        invalidSequenceIndex,  // received, expected
        socketOptionsSetError, // err: result of the failing socket-option call
        responseTimeout,
        unknownHostError,
        addressLookupError,
        hostNotFound,
        addressMemoryError,
        requestError,
        requestTimeout,
        checksumOutOfBounds,
        unexpectedPayloadLength,
        packageCreationFailed,
        socketNil,
        invalidHeaderOffset,
    };
    Q_ENUM(Case)

    // socketNil: what Expected::error() gives when there is a value (check hasValue() first).
    PingError() = default;

    static PingError invalidLength(qint64 received) { return {Case::invalidLength, received, 0}; }
    static PingError checksumMismatch(quint16 received, quint16 calculated)
    {
        return {Case::checksumMismatch, received, calculated};
    }
    static PingError invalidType(quint8 received) { return {Case::invalidType, received, 0}; }
    static PingError invalidCode(quint8 received) { return {Case::invalidCode, received, 0}; }
    static PingError identifierMismatch(quint16 received, quint16 expected)
    {
        return {Case::identifierMismatch, received, expected};
    }
    static PingError invalidSequenceIndex(quint16 received, quint16 expected)
    {
        return {Case::invalidSequenceIndex, received, expected};
    }
    static PingError socketOptionsSetError(qint32 err)
    {
        return {Case::socketOptionsSetError, err, 0};
    }
    // A case without payload (responseTimeout ... invalidHeaderOffset).
    static PingError plain(Case c) { return {c, 0, 0}; }
    static PingError responseTimeout() { return plain(Case::responseTimeout); }
    static PingError unknownHostError() { return plain(Case::unknownHostError); }
    static PingError addressLookupError() { return plain(Case::addressLookupError); }
    static PingError hostNotFound() { return plain(Case::hostNotFound); }
    static PingError addressMemoryError() { return plain(Case::addressMemoryError); }
    static PingError requestError() { return plain(Case::requestError); }
    static PingError requestTimeout() { return plain(Case::requestTimeout); }
    static PingError checksumOutOfBounds() { return plain(Case::checksumOutOfBounds); }
    static PingError unexpectedPayloadLength() { return plain(Case::unexpectedPayloadLength); }
    static PingError packageCreationFailed() { return plain(Case::packageCreationFailed); }
    static PingError socketNil() { return plain(Case::socketNil); }
    static PingError invalidHeaderOffset() { return plain(Case::invalidHeaderOffset); }

    Case kind() const { return m_case; }
    int code() const { return static_cast<int>(m_case); }
    // Payload fields; 0 for cases that do not carry them.
    qint64 received() const { return m_first; }
    qint64 expected() const { return m_second; }   // identifierMismatch, invalidSequenceIndex
    qint64 calculated() const { return m_second; } // checksumMismatch
    qint32 err() const { return static_cast<qint32>(m_first); }

    // "Invalid sequence index: received 7, expected 5"
    QString description() const;
    // The case's name as written above ("invalidSequenceIndex").
    static QString caseName(Case c)
    {
        return QString::fromLatin1(QMetaEnum::fromType<Case>().valueToKey(int(c)));
    }

    bool operator==(const PingError&) const = default;

private:
    PingError(Case c, qint64 first, qint64 second) : m_case(c), m_first(first), m_second(second) {}
    Case m_case = Case::socketNil;
    qint64 m_first = 0;
    qint64 m_second = 0;
};

} // namespace velmora
