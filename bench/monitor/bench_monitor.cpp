// SPDX-License-Identifier: GPL-3.0-or-later
// Ping engine benchmark on loopback (127.1.x.y), against fping measured in the same run.
//   A  one round to 1,000 and 5,000 addresses: wall and CPU time
//   B  1,000 addresses every 1 s for 30 s: CPU per 1,000 pings, replies, peak RSS
//   C  as B while the main thread is blocked 30 ms of every 33 ms: RTT median and p99
//   D  10,000 addresses every 1 s for 20 s: replies, CPU, kernel drops
// Usage: bench_monitor [A|B|C|D ...] (all by default). Needs root (raw ICMP) or datagram ICMP
// sockets allowed, and fping for the peer figures. Each run is a child process, so CPU time and
// peak RSS come from wait4() for both sides alike.

#include "monitor/ping_engine.h"
#include "monitor/pinger.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

QString address(int i)
{
    return u"127.1.%1.%2"_s.arg(i / 250).arg(i % 250 + 1);
}

struct ChildRun {
    double wallMs = 0;
    double cpuMs = 0;
    long maxRssKiB = 0;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs argv, optionally interrupting it with SIGINT after `stopAfterMs`.
ChildRun runChild(const std::vector<std::string>& argv, int stopAfterMs = -1)
{
    ChildRun run;
    QTemporaryFile outFile, errFile;
    outFile.open();
    errFile.open();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.fileName().toLocal8Bit().constData(),
                                     O_WRONLY | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.fileName().toLocal8Bit().constData(),
                                     O_WRONLY | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (stopAfterMs >= 0) {
        QThread::msleep(stopAfterMs);
        kill(pid, SIGINT);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wallMs = double(clock.nsecsElapsed()) / 1e6;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    run.maxRssKiB = usage.ru_maxrss;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = outFile.readAll();
    run.err = errFile.readAll();
    return run;
}

std::map<std::string, double> keyValues(const QByteArray& text)
{
    std::map<std::string, double> values;
    for (const QByteArray& line : text.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            values[line.left(eq).toStdString()] = line.mid(eq + 1).toDouble();
    }
    return values;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(std::ceil(p * double(v.size())) - 1));
    return v[i];
}

// ----- the engine side, in a child process ----------------------------------------------------

int engineChild(int count, double interval, double durationS, bool blockMainThread)
{
    std::mutex mutex;
    std::vector<double> rtts;
    rtts.reserve(size_t(count) * size_t(std::max(1.0, durationS / std::max(interval, 0.1)) + 2));
    qint64 replies = 0, errors = 0, firstRound = 0;
    std::map<int, int> errorKinds;
    std::vector<char> answered(size_t(count), 0);
    QElapsedTimer clock;
    clock.start();
    qint64 lastFirstReplyNs = 0;

    PingConfiguration c;
    c.pingInterval = interval > 0 ? interval : 3600.0;
    c.timeoutInterval = 1.0;
    c.payloadSize = 16;
    std::vector<std::shared_ptr<Pinger>> pingers;
    pingers.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        auto created = Pinger::createForAddress(address(i), c);
        if (!created) {
            std::fprintf(stderr, "cannot create a pinger: %s\n",
                         qPrintable(created.error().description()));
            return 3;
        }
        auto& p = created.value();
        p->setResponseHistoryLimit(0);
        p->setObserver([&, i](const PingResponse& r) {
            std::lock_guard lock(mutex);
            if (r.error) {
                ++errors;
                errorKinds[r.error->code()]++;
            } else {
                ++replies;
                rtts.push_back(r.duration);
            }
            if (!answered[size_t(i)]) {
                answered[size_t(i)] = 1;
                ++firstRound;
                lastFirstReplyNs = clock.nsecsElapsed();
                if (interval <= 0 && firstRound == count)
                    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            }
        });
        pingers.push_back(p);
    }
    const qint64 startNs = clock.nsecsElapsed();
    for (auto& p : pingers) {
        if (const auto started = p->start(); !started) {
            std::fprintf(stderr, "cannot start a pinger: %s\n",
                         qPrintable(started.error().description()));
            return 3;
        }
    }

