// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MetricsExporter: serves a monitor's published statuses to Prometheus as text (exposition
// format 0.0.4) on GET /metrics, with a small HTTP reader of its own so that it can bound
// clients, request size and time.

#include "model/editing_types.h"
#include "model/expected.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace velmora {

class PingManager;

class MetricsExporter final : public QObject {
    Q_OBJECT
public:
    static constexpr int maxClients = 16;
    static constexpr qsizetype maxRequestBytes = 8192; // request line and headers
    static constexpr int clientTimeoutMs = 10000;      // from accept to the last byte written

    // Reads `manager`'s published maps on the thread both live on, so a scrape takes no lock
    // the pinging threads use.
    explicit MetricsExporter(const PingManager* manager, QObject* parent = nullptr);
    ~MetricsExporter() override;

    // The nodes whose addresses are exported. Nodes sharing an address appear once, as one
    // series whose `name` and `type` labels join the distinct names and types with ", ".
    void setNodes(const QList<Node>& nodes);

    struct BindAddress {
        QHostAddress host;
        quint16 port = 0;
    };
    // "PORT", ":PORT", "HOST:PORT" or "[IPV6]:PORT"; without a host, loopback. HOST is an
    // address literal or "localhost". Port 0 lets the system choose.
    static Expected<BindAddress> parseBindAddress(const QString& text);
    Expected<void> listen(const BindAddress& bind);
    QHostAddress serverAddress() const;
    quint16 serverPort() const;

    // The text a scrape returns.
    QByteArray exposition() const;
    // Backslash, double quote and line feed escaped as label values need; UTF-8.
    static QByteArray escapeLabelValue(const QString& value);

private:
    struct Series {
        QByteArray labels; // address="…",name="…",type="…" without braces
        qint64 nodeId = 0; // the first node at the address: all of them share its status
        QString address;
    };

    void acceptClients();
    void readRequest(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const QByteArray& status, const QByteArray& body,
                 const QByteArray& extraHeaders = {});
    void forget(QTcpSocket* socket);

    const PingManager* m_manager;
    QTcpServer* m_server;
    QList<Series> m_series;
    QList<QTcpSocket*> m_clients;           // in the order they were accepted
    QHash<QTcpSocket*, QByteArray> m_reads; // clients still sending their request
};

} // namespace velmora
