// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of a Prometheus scrape of 10,000 addresses (127.2.x.y, loopback only).
//   A  the exposition text built in process with every address online: CPU per scrape
//   B  GET /metrics from a running `velmora-cli monitor --metrics`: the process's extra CPU
//      per scrape (CPU while scraping minus CPU in an equal window without scrapes) and the
//      wall time a scraper waits
// Usage: bench_metrics [A|B ...] (all by default). B pings, so it needs root (raw ICMP) or
// datagram ICMP sockets allowed.

#include "model/project_codec.h"
#include "monitor/metrics_exporter.h"
#include "monitor/ping_manager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

constexpr int addressCount = 10000;

QList<Node> nodes()
{
    QList<Node> list;
    for (int i = 0; i < addressCount; ++i)
        list.append(Node{.id = i + 1,
                         .name = u"Device %1 \"rack\""_s.arg(i),
                         .type = u"Switch"_s,
                         .ip = u"127.2.%1.%2"_s.arg(i / 250).arg(i % 250 + 1)});
    return list;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double processCpuMs(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the parenthesised command name; utime and stime are the 14th and 15th.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 /
           double(sysconf(_SC_CLK_TCK));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void benchInProcess()
{
    PingManager manager;
    manager.setPingingEnabled(false);
    const QList<Node> all = nodes();
    manager.startMonitoring(all);
    for (const Node& node : all)
        manager.feedAddressStatus(node.ip, PingStatus::online, 0.042);
    QElapsedTimer waited; // until the next publication has taken the fed statuses
    waited.start();
    while (manager.nodeStatuses().value(1) != PingStatus::online && waited.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    MetricsExporter exporter(&manager);
    exporter.setNodes(all);
    std::vector<double> cpu;
    qsizetype bytes = 0;
    for (int i = 0; i < 30; ++i) {
        const double before = threadCpuMs();
        bytes = exporter.exposition().size();
        cpu.push_back(threadCpuMs() - before);
    }
    std::printf("A  in process, %d addresses online: %.1f ms CPU per scrape (median of 30), "
                "%.1f MB of text\n",
                addressCount, median(cpu), double(bytes) / 1e6);
}

QByteArray scrape(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, port);
    if (!socket.waitForConnected(2000))
        return {};
    socket.write("GET /metrics HTTP/1.1\r\nHost: bench\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(3000))
        answer += socket.readAll();
    return answer;
}

void benchProcess()
{
    QTemporaryDir dir;
    ProjectData project;
    for (const Node& node : nodes())
        project.nodes.append(toNodeData(node));
    project.nextNodeId = addressCount + 1;
    const QString file = dir.filePath(u"big.velmora"_s);
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(encodeProject(project).value()) < 0)
        return;
    out.close();
    QProcess monitor;
    monitor.setStandardOutputFile(QProcess::nullDevice()); // a status line per change
    monitor.start(QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI),
                  {u"monitor"_s, file, u"--metrics"_s, u"127.0.0.1:0"_s, u"--interval"_s, u"1"_s});
    static const QRegularExpression pattern(u"metrics at http://127\\.0\\.0\\.1:(\\d+)/"_s);
    quint16 port = 0;
    QByteArray err;
    for (int i = 0; i < 100 && !port; ++i) {
        monitor.waitForReadyRead(100);
        err += monitor.readAllStandardError();
        port = pattern.match(QString::fromUtf8(err)).captured(1).toUShort();
    }
    if (!port) {
        std::printf("B  velmora-cli did not start its exporter: %s\n", err.constData());
        return;
    }
    QThread::sleep(20); // 400 pingers started, the rest starting 50 ms apart meanwhile
    if (monitor.state() != QProcess::Running) {
        std::printf("B  velmora-cli stopped: %s\n", monitor.readAllStandardError().constData());
        return;
    }
    const int scrapes = 40;
    double scrapeWall = 0;
    const auto window = [&](bool scraping) {
        const double before = processCpuMs(monitor.processId());
        qsizetype bytes = 0;
        for (int i = 0; i < scrapes; ++i) {
            if (scraping) {
                QElapsedTimer one;
                one.start();
                bytes = scrape(port).size();
                scrapeWall += double(one.nsecsElapsed()) / 1e6;
            }
            QThread::msleep(100);
        }
        return std::pair{processCpuMs(monitor.processId()) - before, bytes};
    };
    const double idleCpu = window(false).first;
    const auto [busyCpu, bytes] = window(true);
    const double idleAfter = window(false).first;
    const double baseline = (idleCpu + idleAfter) / 2;
    std::printf("B  velmora-cli, %d addresses: %.1f ms extra CPU per scrape (%.0f ms with "
                "scrapes vs %.0f/%.0f ms without, %d scrapes), %.1f ms wall per scrape, "
                "%.1f MB of text\n",
                addressCount, (busyCpu - baseline) / scrapes, busyCpu, idleCpu, idleAfter, scrapes,
                scrapeWall / scrapes, double(bytes) / 1e6);
    monitor.terminate();
    monitor.waitForFinished(10000);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The monitor of B records history as users run it; into a file of this run.
    const QTemporaryDir historyDir;
    if (!qEnvironmentVariableIsSet("VELMORA_HISTORY_DB"))
        qputenv("VELMORA_HISTORY_DB", historyDir.filePath(u"history.sqlite"_s).toLocal8Bit());
    QStringList parts = app.arguments().mid(1);
    if (parts.isEmpty())
        parts = {u"A"_s, u"B"_s};
    if (parts.contains(u"A"_s))
        benchInProcess();
    if (parts.contains(u"B"_s))
        benchProcess();
    std::fflush(stdout);
    return 0;
}