    QTimer blocker;
    if (blockMainThread) {
        // A GUI thread painting: busy for 30 ms of every 33 ms.
        QObject::connect(&blocker, &QTimer::timeout, [] { QThread::msleep(30); });
        blocker.start(3);
    }
    QTimer::singleShot(int((interval > 0 ? durationS : 3.0) * 1000), qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    for (auto& p : pingers)
        p->stop(true);
    std::lock_guard lock(mutex);
    PingEngine* engine = PingEngine::instance();
    std::printf("socket=%d\nreplies=%lld\nerrors=%lld\nfirst_round=%lld\n"
                "round_ms=%.3f\nrtt_median_us=%.2f\nrtt_p99_us=%.2f\nkernel_drops=%llu\n"
                "rcvbuf=%d\n",
                int(engine->socketKind()), replies, errors, firstRound,
                double(lastFirstReplyNs - startNs) / 1e6, percentile(rtts, 0.5) * 1e6,
                percentile(rtts, 0.99) * 1e6,
                static_cast<unsigned long long>(engine->kernelDrops()),
                engine->receiveBufferBytes());
    for (const auto& [code, n] : errorKinds)
        std::printf("error_%s=%d\n", qPrintable(PingError::caseName(PingError::Case(code))), n);
    return 0;
}

// ----- the parent: scenarios and the fping peer ----------------------------------------------

QString g_self;

QString writeTargets(int count)
{
    const QString path = QDir::tempPath() + u"/velmora-bench-targets-%1.txt"_s.arg(count);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (int i = 0; i < count; ++i)
        f.write((address(i) + u'\n').toLatin1());
    return path;
}

ChildRun runEngine(int count, double interval, double duration, bool block)
{
    return runChild({g_self.toStdString(), "--engine", std::to_string(count),
                     std::to_string(interval), std::to_string(duration), block ? "1" : "0"});
}

// fping's per-host summary: "127.1.0.1 : xmt/rcv/%loss = 30/30/0%, ..."
qint64 fpingReceived(const QByteArray& err)
{
    qint64 total = 0;
    for (const QByteArray& line : err.split('\n')) {
        const int at = line.indexOf("xmt/rcv/%loss = ");
        if (at < 0)
            continue;
        const QList<QByteArray> parts = line.mid(at + 16).split('/');
        if (parts.size() >= 2)
            total += parts[1].toLongLong();
    }
    return total;
}

std::vector<double> fpingRtts(const QByteArray& out)
{
    // "127.1.0.1 : [3], 64 bytes, 0.045 ms (0.041 avg, 0% loss)"
    std::vector<double> v;
    for (const QByteArray& line : out.split('\n')) {
        const int bytes = line.indexOf(" bytes, ");
        if (bytes < 0)
            continue;
        const int ms = line.indexOf(" ms", bytes + 8);
        if (ms > 0)
            v.push_back(line.mid(bytes + 8, ms - bytes - 8).toDouble() / 1000.0);
    }
    return v;
}

bool haveFping()
{
    return !QStandardPaths::findExecutable(u"fping"_s).isEmpty();
}

double ratio(double ours, double theirs)
{
    return theirs > 0 ? ours / theirs : NAN;
}

void scenarioA()
{
    std::printf("\n== A: one round (wall and CPU) ==\n");
    for (int n : {1000, 5000}) {
        const ChildRun ours = runEngine(n, 0, 0, false);
        const auto kv = keyValues(ours.out);
        std::printf("velmora %5d hosts: answered %5.0f, round %8.1f ms, process wall %8.1f ms, "
                    "CPU %7.1f ms\n",
                    n, kv.count("first_round") ? kv.at("first_round") : 0.0,
                    kv.count("round_ms") ? kv.at("round_ms") : NAN, ours.wallMs, ours.cpuMs);
        if (!haveFping())
            continue;
        const QString targets = writeTargets(n);
        const ChildRun peer =
            runChild({"fping", "-c1", "-t1000", "-i0", "-q", "-f", targets.toStdString()});
        std::printf("fping   %5d hosts: answered %5lld,                 process wall %8.1f ms, "
                    "CPU %7.1f ms\n",
                    n, fpingReceived(peer.err), peer.wallMs, peer.cpuMs);
        std::printf("ratio velmora/fping: wall %.2f, CPU %.2f\n", ratio(ours.wallMs, peer.wallMs),
                    ratio(ours.cpuMs, peer.cpuMs));
    }
}

void loopScenario(const char* title, int n, double seconds, bool block, bool withPeer)
{
    std::printf("\n== %s ==\n", title);
    const ChildRun ours = runEngine(n, 1.0, seconds, block);
    const auto kv = keyValues(ours.out);
    const double replies = kv.count("replies") ? kv.at("replies") : 0;
    const double expected = n * seconds;
    std::printf("velmora: replies %.0f of %.0f expected (%.1f%%), errors %.0f, CPU %.1f ms = "
                "%.2f ms per 1,000 pings, peak RSS %.1f MiB, RTT median %.1f us p99 %.1f us, "
                "kernel drops %.0f, rcvbuf %.0f KiB\n",
                replies, expected, 100.0 * replies / expected,
                kv.count("errors") ? kv.at("errors") : 0.0, ours.cpuMs,
                ours.cpuMs / (replies / 1000.0), ours.maxRssKiB / 1024.0,
                kv.count("rtt_median_us") ? kv.at("rtt_median_us") : NAN,
                kv.count("rtt_p99_us") ? kv.at("rtt_p99_us") : NAN,
                kv.count("kernel_drops") ? kv.at("kernel_drops") : NAN,
                kv.count("rcvbuf") ? kv.at("rcvbuf") / 1024.0 : NAN);
    if (!withPeer || !haveFping())
        return;
    const QString targets = writeTargets(n);
    std::vector<std::string> argv = {"fping", "-l", "-p1000", "-i0", "-f", targets.toStdString()};
    if (!block)
        argv.insert(argv.begin() + 1, "-q");
    // fping -l runs until interrupted.
    const ChildRun peer = runChild(argv, int(seconds * 1000));
    const qint64 peerReplies = fpingReceived(peer.err);
    const std::vector<double> rtts = fpingRtts(peer.out);
    std::printf("fping:   replies %lld of %.0f expected (%.1f%%), CPU %.1f ms = %.2f ms per 1,000 "
                "pings, peak RSS %.1f MiB",
                peerReplies, expected, 100.0 * double(peerReplies) / expected, peer.cpuMs,
                peer.cpuMs / (double(peerReplies) / 1000.0), peer.maxRssKiB / 1024.0);
    if (!rtts.empty())
        std::printf(", RTT median %.1f us p99 %.1f us", percentile(rtts, 0.5) * 1e6,
                    percentile(rtts, 0.99) * 1e6);
    std::printf("\n");
    const double oursPer1000 = ours.cpuMs / (replies / 1000.0);
    const double peerPer1000 = peer.cpuMs / (double(peerReplies) / 1000.0);
    std::printf("ratio velmora/fping: CPU per 1,000 pings %.2f, peak RSS %.2f",
                ratio(oursPer1000, peerPer1000), ratio(ours.maxRssKiB, peer.maxRssKiB));
    if (!rtts.empty() && kv.count("rtt_median_us"))
        std::printf(", RTT median %.2f, RTT p99 %.2f",
                    ratio(kv.at("rtt_median_us"), percentile(rtts, 0.5) * 1e6),
                    ratio(kv.at("rtt_p99_us"), percentile(rtts, 0.99) * 1e6));
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 6 && std::string(argv[1]) == "--engine") {
        QCoreApplication app(argc, argv);
        return engineChild(std::atoi(argv[2]), std::atof(argv[3]), std::atof(argv[4]),
                           std::string(argv[5]) == "1");
    }
    QCoreApplication app(argc, argv);
    g_self = QCoreApplication::applicationFilePath();
    if (!PingEngine::instance()->ensureSocket()) {
        std::printf("No ICMP socket: %s\n", qPrintable(PingEngine::instance()->socketError()));
        return 3;
    }
    std::printf("ICMP socket: %s; fping %s\n",
                qPrintable(PingEngine::socketKindName(PingEngine::instance()->socketKind())),
                haveFping() ? "found" : "not found (no peer figures)");
    QStringList wanted = app.arguments().mid(1);
    if (wanted.isEmpty())
        wanted = {u"A"_s, u"B"_s, u"C"_s, u"D"_s};
    for (const QString& w : std::as_const(wanted)) {
        if (w == u"A"_s)
            scenarioA();
        else if (w == u"B"_s)
            loopScenario("B: 1,000 hosts every 1 s for 30 s", 1000, 30, false, true);
        else if (w == u"C"_s)
            loopScenario("C: as B, main thread blocked 30 ms of every 33 ms", 1000, 30, true, true);
        else if (w == u"D"_s)
            loopScenario("D: 10,000 hosts every 1 s for 20 s", 10000, 20, false, false);
        std::fflush(stdout);
    }
    return 0;
}
