// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli monitor as a Prometheus exporter and as a Prometheus client, against a real
// Prometheus server and its own parser (promtool), on loopback only.

#include "support/builders.h"
#include "support/files.h"
#include "support/process.h"

#include "model/project_codec.h"
#include "monitor/metrics_exporter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

namespace {

const QString cli = QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI);

// velmora-cli monitor FILE ARGS..., running until the test ends.
struct Monitor {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    quint16 metricsPort = 0;
    QByteArray out;

    Monitor(const QString& file, const QStringList& arguments)
    {
        process->start(cli, QStringList{u"monitor"_s, file} + arguments);
        process->waitForStarted();
    }
    ~Monitor()
    {
        process->terminate();
        process->waitForFinished(5000);
    }
    // Reads what the exporter says about itself on standard error until its port is known.
    bool waitForMetricsPort()
    {
        static const QRegularExpression pattern(u"metrics at http://127\\.0\\.0\\.1:(\\d+)/"_s);
        QByteArray err;
        for (int i = 0; i < 50 && !metricsPort; ++i) {
            process->waitForReadyRead(100);
            err += process->readAllStandardError();
            metricsPort = pattern.match(QString::fromUtf8(err)).captured(1).toUShort();
        }
        return metricsPort != 0;
    }
    // Reads standard output until `done` holds for it, for at most `ms`.
    bool readUntil(const std::function<bool(const QByteArray&)>& done, int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!done(out) && !deadline.hasExpired()) {
            process->waitForReadyRead(200);
            out += process->readAllStandardOutput();
        }
        return done(out);
    }
};

QString projectFile(const QTemporaryDir& dir, const QString& fileName, QList<NodeData> nodes)
{
    const QString path = dir.filePath(fileName);
    writeFile(path, encodeProject(projectWith(std::move(nodes))).value());
    return path;
}

// One raw exchange on a fresh connection: what the server answered before it closed.
QByteArray exchange(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, port);
    if (!socket.waitForConnected(2000))
        return {};
    socket.write(request);
    QByteArray answer;
    QDeadlineTimer deadline(3000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(100);
        answer += socket.readAll();
    }
    return answer + socket.readAll();
}

QByteArray scrape(quint16 port)
{
    const QByteArray answer = exchange(port, "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    return answer.startsWith("HTTP/1.1 200") ? answer.mid(answer.indexOf("\r\n\r\n") + 4)
                                             : QByteArray();
}

// The sum of a metric's samples in an exposition text.
double sumOf(const QByteArray& text, const QByteArray& metric)
{
    double sum = 0;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith(metric + '{') || line.startsWith(metric + ' '))
            sum += line.mid(line.lastIndexOf(' ') + 1).toDouble();
    }
    return sum;
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestPrometheus final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<Monitor> m_awkward; // exporter for a project with awkward names

