// SPDX-License-Identifier: GPL-3.0-or-later
// CPU cost of an idle application window in live mode: the real velmora executable opens a
// project with --live under Xvfb (1600 x 1000) or the offscreen platform, pings its nodes on
// loopback, and is left alone. After a warm-up (splash, framing, first statuses) the process's
// CPU time is read from /proc/<pid>/stat over the measured seconds, and printed as a share of
// one core, with the X server's share beside it under Xvfb.
//
// Projects: a copy of the demo and generated networks of 1,000 and 5,000 nodes with as many
// cables, all framed at open. Every node address is rewritten to 127.1.x.y before the copy is
// written, and checked to be loopback after: nothing but loopback is ever pinged.
//
// Usage: bench_live_app [--seconds 30] [--warmup 8] [--offscreen] [--only demo|1000|5000]
//                       [--velmora PATH]...   (several: each binary measured in the same run)
// Needs root (raw ICMP) or datagram ICMP sockets allowed, as live mode itself does.

#include "model/project_codec.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <unistd.h>

using namespace velmora;
using namespace Qt::StringLiterals;

namespace {

QString loopbackAddress(int i)
{
    return u"127.1.%1.%2"_s.arg(i / 250).arg(i % 250 + 1);
}

// Plain dotted quads 127.a.b.c with no leading zeros: nothing that could parse as another host.
bool allLoopback(const ProjectData& project)
{
    static const QRegularExpression loopback(
        u"^127(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}$"_s);
    return std::all_of(project.nodes.cbegin(), project.nodes.cend(),
                       [](const NodeData& node) { return loopback.match(node.ip).hasMatch(); });
}

ProjectData generatedNetwork(int count)
{
    static const QString types[] = {u"Router"_s, u"Switch"_s, u"Access Point"_s, u"Server"_s,
                                    u"Printer"_s};
    ProjectData project{.projectName = u"Generated %1"_s.arg(count)};
    const int columns = static_cast<int>(std::ceil(std::sqrt(count * 1.6)));
    for (int i = 0; i < count; ++i)
        project.nodes.append(NodeData{.id = i + 1,
                                      .name = u"Node %1"_s.arg(i + 1),
                                      .type = types[i % 5],
                                      .x = (i % columns) * 260.0,
                                      .y = (i / columns) * 160.0});
    for (int i = 0; i < count; ++i) {
        const NodeData& a = project.nodes.at(i);
        const NodeData& b = project.nodes.at((i + 1) % count);
        CableData cable{.id = i + 1};
        cable.points = {
            CablePointData{.type = cablePointTypeNode, .nodeId = a.id},
            CablePointData{
                .type = cablePointTypeFree, .x = (a.x + b.x) / 2 + 200, .y = (a.y + b.y) / 2 + 40},
            CablePointData{.type = cablePointTypeNode, .nodeId = b.id, .anchorAngle = M_PI}};
        project.cables.append(cable);
    }
    project.nextNodeId = count + 1;
    project.nextCableId = count + 1;
    return project; // view at zoom 1 and pan (0, 0): the window frames it when shown
}

// utime + stime of a process, in seconds; -1 when it is gone.
double cpuSeconds(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name (which may hold blanks) start after the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / ticks;
}

struct Options {
    int seconds = 30;
    int warmup = 8;
    bool offscreen = false;
    QString only;
    QStringList binaries;
};

struct Share {
    double app = -1;    // % of one core
    double server = -1; // the X server's, -1 without one
};

Share measure(const Options& options, const QString& binary, const QString& projectFile,
              const QProcessEnvironment& baseEnv, qint64 serverPid)
{
    QTemporaryDir config; // a fresh settings folder: no recent files, default options
    QProcessEnvironment env = baseEnv;
    env.insert(u"XDG_CONFIG_HOME"_s, config.path());
    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(binary, {u"--live"_s, projectFile});
    if (!app.waitForStarted())
        return {};
    QThread::sleep(options.warmup);
    const qint64 pid = app.processId();
    const double appStart = cpuSeconds(pid);
    const double serverStart = serverPid > 0 ? cpuSeconds(serverPid) : -1;
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(options.seconds);
    const double appEnd = cpuSeconds(pid);
    const double serverEnd = serverPid > 0 ? cpuSeconds(serverPid) : -1;
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    app.kill();
    app.waitForFinished();
    Share share;
    if (appStart >= 0 && appEnd >= 0)
        share.app = (appEnd - appStart) / elapsed * 100.0;
    if (serverStart >= 0 && serverEnd >= 0)
        share.server = (serverEnd - serverStart) / elapsed * 100.0;
    return share;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // Live mode records history; into a file of this run, not the user's own history.
    const QTemporaryDir historyDir;
    if (!qEnvironmentVariableIsSet("VELMORA_HISTORY_DB"))
        qputenv("VELMORA_HISTORY_DB", historyDir.filePath(u"history.sqlite"_s).toLocal8Bit());
    QTextStream out(stdout);
    Options options;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        const QString next = i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        if (a == u"--offscreen"_s) {
            options.offscreen = true;
            continue;
        }
        if (a == u"--seconds"_s)
            options.seconds = std::max(1, next.toInt());
        else if (a == u"--warmup"_s)
            options.warmup = std::max(0, next.toInt());
        else if (a == u"--only"_s)
            options.only = next;
        else if (a == u"--velmora"_s)
            options.binaries.append(next);
        ++i;
    }
    if (options.binaries.isEmpty())
        options.binaries.append(QStringLiteral(VELMORA_PROGRAM_VELMORA));

