// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/metrics_exporter.h"

#include "monitor/ping_engine.h"
#include "monitor/ping_manager.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

constexpr char contentType[] = "text/plain; version=0.0.4; charset=utf-8";

void appendHeader(QByteArray& text, const char* name, const char* type, const char* help)
{
    text.append("# HELP ").append(name).append(' ').append(help).append('\n');
    text.append("# TYPE ").append(name).append(' ').append(type).append('\n');
}

void appendNumber(QByteArray& text, double value)
{
    text.append(QByteArray::number(value, 'g', 12));
}

} // namespace

MetricsExporter::MetricsExporter(const PingManager* manager, QObject* parent)
    : QObject(parent), m_manager(manager), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &MetricsExporter::acceptClients);
}

MetricsExporter::~MetricsExporter() = default;

QByteArray MetricsExporter::escapeLabelValue(const QString& value)
{
    QByteArray escaped;
    const QByteArray utf8 = value.toUtf8();
    escaped.reserve(utf8.size());
    for (char c : utf8) {
        if (c == '\\')
            escaped.append("\\\\");
        else if (c == '"')
            escaped.append("\\\"");
        else if (c == '\n')
            escaped.append("\\n");
        else
            escaped.append(c);
    }
    return escaped;
}

void MetricsExporter::setNodes(const QList<Node>& nodes)
{
    struct Group {
        qint64 firstId = 0;
        QStringList names;
        QStringList types;
    };
    QHash<QString, Group> groups;
    QStringList order;
    for (const Node& node : nodes) {
        const QString address = node.ip.trimmed();
        if (!PingManager::isMonitorableAddress(address))
            continue;
        auto it = groups.find(address);
        if (it == groups.end()) {
            it = groups.insert(address, Group{node.id, {}, {}});
            order.append(address);
        }
        if (!it->names.contains(node.name))
            it->names.append(node.name);
        if (!it->types.contains(node.type))
            it->types.append(node.type);
    }
    m_series.clear();
    m_series.reserve(order.size());
    for (const QString& address : std::as_const(order)) {
        const Group& group = groups[address];
        QByteArray labels = "address=\"" + escapeLabelValue(address) + "\",name=\"" +
                            escapeLabelValue(group.names.join(u", "_s)) + "\",type=\"" +
                            escapeLabelValue(group.types.join(u", "_s)) + '"';
        m_series.append(Series{labels, group.firstId, address});
    }
}

QByteArray MetricsExporter::exposition() const
{
    // Read once per series, in series order, from the maps the manager publishes on this
    // thread; nothing here waits for the engine.
    const QHash<qint64, PingStatus>& statuses = m_manager->nodeStatuses();
    const QHash<qint64, double>& latencies = m_manager->nodeLatencies();
    QList<PingStatus> status(m_series.size());
    for (qsizetype i = 0; i < m_series.size(); ++i)
        status[i] = statuses.value(m_series[i].nodeId, PingStatus::unknown);

    QByteArray text;
    text.reserve(m_series.size() * 700 + 1024);
    appendHeader(text, "velmora_up", "gauge",
                 "1 when the address answers (online or slow), 0 when offline; absent while "
                 "unknown.");
    for (qsizetype i = 0; i < m_series.size(); ++i) {
        if (status[i] == PingStatus::unknown)
            continue;
        text.append("velmora_up{").append(m_series[i].labels).append("} ");
        text.append(status[i] == PingStatus::offline ? "0\n" : "1\n");
    }
    appendHeader(text, "velmora_status", "gauge",
                 "1 for the address's current status, 0 for the other three.");
    static const std::pair<PingStatus, const char*> allStatuses[] = {
        {PingStatus::online, "online"},
        {PingStatus::slow, "slow"},
        {PingStatus::offline, "offline"},
        {PingStatus::unknown, "unknown"}};
    for (qsizetype i = 0; i < m_series.size(); ++i) {
        for (const auto& [value, word] : allStatuses) {
            text.append("velmora_status{").append(m_series[i].labels).append(",status=\"");
            text.append(word).append(status[i] == value ? "\"} 1\n" : "\"} 0\n");
        }
    }
    appendHeader(text, "velmora_rtt_seconds", "gauge",
                 "Round-trip time of the address's last reply.");
    for (const Series& series : m_series) {
        const auto latency = latencies.constFind(series.nodeId);
        if (latency == latencies.constEnd())
            continue;
        text.append("velmora_rtt_seconds{").append(series.labels).append("} ");
        appendNumber(text, *latency / 1000.0);
        text.append('\n');
    }
    for (const bool received : {false, true}) {
        const char* name = received ? "velmora_pings_received_total" : "velmora_pings_sent_total";
        appendHeader(text, name, "counter",
                     received ? "Echo requests of this run that were answered."
                              : "Echo requests of this run whose outcome is known.");
        for (const Series& series : m_series) {
            const auto counters = m_manager->addressCounters(series.address);
            const quint64 count = !counters  ? 0
                                  : received ? counters->received.load(std::memory_order_relaxed)
                                             : counters->sent.load(std::memory_order_relaxed);
            text.append(name).append('{').append(series.labels).append("} ");
            text.append(QByteArray::number(count)).append('\n');
        }
    }
    appendHeader(text, "velmora_monitored_addresses", "gauge", "Distinct addresses monitored.");
    text.append("velmora_monitored_addresses ").append(QByteArray::number(m_series.size()));
    text.append('\n');
    appendHeader(text, "velmora_kernel_drops_total", "counter",
                 "Replies the kernel dropped because the receive buffer was full.");
    const quint64 drops = m_manager->isPingingEnabled() && m_manager->isMonitoring()
                              ? PingEngine::instance()->kernelDrops()
                              : 0;
    text.append("velmora_kernel_drops_total ").append(QByteArray::number(drops)).append('\n');
    appendHeader(text, "velmora_build_info", "gauge", "Always 1; the version is a label.");
    text.append("velmora_build_info{version=\"" VELMORA_VERSION "\"} 1\n");
    return text;
}