private slots:
    void initTestCase()
    {
        const QString file = projectFile(
            m_dir, u"awkward.velmora"_s,
            {NodeData{.id = 1, .name = u"Quote \"Q\""_s, .type = u"R\\S"_s, .ip = u"127.0.0.7"_s},
             NodeData{
                 .id = 2, .name = u"Zürich\nline 2"_s, .type = u"R\\S"_s, .ip = u" 127.0.0.7"_s},
             NodeData{.id = 3, .name = u"Solo"_s, .type = u"Ünïcode ✓"_s, .ip = u"127.0.0.8"_s},
             NodeData{.id = 4, .name = u"No address"_s, .ip = u"0.0.0.0"_s}});
        m_awkward = std::make_unique<Monitor>(
            file, QStringList{u"--metrics"_s, u"0"_s, u"--interval"_s, u"0.2"_s});
        QVERIFY2(m_awkward->waitForMetricsPort(), "the exporter did not say where it listens");
    }

    // Two nodes at one address are one series, names joined; escaping as the format wants;
    // Prometheus's own parser accepts the text.
    void expositionPassesPromtool()
    {
        QByteArray text;
        QTRY_VERIFY_WITH_TIMEOUT(
            (text = scrape(m_awkward->metricsPort)).contains("velmora_up{address=\"127.0.0.8\""),
            10000);
        QVERIFY2(text.contains(u"velmora_up{address=\"127.0.0.7\",name=\"Quote \\\"Q\\\", "
                               "Zürich\\nline 2\",type=\"R\\\\S\"} 1\n"_s.toUtf8()),
                 text.constData());
        QCOMPARE(text.count("velmora_status{address=\"127.0.0.7\""), 4);
        QCOMPARE(sumOf(text, "velmora_monitored_addresses"), 2.0);
        const QString promtool = QStandardPaths::findExecutable(u"promtool"_s);
        if (promtool.isEmpty())
            QSKIP("promtool (Debian package prometheus) is not installed");
        const ProcessResult checked =
            runProgram(promtool, {u"check"_s, u"metrics"_s}, {.input = text});
        QVERIFY2(checked.exitCode == 0, (checked.out + checked.err).constData());
    }

    // Loopback unless another address is spelled out; host names other than localhost are
    // refused rather than resolved to who knows which interface.
    void bindAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::newRow("port only") << u"9464"_s << u"127.0.0.1"_s << 9464;
        QTest::newRow("colon port") << u":9464"_s << u"127.0.0.1"_s << 9464;
        QTest::newRow("localhost") << u"localhost:0"_s << u"127.0.0.1"_s << 0;
        QTest::newRow("all interfaces") << u"0.0.0.0:9464"_s << u"0.0.0.0"_s << 9464;
        QTest::newRow("IPv6") << u"[::1]:9464"_s << u"::1"_s << 9464;
        QTest::newRow("host name") << u"probe.example:9464"_s << QString() << 0;
        QTest::newRow("port too big") << u"127.0.0.1:65536"_s << QString() << 0;
        QTest::newRow("no port") << u"127.0.0.1:"_s << QString() << 0;
    }
    void bindAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        const auto bind = MetricsExporter::parseBindAddress(text);
        QCOMPARE(bind.hasValue(), !host.isEmpty());
        if (bind) {
            QCOMPARE(bind->host, QHostAddress(host));
            QCOMPARE(int(bind->port), port);
        }
    }

    void badRequestsLeaveExporterServing_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("idleConnections");
        QTest::addColumn<QByteArray>("answer"); // start of the status line; empty: none
        QTest::newRow("POST") << "POST /metrics HTTP/1.1\r\n\r\n"_ba << 0 << "HTTP/1.1 405"_ba;
        QTest::newRow("other path") << "GET / HTTP/1.1\r\n\r\n"_ba << 0 << "HTTP/1.1 404"_ba;
        QTest::newRow("traversal")
            << "GET /metrics/../../etc/passwd HTTP/1.1\r\n\r\n"_ba << 0 << "HTTP/1.1 404"_ba;
        QTest::newRow("oversized header")
            << "GET /metrics HTTP/1.1\r\nX-Pad: "_ba + QByteArray(9000, 'a') + "\r\n\r\n"
            << 0 << "HTTP/1.1 431"_ba;
        QTest::newRow("garbage") << "\x16\x03\x01\x00\xff\r\n\r\n\x00\x01"_ba << 0
                                 << "HTTP/1.1 400"_ba;
        QTest::newRow("100 idle connections") << QByteArray() << 100 << QByteArray();
    }
    void badRequestsLeaveExporterServing()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, idleConnections);
        QFETCH(QByteArray, answer);
        const quint16 port = m_awkward->metricsPort;
        const double sentBefore = sumOf(scrape(port), "velmora_pings_sent_total");
        if (!request.isEmpty())
            QVERIFY2(exchange(port, request).startsWith(answer), request.left(60).constData());
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < idleConnections; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(u"127.0.0.1"_s, port);
            QVERIFY(idle.back()->waitForConnected(2000));
        }
        // Still serving while they hang on, and still pinging.
        QTRY_VERIFY_WITH_TIMEOUT(sumOf(scrape(port), "velmora_pings_sent_total") > sentBefore,
                                 5000);
        // Idle clients are dropped: at once to make room, the rest after their time is up.
        for (const auto& socket : idle) {
            QTRY_VERIFY_WITH_TIMEOUT(socket->state() == QAbstractSocket::UnconnectedState, 12000);
        }
    }

    // Exporter → Prometheus → a second monitor reading Prometheus; the exporter stops and the
    // second monitor keeps the statuses as stale, never offline.
    void prometheusCarriesStatuses()
    {
        const QString prometheus = QStandardPaths::findExecutable(u"prometheus"_s);
        if (prometheus.isEmpty())
            QSKIP("the prometheus binary (Debian package prometheus) is not installed");
        const QList<NodeData> site{NodeData{.id = 1, .name = u"Gateway"_s, .ip = u"127.0.3.1"_s},
                                   NodeData{.id = 2, .name = u"Printer"_s, .ip = u"127.0.3.2"_s}};
        auto exporter = std::make_unique<Monitor>(
            projectFile(m_dir, u"site.velmora"_s, site),
            QStringList{u"--metrics"_s, u"127.0.0.1:0"_s, u"--interval"_s, u"0.5"_s});
        QVERIFY(exporter->waitForMetricsPort());

        const quint16 serverPort = freeLoopbackPort();
        const QString config = m_dir.filePath(u"prometheus.yml"_s);
        writeFile(config,
                  u"global: {scrape_interval: 1s, scrape_timeout: 1s}\n"
                  "scrape_configs:\n"
                  "  - job_name: site-a\n"
                  "    static_configs: [{targets: ['127.0.0.1:%1']}]\n"_s.arg(exporter->metricsPort)
                      .toUtf8());
        QProcess server;
        server.setStandardErrorFile(QProcess::nullDevice());
        server.start(prometheus, {u"--config.file="_s + config,
                                  u"--storage.tsdb.path="_s + m_dir.filePath(u"data"_s),
                                  u"--web.listen-address=127.0.0.1:%1"_s.arg(serverPort)});
        QVERIFY(server.waitForStarted());
        const auto stopServer = qScopeGuard([&] {
            server.terminate();
            server.waitForFinished(10000);
        });

        // Prometheus's own answer: both addresses up once the first scrapes are in.
        const QString url = u"http://127.0.0.1:%1"_s.arg(serverPort);
        QStringList up;
        const auto askUp = [&] {
            const QByteArray answer =
                exchange(serverPort, "GET /api/v1/query?query=velmora_up HTTP/1.1\r\nHost: x\r\n"
                                     "Connection: close\r\n\r\n");
            up.clear();
            const QJsonArray result = QJsonDocument::fromJson(answer.mid(
                answer.indexOf("\r\n\r\n") + 4))[u"data"_s][u"result"_s]
                                          .toArray();
            for (const QJsonValue& series : result) {
                if (series[u"value"_s][1].toString() == "1"_L1)
                    up.append(series[u"metric"_s][u"address"_s].toString());
            }
            up.sort();
            return up == QStringList{u"127.0.3.1"_s, u"127.0.3.2"_s};
        };
        QTRY_VERIFY2_WITH_TIMEOUT(askUp(), qPrintable(up.join(u' ')), 30000);

        Monitor reader(projectFile(m_dir, u"reader.velmora"_s,
                                   {NodeData{.id = 7, .name = u"Gw"_s, .ip = u"127.0.3.1"_s},
                                    NodeData{.id = 8, .name = u"Pr"_s, .ip = u"127.0.3.2 "_s}}),
                       {u"--source"_s, u"prometheus"_s, u"--prometheus-url"_s, url, u"--selector"_s,
                        u"job=\"site-a\""_s, u"--json"_s});
        QVERIFY2(reader.readUntil(
                     [](const QByteArray& out) { return out.count("\"status\":\"online\"") == 2; },
                     10000),
                 reader.out.constData());

        exporter.reset();
        QVERIFY2(reader.readUntil(
                     [](const QByteArray& out) { return out.count("\"stale\":true") == 2; }, 15000),
                 reader.out.constData());
        QVERIFY2(!reader.out.contains("offline"), reader.out.constData());
    }
};

QTEST_GUILESS_MAIN(TestPrometheus)
#include "tst_prometheus.moc"
