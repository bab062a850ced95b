// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/netns.h"

#include <QDir>
#include <QStandardPaths>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace velmora::test {

namespace {

const QString ip = QStringLiteral("ip");

ProcessResult runIp(const QStringList& arguments)
{
    return runProgram(ip, arguments, {.timeoutMs = 20000});
}

// Deletes "<prefix>-<pid>-..." namespaces whose process no longer exists.
void deleteLeftovers(const QString& prefix)
{
    const QStringList names = QDir(QStringLiteral("/run/netns")).entryList(QDir::Files);
    for (const QString& name : names) {
        if (!name.startsWith(prefix + u'-'))
            continue;
        const qint64 pid = name.mid(prefix.size() + 1).section(u'-', 0, 0).toLongLong();
        if (pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            runIp({QStringLiteral("netns"), QStringLiteral("delete"), name});
    }
}

} // namespace

QString NetworkNamespace::unavailableReason()
{
    if (geteuid() != 0)
        return QStringLiteral("needs root to create network namespaces (ip netns add); CI runs "
                              "as root");
    if (QStandardPaths::findExecutable(ip).isEmpty())
        return QStringLiteral("iproute2 is not installed (ip)");
    return {};
}

NetworkNamespace::NetworkNamespace(const QString& prefix)
{
    static std::atomic<int> counter{0};
    if (!unavailableReason().isEmpty())
        return;
    deleteLeftovers(prefix);
    m_name = QStringLiteral("%1-%2-%3").arg(prefix).arg(getpid()).arg(counter++);
    m_valid = runIp({QStringLiteral("netns"), QStringLiteral("add"), m_name}).exitCode == 0 &&
              run({ip, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                   QStringLiteral("up")});
}

NetworkNamespace::~NetworkNamespace()
{
    if (!m_name.isEmpty())
        runIp({QStringLiteral("netns"), QStringLiteral("delete"), m_name});
}

bool NetworkNamespace::enter() const
{
    const int fd = open(QStringLiteral("/run/netns/%1").arg(m_name).toLocal8Bit().constData(),
                        O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool entered = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    return entered;
}

QStringList NetworkNamespace::execPrefix() const
{
    return {ip, QStringLiteral("netns"), QStringLiteral("exec"), m_name};
}

ProcessResult NetworkNamespace::exec(const QStringList& command, const RunOptions& options) const
{
    RunOptions inside = options;
    inside.prefix = execPrefix() + options.prefix;
    return runProgram(command.first(), command.mid(1), inside);
}

bool NetworkNamespace::useOnlyHosts(const QStringList& addresses) const
{
    if (!run({ip, QStringLiteral("addr"), QStringLiteral("del"), QStringLiteral("127.0.0.1/8"),
              QStringLiteral("dev"), QStringLiteral("lo")}))
        return false;
    for (const QString& address : addresses) {
        if (!addHost(address))
            return false;
    }
    return true;
}

bool NetworkNamespace::addHost(const QString& address) const
{
    return run({ip, QStringLiteral("addr"), QStringLiteral("add"), address + QStringLiteral("/32"),
                QStringLiteral("dev"), QStringLiteral("lo")});
}

bool NetworkNamespace::removeHost(const QString& address) const
{
    return run({ip, QStringLiteral("addr"), QStringLiteral("del"), address + QStringLiteral("/32"),
                QStringLiteral("dev"), QStringLiteral("lo")});
}

bool NetworkNamespace::setPingGroupRange(const QString& range) const
{
    return run({QStringLiteral("sysctl"), QStringLiteral("-qw"),
                QStringLiteral("net.ipv4.ping_group_range=%1").arg(range)});
}

} // namespace velmora::test