Expected<MetricsExporter::BindAddress> MetricsExporter::parseBindAddress(const QString& text)
{
    const qsizetype colon = text.lastIndexOf(u':');
    QString host = colon < 0 ? QString() : text.left(colon);
    const QString portText = text.mid(colon + 1);
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535)
        return Error{QObject::tr("\"%1\" needs a port number from 0 to 65535").arg(text)};
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    BindAddress bind{QHostAddress(QHostAddress::LocalHost), quint16(port)};
    if (!host.isEmpty() && host != "localhost"_L1 && !bind.host.setAddress(host))
        return Error{QObject::tr("\"%1\" is not an IP address to listen on").arg(host)};
    return bind;
}

Expected<void> MetricsExporter::listen(const BindAddress& bind)
{
    if (!m_server->listen(bind.host, bind.port))
        return Error{m_server->errorString()};
    return {};
}

QHostAddress MetricsExporter::serverAddress() const
{
    return m_server->serverAddress();
}

quint16 MetricsExporter::serverPort() const
{
    return m_server->serverPort();
}

void MetricsExporter::acceptClients()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_clients.size() >= maxClients) {
            // Full: the client that has waited longest without finishing its request makes
            // room, so idle connections cannot lock a scraper out for their whole timeout.
            QTcpSocket* idle = nullptr;
            for (QTcpSocket* client : std::as_const(m_clients)) {
                if (m_reads.contains(client)) {
                    idle = client;
                    break;
                }
            }
            if (!idle) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            forget(idle);
        }
        m_clients.append(socket);
        m_reads.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
        QTimer::singleShot(clientTimeoutMs, socket, [this, socket] { forget(socket); });
    }
}

void MetricsExporter::forget(QTcpSocket* socket)
{
    if (!m_clients.removeOne(socket))
        return;
    m_reads.remove(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void MetricsExporter::readRequest(QTcpSocket* socket)
{
    const auto it = m_reads.find(socket);
    if (it == m_reads.end()) {
        socket->readAll(); // a request was answered already; the rest is ignored
        return;
    }
    it->append(socket->read(maxRequestBytes + 1 - it->size()));
    qsizetype end = it->indexOf("\r\n\r\n");
    if (end < 0)
        end = it->indexOf("\n\n");
    if (end < 0) {
        if (it->size() > maxRequestBytes)
            respond(socket, "431 Request Header Fields Too Large", "request too large\n");
        return;
    }
    const QByteArray requestLine = it->left(it->indexOf('\n')).trimmed();
    m_reads.erase(it);
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.") || !parts[1].startsWith('/')) {
        respond(socket, "400 Bad Request", "bad request\n");
        return;
    }
    if (parts[0] != "GET") {
        respond(socket, "405 Method Not Allowed", "only GET\n", "Allow: GET\r\n");
        return;
    }
    const qsizetype query = parts[1].indexOf('?');
    if ((query < 0 ? parts[1] : parts[1].left(query)) != "/metrics") {
        respond(socket, "404 Not Found", "only /metrics\n");
        return;
    }
    respond(socket, "200 OK", exposition(), "Content-Type: "_ba + contentType + "\r\n");
}

void MetricsExporter::respond(QTcpSocket* socket, const QByteArray& status, const QByteArray& body,
                              const QByteArray& extraHeaders)
{
    m_reads.remove(socket);
    socket->readAll(); // unread bytes would turn the close into a reset that loses the answer
    QByteArray head = "HTTP/1.1 " + status + "\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n";
    socket->write(head);
    socket->write(body);
    socket->disconnectFromHost(); // after the buffered bytes are written
}

} // namespace velmora
