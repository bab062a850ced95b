// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/dbus_fixture.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {

namespace {

int waitForExit(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

PrivateBus::~PrivateBus()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitForExit(m_pid);
    }
}

QString PrivateBus::start(const QString& folder, bool exportAddress)
{
    const QString configPath = QDir(folder).filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write %1").arg(configPath);
    config.write(
        QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                       "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                       "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                       "<auth>EXTERNAL</auth><policy context=\"default\">"
                       "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
            .arg(folder)
            .toUtf8());
    config.close();

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return QStringLiteral("cannot create a pipe");
    const QByteArray configArgument = "--config-file=" + QFile::encodeName(configPath);
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        // The daemon ends with the test process however that ends, even when killed outright.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        dup2(pipeEnds[1], 1);
        execlp("dbus-daemon", "dbus-daemon", configArgument.constData(), "--nofork",
               "--print-address=1", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    if (m_pid < 0) {
        close(pipeEnds[0]);
        return QStringLiteral("cannot start a process for dbus-daemon");
    }
    QByteArray address;
    char c = 0;
    pollfd readable = {pipeEnds[0], POLLIN, 0};
    while (poll(&readable, 1, 5000) > 0 && read(pipeEnds[0], &c, 1) == 1 && c != '\n')
        address += c;
    close(pipeEnds[0]);
    if (address.isEmpty()) {
        kill(m_pid, SIGTERM);
        const int code = waitForExit(m_pid);
        m_pid = -1;
        return code == 127 ? QStringLiteral("dbus-daemon is not installed (package dbus-daemon)")
                           : QStringLiteral("dbus-daemon printed no address within 5 s");
    }
    m_address = QString::fromUtf8(address);
    if (exportAddress)
        setenv("DBUS_SESSION_BUS_ADDRESS", address.constData(), 1);
    return {};
}

QDBusConnection PrivateBus::connect(const QString& connectionName) const
{
    return QDBusConnection::connectToBus(m_address, connectionName);
}

bool FakeNotificationServer::serve(QDBusConnection connection)
{
    return connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                     QDBusConnection::ExportAllSlots) &&
           connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint FakeNotificationServer::Notify(const QString& appName, uint replacesId, const QString& appIcon,
                                    const QString& summary, const QString& body,
                                    const QStringList& actions, const QVariantMap& hints,
                                    int expireTimeout)
{
    calls.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
    return uint(calls.size()) + 40;
}

QString FakeNotificationServer::GetServerInformation(QString& vendor, QString& version,
                                                     QString& specVersion)
{
    ++serverInformationCalls;
    vendor = QStringLiteral("Velmora tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake-notifications");
}

} // namespace velmora::test
