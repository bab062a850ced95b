// SPDX-License-Identifier: GPL-3.0-or-later
// History benchmark.
//   A  a simulated day of 1,000 and of 10,000 addresses pinged every second: one transaction a
//      minute through the store (injected clock), write time per minute and database growth
//   B  velmora-cli monitor on 1,000 loopback addresses every 1 s for 125 s, with and without
//      recording: the extra CPU recording costs, as a share of the monitor's own CPU
// Usage: bench_history [A|B ...] [--minutes N] (all, 1,440 minutes by default). B needs root
// (raw ICMP) or datagram ICMP sockets allowed. CPU time comes from wait4() of the child.

#include "history/history_store.h"

#include "model/project_codec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size() + QFileInfo(path + u"-wal"_s).size();
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void simulatedDay(int addresses, int minutes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"h.sqlite"_s);
    qint64 now = 20'000LL * 86'400'000;
    auto store = HistoryStore::openForWriting(path, [&] { return now; });
    if (!store) {
        std::printf("A: %s\n", qPrintable(store.error().message));
        return;
    }
    QRandomGenerator random(7);
    QStringList names;
    for (int i = 0; i < addresses; ++i)
        names.append(u"10.%1.%2.%3"_s.arg(i >> 16).arg((i >> 8) & 255).arg(i & 255));
    QList<double> times;
    double cpuMs = 0;
    for (int m = 0; m < minutes; ++m) {
        QHash<QString, QList<LatencyAggregate>> batch;
        QHash<QString, QList<StateChange>> changes;
        for (const QString& name : std::as_const(names)) {
            const double base = 0.2 + random.bounded(20.0);
            const int replies = random.bounded(100) < 2 ? 55 : 60;
            batch.insert(name,
                         {{now / 60'000, 60, replies, base, base * 1.1, base * 3, base, base * 2}});
            if (replies < 60)
                changes.insert(name, {{now, HostState::down}, {now + 5'000, HostState::up}});
        }
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = threadCpuMs();
        if (const Expected<void> written = (*store)->write(batch, changes); !written) {
            std::printf("A: %s\n", qPrintable(written.error().message));
            return;
        }
        times.append(double(timer.nsecsElapsed()) / 1e6);
        cpuMs += threadCpuMs() - cpuBefore;
        now += 60'000;
    }
    std::sort(times.begin(), times.end());
    double total = 0;
    for (double t : std::as_const(times))
        total += t;
    const double mb = double(QFileInfo(path).size()) / 1e6;
    std::printf("A  %5d addresses, %4d minutes: write CPU %.1f ms/minute; wall %.1f ms/minute "
                "(median %.1f, max %.1f); database %.1f MB + log %.1f MB (%.1f MB per day)\n",
                addresses, minutes, cpuMs / minutes, total / minutes, times[times.size() / 2],
                times.last(), mb, double(QFileInfo(path + u"-wal"_s).size()) / 1e6,
                mb * 1440 / minutes);
    std::fflush(stdout);
}

// CPU seconds (user + system) of one velmora-cli run.
double cliCpu(const QStringList& arguments)
{
    std::vector<QByteArray> bytes;
    bytes.push_back(QByteArrayLiteral(VELMORA_PROGRAM_VELMORA_CLI));
    for (const QString& a : arguments)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return -1;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void monitorCost()
{
    QTemporaryDir dir;
    ProjectData project;
    for (int i = 0; i < 1000; ++i) {
        NodeData node;
        node.id = i + 1;
        node.name = u"N%1"_s.arg(i);
        node.ip = u"127.3.%1.%2"_s.arg(i / 250).arg(i % 250 + 1);
        project.nodes.append(node);
    }
    const QString file = dir.filePath(u"p.velmora"_s);
    QSaveFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(encodeProject(project).value());
    out.commit();
    const QStringList common{u"monitor"_s,    file,    u"--interval"_s, u"1"_s,
                             u"--duration"_s, u"125"_s};
    const double without = cliCpu(common + QStringList{u"--no-history"_s});
    const QString db = dir.filePath(u"h.sqlite"_s);
    const double with = cliCpu(common + QStringList{u"--history-db"_s, db});
    std::printf("B  1000 addresses, 1 s, 125 s: monitor CPU %.2f s without history, %.2f s "
                "with; recording adds %.2f s (%.1f%% of the monitor's own CPU); database "
                "%.2f MB\n",
                without, with, with - without, 100.0 * (with - without) / without,
                double(fileSize(db)) / 1e6);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList parts = app.arguments().mid(1);
    int minutes = 1440;
    if (const qsizetype at = parts.indexOf(u"--minutes"_s); at >= 0 && at + 1 < parts.size()) {
        minutes = std::max(1, parts.at(at + 1).toInt());
        parts.remove(at, 2);
    }
    if (parts.isEmpty())
        parts = {u"A"_s, u"B"_s};
    if (parts.contains(u"A"_s)) {
        simulatedDay(1000, minutes);
        simulatedDay(10000, minutes);
    }
    if (parts.contains(u"B"_s))
        monitorCost();
    return 0;
}
