// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The values a pinger works with: its fixed configuration, one response per request outcome,
// and the end-of-run summary with round-trip statistics.

#include "monitor/icmp_packet.h"
#include "monitor/ping_error.h"

#include <QList>
#include <QString>

#include <optional>

namespace velmora {

struct PingConfiguration {
    double pingInterval = 1.0;    // seconds from one request's outcome to the next request
    double timeoutInterval = 5.0; // seconds a request may stay unanswered
    bool handleBackgroundTransitions = true; // carried along; no effect on Linux
    std::optional<int> timeToLive;           // IP time-to-live of the requests, 1-255
    int payloadSize = 16; // bytes after the 8-byte ICMP header; the first 16 are the fingerprint
    bool haltAfterTarget = false;

    bool operator==(const PingConfiguration&) const = default;
};

struct PingResponse {
    quint16 identifier = 0;
    std::optional<QString> ipAddress;
    quint16 sequenceNumber = 0;
    quint64 trueSequenceNumber = 0;
    double duration = 0.0; // seconds from sending the request to its outcome
    std::optional<PingError> error;
    std::optional<qint64> byteCount; // datagram length including a 20-byte IP header
    std::optional<IPHeader> ipHeader;

    bool operator==(const PingResponse&) const = default;
};

struct PingResult {
    struct Roundtrip {
        double minimum = 0.0;
        double maximum = 0.0;
        double average = 0.0;
        double standardDeviation = 0.0; // population deviation
        bool operator==(const Roundtrip&) const = default;
    };
    QList<PingResponse> responses; // the most recent ones (see Pinger::responseHistoryLimit)
    quint64 packetsTransmitted = 0;
    quint64 packetsReceived = 0; // responses without error, over the whole run
    std::optional<Roundtrip> roundtrip;
};

// Running minimum, maximum, mean and population deviation of good round trips, so a run's
// statistics stay exact while only the most recent responses are kept.
class RoundtripAccumulator {
public:
    void add(double duration);
    quint64 count() const { return m_count; }
    std::optional<PingResult::Roundtrip> roundtrip() const;

private:
    quint64 m_count = 0;
    double m_minimum = 0.0;
    double m_maximum = 0.0;
    double m_mean = 0.0;
    double m_squares = 0.0; // sum of squared deviations from the mean (Welford)
};

} // namespace velmora
