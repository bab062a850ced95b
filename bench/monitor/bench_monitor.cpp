// SPDX-License-Identifier: GPL-3.0-or-later
// Live-monitoring benchmark on loopback (127.1.x.y), against `fping -l` on the same addresses
// in the same run. Every side runs as a child process, so CPU time and peak RSS come from
// wait4() for all alike.
//   P  1,000 hosts every 1 s for 30 s: the velmora-cli monitor process, the ping manager as the
//      application drives it, and fping; CPU per 1,000 pings, lost replies, peak RSS, ratios
//   Q  as P with 10,000 hosts
//   C  1,000 bare pingers every 1 s for 30 s while the main thread is blocked 30 ms of every
//      33 ms: RTT median and p99 against fping's
//   F  (opt-in) velmora-cli monitor on 1,000 hosts for 10 minutes: resident size after the
//      first minute against the end
// Usage: bench_monitor [P|Q|C|F ...] [--seconds S] (P, Q and C by default; S overrides each
// scenario's length). Needs root (raw ICMP) or datagram ICMP sockets allowed, and fping for the
// peer figures.

#include "model/project_codec.h"
#include "monitor/ping_engine.h"
#include "monitor/ping_manager.h"
#include "monitor/pinger.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
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

long statusKiB(pid_t pid, const QByteArray& field)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').constFirst().toLong();
    }
    return -1;
}

// Runs argv, interrupting it after `stopAfter` seconds when that is not negative; `sample` is
// called about every 50 ms while it runs. Peak RSS is the child's own VmHWM, read while it runs:
// wait4() would also count the memory of the parent it was spawned from.
ChildRun runChild(const std::vector<std::string>& argv, double stopAfter = -1,
                  const std::function<void(pid_t, double)>& sample = {})
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
    int status = 0;
    rusage usage{};
    bool interrupted = false;
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        const double elapsed = double(clock.nsecsElapsed()) / 1e9;
        run.maxRssKiB = std::max(run.maxRssKiB, statusKiB(pid, "VmHWM:"));
        if (sample)
            sample(pid, elapsed);
        if (stopAfter >= 0 && elapsed >= stopAfter && !interrupted) {
            kill(pid, SIGINT);
            interrupted = true;
        }
        QThread::msleep(50);
    }
    run.wallMs = double(clock.nsecsElapsed()) / 1e6;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = outFile.readAll();
    run.err = errFile.readAll();
    return run;
}

// "key=value" lines, also inside log lines such as "velmora.cli.monitor: requests=... ".
std::map<std::string, double> keyValues(const QByteArray& text)
{
    std::map<std::string, double> values;
    for (const QByteArray& word : text.simplified().split(' ')) {
        const int eq = word.indexOf('=');
        if (eq > 0)
            values[word.left(eq).toStdString()] = word.mid(eq + 1).toDouble();
    }
    return values;
}

double value(const std::map<std::string, double>& kv, const char* key)
{
    const auto it = kv.find(key);
    return it == kv.end() ? NAN : it->second;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(std::ceil(p * double(v.size())) - 1));
    return v[i];
}

double ratio(double ours, double theirs)
{
    return theirs > 0 ? ours / theirs : NAN;
}

// ----- children -------------------------------------------------------------------------------

QList<Node> loopbackNodes(int count)
{
    QList<Node> nodes;
    nodes.reserve(count);
    for (int i = 0; i < count; ++i)
        nodes.append(Node{.id = i + 1, .name = u"Host %1"_s.arg(i + 1), .ip = address(i)});
    return nodes;
}