    QTemporaryDir dir;
    QList<std::pair<QString, QString>> projects; // label, file
    {
        QFile demo(QStringLiteral(VELMORA_SOURCE_DIR "/examples/demo.velmora"));
        if (!demo.open(QIODevice::ReadOnly))
            return 1;
        Expected<ProjectData> decoded = decodeProject(demo.readAll());
        if (!decoded) {
            out << "cannot read the demo project: " << decoded.error().message << '\n';
            return 1;
        }
        QList<std::pair<QString, ProjectData>> sources{{u"demo"_s, *decoded},
                                                       {u"1000"_s, generatedNetwork(1000)},
                                                       {u"5000"_s, generatedNetwork(5000)}};
        for (auto& [label, project] : sources) {
            if (!options.only.isEmpty() && options.only != label)
                continue;
            for (qsizetype i = 0; i < project.nodes.size(); ++i)
                project.nodes[i].ip = loopbackAddress(static_cast<int>(i));
            if (!allLoopback(project)) {
                out << "refusing to run: an address of " << label << " is not loopback\n";
                return 1;
            }
            const QString file = dir.filePath(label + u".velmora"_s);
            QFile written(file);
            if (!written.open(QIODevice::WriteOnly) || written.write(*encodeProject(project)) < 0)
                return 1;
            projects.append({label, file});
        }
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s); // no desktop notifications from a benchmark
    QProcess server;
    const QString xvfb = QStandardPaths::findExecutable(u"Xvfb"_s);
    if (options.offscreen || xvfb.isEmpty()) {
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    } else {
        const QString display = u":%1"_s.arg(90 + getpid() % 100);
        server.start(xvfb,
                     {display, u"-screen"_s, u"0"_s, u"1600x1000x24"_s, u"-nolisten"_s, u"tcp"_s});
        if (!server.waitForStarted())
            return 1;
        QThread::sleep(1);
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        env.insert(u"DISPLAY"_s, display);
    }
    const qint64 serverPid = server.state() == QProcess::Running ? server.processId() : 0;

    out << "idle live window, " << (serverPid ? "Xvfb 1600x1000" : "offscreen platform") << ", "
        << options.seconds << " s after " << options.warmup << " s warm-up: CPU % of one core (app"
        << (serverPid ? " + X server" : "") << ")\n";
    out.flush();
    for (const auto& [label, file] : projects) {
        out << qSetFieldWidth(8) << label << qSetFieldWidth(0);
        for (const QString& binary : std::as_const(options.binaries)) {
            const Share share = measure(options, binary, file, env, serverPid);
            out << "  " << QString::number(share.app, 'f', 1);
            if (serverPid)
                out << " + " << QString::number(share.server, 'f', 1);
            out << "  (" << QFileInfo(binary).absoluteFilePath() << ")";
        }
        out << '\n';
        out.flush();
    }
    if (serverPid) {
        server.terminate();
        server.waitForFinished();
    }
    return 0;
}