// The ping manager as the application drives it: a copy of the statuses kept by the canvas, a
// chain of cables whose status is derived at each publication, the counts the live pane shows.
int managerChild(int count, double interval, double seconds)
{
    PingManager manager;
    manager.setPingInterval(interval);
    QList<QList<CablePoint>> cables;
    for (int i = 1; i < count; ++i)
        cables.append({CablePoint{.type = cablePointTypeNode, .nodeId = i},
                       CablePoint{.type = cablePointTypeNode, .nodeId = i + 1}});
    QHash<qint64, PingStatus> canvasCopy;
    qint64 publications = 0, onlineCables = 0;
    QObject::connect(&manager, &PingManager::published, &manager, [&] {
        ++publications;
        canvasCopy = manager.nodeStatuses();
        for (qsizetype i = 0; i < cables.size(); ++i)
            onlineCables += manager.cableStatus(i + 1, cables.at(i)) == PingStatus::online;
    });
    manager.startMonitoring(loopbackNodes(count));
    QTimer::singleShot(int(seconds * 1000), qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    manager.stopMonitoring();
    std::printf("requests=%lld failed=%lld publications=%lld online_cables=%lld\n",
                manager.totalPingsReceived(), manager.totalPingsFailed(), publications,
                onlineCables);
    return 0;
}

// Bare pingers with an observer that only records round trips (the engine's own accuracy).
int engineChild(int count, double interval, double seconds)
{
    std::mutex mutex;
    std::vector<double> rtts;
    qint64 replies = 0, errors = 0;
    PingConfiguration c;
    c.pingInterval = interval;
    c.timeoutInterval = 1.0;
    std::vector<std::shared_ptr<Pinger>> pingers;
    for (int i = 0; i < count; ++i) {
        auto created = Pinger::createForAddress(address(i), c);
        if (!created)
            return 3;
        created.value()->setResponseHistoryLimit(0);
        created.value()->setObserver([&](const PingResponse& r) {
            std::lock_guard lock(mutex);
            if (r.error) {
                ++errors;
            } else {
                ++replies;
                rtts.push_back(r.duration);
            }
        });
        pingers.push_back(created.value());
    }
    for (auto& p : pingers) {
        if (!p->start())
            return 3;
    }
    QTimer blocker; // a GUI thread painting: busy for 30 ms of every 33 ms
    QObject::connect(&blocker, &QTimer::timeout, [] { QThread::msleep(30); });
    blocker.start(3);
    QTimer::singleShot(int(seconds * 1000), qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    for (auto& p : pingers)
        p->stop(true);
    std::lock_guard lock(mutex);
    std::printf("replies=%lld errors=%lld rtt_median_us=%.2f rtt_p99_us=%.2f\n", replies, errors,
                percentile(rtts, 0.5) * 1e6, percentile(rtts, 0.99) * 1e6);
    return 0;
}

// ----- the parent -----------------------------------------------------------------------------

QString g_self;
double g_seconds = 0; // overrides the scenarios' lengths when set

QString writeTargets(int count)
{
    const QString path = QDir::tempPath() + u"/velmora-bench-targets-%1.txt"_s.arg(count);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (int i = 0; i < count; ++i)
        f.write((address(i) + u'\n').toLatin1());
    return path;
}

QString writeProject(int count)
{
    ProjectData project;
    for (const Node& n : loopbackNodes(count))
        project.nodes.append(NodeData{.id = n.id, .name = n.name, .ip = n.ip});
    project.nextNodeId = count + 1;
    const QString path = QDir::tempPath() + u"/velmora-bench-%1.velmora"_s.arg(count);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(encodeProject(project).value());
    return path;
}

std::vector<std::string> cliMonitor(int count, std::optional<double> seconds)
{
    std::vector<std::string> argv = {VELMORA_PROGRAM_VELMORA_CLI, "monitor",
                                     writeProject(count).toStdString(), "--interval", "1"};
    if (seconds) {
        argv.push_back("--duration");
        argv.push_back(std::to_string(*seconds));
    }
    return argv;
}

// fping's per-host summaries: "127.1.0.1 : xmt/rcv/%loss = 30/30/0%, ..."
std::pair<qint64, qint64> fpingSentReceived(const QByteArray& err)
{
    qint64 sent = 0, received = 0;
    for (const QByteArray& line : err.split('\n')) {
        const int at = line.indexOf("xmt/rcv/%loss = ");
        if (at < 0)
            continue;
        const QList<QByteArray> parts = line.mid(at + 16).split('/');
        if (parts.size() >= 2) {
            sent += parts[0].toLongLong();
            received += parts[1].toLongLong();
        }
    }
    return {sent, received};
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

ChildRun runFping(int count, double seconds, bool quiet)
{
    std::vector<std::string> argv = {"fping", "-l", "-p1000",
                                     "-i0",   "-f", writeTargets(count).toStdString()};
    // -q does not silence -l's line per reply; a summary period longer than the run does.
    if (quiet)
        argv.insert(argv.begin() + 1, {"-Q", "86400"});
    return runChild(argv, seconds); // fping -l runs until interrupted
}

struct Figures {
    double requests = 0, replies = 0, cpuMs = 0, rssMiB = 0;
    double perThousand() const { return cpuMs / (requests / 1000.0); }
};

void printFigures(const char* who, const Figures& f, const Figures& peer)
{
    std::printf("%-8s requests %7.0f, replies %7.0f, lost %5.0f, CPU %8.1f ms = %6.2f ms per "
                "1,000 pings (ratio %.2f), peak RSS %6.1f MiB (ratio %.2f)\n",
                who, f.requests, f.replies, f.requests - f.replies, f.cpuMs, f.perThousand(),
                ratio(f.perThousand(), peer.perThousand()), f.rssMiB, ratio(f.rssMiB, peer.rssMiB));
}

void productPath(int count, double seconds)
{
    std::printf("\n== %d hosts every 1 s for %.0f s: CLI process, manager, fping -l ==\n", count,
                seconds);
    Figures fping;
    if (haveFping()) {
        // fping's 16-bit sequence space runs out after 65,536 requests in flight: at 10,000
        // hosts it gives up after about 6 s, so it is measured for 5 s there.
        const double peerSeconds = count >= 10000 ? std::min(seconds, 5.0) : seconds;
        if (peerSeconds < seconds)
            std::printf("(fping measured over %.0f s: it stops after 65,536 requests)\n",
                        peerSeconds);
        const ChildRun peer = runFping(count, peerSeconds, true);
        const auto [sent, received] = fpingSentReceived(peer.err);
        fping = {double(sent), double(received), peer.cpuMs, peer.maxRssKiB / 1024.0};
    }
    const ChildRun cli = runChild(cliMonitor(count, seconds));
    const auto c = keyValues(cli.err);
    const Figures cliFigures{value(c, "requests"), value(c, "requests") - value(c, "failed"),
                             cli.cpuMs, cli.maxRssKiB / 1024.0};
    const ChildRun manager = runChild(
        {g_self.toStdString(), "--manager", std::to_string(count), "1", std::to_string(seconds)});
    const auto m = keyValues(manager.out);
    const Figures managerFigures{value(m, "requests"), value(m, "requests") - value(m, "failed"),
                                 manager.cpuMs, manager.maxRssKiB / 1024.0};
    printFigures("CLI", cliFigures, fping);
    printFigures("manager", managerFigures, fping);
    if (haveFping())
        printFigures("fping", fping, fping);
}

void roundTrips(double seconds)
{
    std::printf("\n== 1,000 bare pingers every 1 s for %.0f s, main thread blocked 30 of 33 ms "
                "==\n",
                seconds);
    const ChildRun ours =
        runChild({g_self.toStdString(), "--engine", "1000", "1", std::to_string(seconds)});
    const auto kv = keyValues(ours.out);
    std::printf("velmora: replies %.0f, errors %.0f, RTT median %.1f us p99 %.1f us\n",
                value(kv, "replies"), value(kv, "errors"), value(kv, "rtt_median_us"),
                value(kv, "rtt_p99_us"));
    if (!haveFping())
        return;
    const std::vector<double> rtts = fpingRtts(runFping(1000, seconds, false).out);
    std::printf("fping:   RTT median %.1f us p99 %.1f us; ratio median %.2f, p99 %.2f\n",
                percentile(rtts, 0.5) * 1e6, percentile(rtts, 0.99) * 1e6,
                ratio(value(kv, "rtt_median_us"), percentile(rtts, 0.5) * 1e6),
                ratio(value(kv, "rtt_p99_us"), percentile(rtts, 0.99) * 1e6));
}

void flatMemory(double seconds)
{
    std::printf("\n== velmora-cli monitor, 1,000 hosts every 1 s for %.0f s: resident size ==\n",
                seconds);
    long afterMinute = -1, atEnd = -1;
    const double first = std::min(60.0, seconds / 2);
    const ChildRun run =
        runChild(cliMonitor(1000, std::nullopt), seconds, [&](pid_t pid, double elapsed) {
            if (elapsed >= seconds)
                return; // interrupted: shutting down
            const long resident = statusKiB(pid, "VmRSS:");
            if (elapsed < first || afterMinute < 0)
                afterMinute = resident;
            atEnd = resident;
        });
    std::printf("RSS after %.0f s %.1f MiB, at the end %.1f MiB: growth %+.1f%% (aim within "
                "10%%); peak %.1f MiB, CPU %.1f ms\n",
                first, afterMinute / 1024.0, atEnd / 1024.0,
                100.0 * (double(atEnd) / double(afterMinute) - 1.0), run.maxRssKiB / 1024.0,
                run.cpuMs);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == u"--manager"_s)
        return managerChild(args.at(2).toInt(), args.at(3).toDouble(), args.at(4).toDouble());
    if (args.size() == 5 && args.at(1) == u"--engine"_s)
        return engineChild(args.at(2).toInt(), args.at(3).toDouble(), args.at(4).toDouble());
    g_self = QCoreApplication::applicationFilePath();
    // The CLI records history by default, as users run it; into a file of this run, not the
    // user's own history.
    const QTemporaryDir historyDir;
    if (!qEnvironmentVariableIsSet("VELMORA_HISTORY_DB"))
        qputenv("VELMORA_HISTORY_DB", historyDir.filePath(u"history.sqlite"_s).toLocal8Bit());
    if (!PingEngine::instance()->ensureSocket()) {
        std::printf("No ICMP socket: %s\n", qPrintable(PingEngine::instance()->socketError()));
        return 3;
    }
    std::printf("ICMP socket: %s; fping %s\n",
                qPrintable(PingEngine::socketKindName(PingEngine::instance()->socketKind())),
                haveFping() ? "found" : "not found (no peer figures or ratios)");
    // The CLI prints its request counts at exit under this category.
    qputenv("QT_LOGGING_RULES", "velmora.cli.monitor.info=true");
    QStringList wanted;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == u"--seconds"_s && i + 1 < args.size())
            g_seconds = args.at(++i).toDouble();
        else
            wanted.append(args.at(i));
    }
    if (wanted.isEmpty())
        wanted = {u"P"_s, u"Q"_s, u"C"_s};
    const auto length = [](double standard) { return g_seconds > 0 ? g_seconds : standard; };
    for (const QString& w : std::as_const(wanted)) {
        if (w == u"P"_s)
            productPath(1000, length(30));
        else if (w == u"Q"_s)
            productPath(10000, length(30));
        else if (w == u"C"_s)
            roundTrips(length(30));
        else if (w == u"F"_s)
            flatMemory(length(600));
        std::fflush(stdout);
    }
    return 0;
}
