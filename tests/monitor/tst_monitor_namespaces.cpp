// SPDX-License-Identifier: GPL-3.0-or-later
// Live monitoring against hosts that go down, in network namespaces this test creates. The
// engine is process-wide, so each scenario runs `velmora-cli monitor --json` inside its
// namespace: the namespace's own ping_group_range then decides between the datagram socket, the
// raw socket and the permission error. In each namespace 127.0.0.0/8 gives way to single /32
// addresses; a host "goes down" by ignoring echo requests (it times out) or by losing its
// address.

#include "support/builders.h"
#include "support/files.h"
#include "support/netns.h"

#include "model/project_codec.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

namespace {

const QString cli = QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI);
const QStringList asNobody = {u"setpriv"_s, u"--reuid=nobody"_s, u"--regid=nogroup"_s,
                              u"--clear-groups"_s};
constexpr auto readableByAll =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;

// `velmora-cli monitor --json` inside a namespace, its status lines read as they come.
class Monitor {
public:
    Monitor(const NetworkNamespace& ns, const QString& project, const QStringList& prefix = {},
            const QString& program = cli)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_LOGGING_RULES"_s, u"velmora.monitor.info=true"_s);
        process.setProcessEnvironment(environment);
        process.start(u"ip"_s, ns.execPrefix().mid(1) + prefix +
                                   QStringList{program, u"monitor"_s, project, u"--interval"_s,
                                               u"0.2"_s, u"--duration"_s, u"60"_s, u"--json"_s});
    }
    ~Monitor()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    // Reads lines until one says `ip` is `status` (true) or the time is up (false).
    bool waitFor(const QString& ip, const QString& status, int timeoutMs = 10000)
    {
        for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired();) {
            while (process.canReadLine()) {
                lines.append(QJsonDocument::fromJson(process.readLine()).object());
                if (lines.last().value(u"ip"_s) == ip && lines.last().value(u"status"_s) == status)
                    return true;
            }
            if (process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(100);
        }
        return false;
    }
    // What the engine reported on standard error: the socket kind it opened, or why none.
    QString errors()
    {
        m_errors += QString::fromLocal8Bit(process.readAllStandardError());
        return m_errors;
    }
    QString socketKind()
    {
        return QRegularExpression(u"ICMP socket: (\\w+)"_s).match(errors()).captured(1);
    }
    double lastLatency() const { return lines.last().value(u"latencyMs"_s).toDouble(-1.0); }

    QProcess process;
    QList<QJsonObject> lines;

private:
    QString m_errors;
};

} // namespace

class TestMonitorNamespaces final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_projects = 0;

    // A project with one node per address, readable by any user.
    QString project(const QStringList& addresses)
    {
        QList<NodeData> nodes;
        for (const QString& address : addresses)
            nodes.append({.id = nodes.size() + 1, .name = u"N"_s + address, .ip = address});
        const QString path = m_dir.filePath(u"p%1.velmora"_s.arg(++m_projects));
        if (!writeFile(path, encodeProject(projectWith(nodes)).value()))
            return {};
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther);
        return path;
    }
    // A namespace whose only hosts are `hosts`; ICMP datagram sockets for everyone or no one.
    static std::unique_ptr<NetworkNamespace> space(const QStringList& hosts, bool datagram)
    {
        auto ns = std::make_unique<NetworkNamespace>(u"velmora-mon"_s);
        const bool ready = ns->isValid() && ns->useOnlyHosts(hosts) &&
                           ns->setPingGroupRange(datagram ? u"0 2147483647"_s : u"1 0"_s);
        return ready ? std::move(ns) : nullptr;
    }
    static bool ignoreEchoes(const NetworkNamespace& ns, bool ignore)
    {
        return ns.run(
            {u"sysctl"_s, u"-qw"_s, u"net.ipv4.icmp_echo_ignore_all=%1"_s.arg(ignore ? 1 : 0)});
    }

private slots:
    void initTestCase()
    {
        if (const QString why = NetworkNamespace::unavailableReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
        if (!NetworkNamespace(u"velmora-mon"_s).isValid())
            QSKIP("Network namespaces are not available here (ip netns add failed)");
        QVERIFY(m_dir.isValid());
        QFile::setPermissions(m_dir.path(), readableByAll);
    }

    void hostsGoDownAndComeBack()
    {
        const auto ns = space({u"127.10.0.1"_s, u"127.10.0.3"_s}, true);
        QVERIFY(ns);
        Monitor monitor(*ns, project({u"127.10.0.1"_s, u"127.10.0.2"_s, u"127.10.0.3"_s}));
        QVERIFY(monitor.waitFor(u"127.10.0.1"_s, u"online"_s));
        QVERIFY(monitor.lastLatency() > 0.0);
        QVERIFY(monitor.waitFor(u"127.10.0.3"_s, u"online"_s));
        QCOMPARE(monitor.socketKind(), u"datagram"_s);
        // Without its address the send itself fails at once: offline for a node that answered.
        QVERIFY(ns->removeHost(u"127.10.0.3"_s));
        QVERIFY(monitor.waitFor(u"127.10.0.3"_s, u"offline"_s, 5000));
        QVERIFY(ns->addHost(u"127.10.0.3"_s));
        QVERIFY(monitor.waitFor(u"127.10.0.3"_s, u"online"_s, 5000));
        // Ignoring echo requests makes the host time out (1 s) rather than fail to send.
        QVERIFY(ignoreEchoes(*ns, true));
        QVERIFY(monitor.waitFor(u"127.10.0.1"_s, u"offline"_s));
        QCOMPARE(monitor.lastLatency(), -1.0); // the latency entry is gone
        QVERIFY(ignoreEchoes(*ns, false));
        QVERIFY(monitor.waitFor(u"127.10.0.1"_s, u"online"_s));
        // 127.10.0.2 does not exist: down from the start, so unknown throughout.
        for (const QJsonObject& line : std::as_const(monitor.lines)) {
            QVERIFY(line.contains(u"time"_s) && line.contains(u"name"_s));
            if (line.value(u"ip"_s) == u"127.10.0.2"_s)
                QCOMPARE(line.value(u"status"_s).toString(), u"unknown"_s);
        }
    }

    void rawSocketPath()
    {
        // Datagram sockets refused (the Debian default): root falls back to a raw socket.
        const auto ns = space({u"127.10.0.1"_s}, false);
        QVERIFY(ns);
        Monitor monitor(*ns, project({u"127.10.0.1"_s}));
        QVERIFY(monitor.waitFor(u"127.10.0.1"_s, u"online"_s));
        QCOMPARE(monitor.socketKind(), u"raw"_s);
        QVERIFY(ignoreEchoes(*ns, true));
        QVERIFY(monitor.waitFor(u"127.10.0.1"_s, u"offline"_s));
    }

    void slowAndLateReplies()
    {
        // The kernel answers no echo request; a responder of ours answers after the delay it is
        // told.
        const auto ns = space({u"127.10.0.1"_s}, true);
        QVERIFY(ns && ignoreEchoes(*ns, true));
        QProcess responder;
        responder.start(u"ip"_s,
                        ns->execPrefix().mid(1) +
                            QStringList{QStringLiteral(VELMORA_PROGRAM_VELMORA_ICMP_RESPONDER),
                                        u"127.10.0.1"_s});
        QVERIFY(responder.waitForStarted());
        const auto stopResponder = qScopeGuard([&] {
            responder.closeWriteChannel(); // it ends with its input
            if (!responder.waitForFinished(3000))
                responder.kill();
        });
        Monitor monitor(*ns, project({u"127.10.0.1"_s}));
        // Above 200 ms a reply is slow; after the 1 s timeout it is too late: offline, and its
        // late arrival changes nothing until prompt replies make the host online again.
        const struct {
            int delayMs;
            QString status;
            double minimumMs;
            double maximumMs;
        } steps[] = {{0, u"online"_s, 0.0, 200.0},
                     {350, u"slow"_s, 350.0, 1000.0},
                     {1400, u"offline"_s, -1.0, -1.0},
                     {0, u"online"_s, 0.0, 200.0}};
        for (const auto& step : steps) {
            responder.write(QByteArray::number(step.delayMs) + '\n');
            QVERIFY(responder.waitForBytesWritten(1000));
            QVERIFY2(monitor.waitFor(u"127.10.0.1"_s, step.status), qPrintable(step.status));
            QVERIFY2(monitor.lastLatency() >= step.minimumMs &&
                         monitor.lastLatency() <= step.maximumMs,
                     qPrintable(QString::number(monitor.lastLatency())));
        }
    }

    void unprivilegedUser_data()
    {
        QTest::addColumn<bool>("datagram");
        QTest::newRow("may open datagram sockets") << true;
        QTest::newRow("may open no socket") << false;
    }
    void unprivilegedUser()
    {
        QFETCH(bool, datagram);
        const auto ns = space({u"127.10.0.1"_s}, datagram);
        QVERIFY(ns);
        Monitor monitor(*ns, project({u"127.10.0.1"_s}), asNobody);
        const bool online = monitor.waitFor(u"127.10.0.1"_s, u"online"_s);
        if (monitor.errors().contains(u"ermission denied"_s))
            QSKIP("The user nobody cannot run velmora-cli or read the project here");
        if (datagram) {
            QVERIFY2(online, qPrintable(monitor.errors()));
            QCOMPARE(monitor.socketKind(), u"datagram"_s);
            return;
        }
        // Live mode says once what to run to allow pinging, instead of leaving nodes unknown.
        QVERIFY(monitor.process.state() == QProcess::NotRunning ||
                monitor.process.waitForFinished(5000));
        QCOMPARE(monitor.process.exitCode(), 3);
        QVERIFY2(monitor.errors().contains(
                     u"sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\""_s) &&
                     monitor.errors().contains(u"sudo setcap cap_net_raw+ep /"_s),
                 qPrintable(monitor.errors()));
    }

    void capabilitiesGoOnceTheSocketIsOpen()
    {
        // An installed velmora-cli carries cap_net_raw. Run by an ordinary user where datagram
        // sockets are refused, it pings through a raw socket, yet holds no capability meanwhile.
        const auto ns = space({u"127.10.0.1"_s}, false);
        QVERIFY(ns);
        const QString copy = m_dir.filePath(u"velmora-cli"_s);
        QVERIFY(QFile::copy(cli, copy));
        QFile::setPermissions(copy, readableByAll);
        const ProcessResult setcap = runProgram(u"setcap"_s, {u"cap_net_raw+ep"_s, copy});
        const ProcessResult getcap = runProgram(u"getcap"_s, {copy});
        if (setcap.exitCode != 0 || !getcap.outText().contains(u"cap_net_raw"_s))
            QSKIP(qPrintable(u"%1 keeps no file capabilities: %2"_s.arg(
                m_dir.path(), setcap.errText().trimmed())));

        Monitor monitor(*ns, project({u"127.10.0.1"_s}), asNobody, copy);
        const bool online = monitor.waitFor(u"127.10.0.1"_s, u"online"_s);
        if (!online && monitor.errors().contains(u"ermission denied"_s))
            QSKIP("The user nobody cannot run the copied velmora-cli here");
        QVERIFY2(online, qPrintable(monitor.errors()));
        QCOMPARE(monitor.socketKind(), u"raw"_s);
        QFile status(u"/proc/%1/status"_s.arg(monitor.process.processId()));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QStringList fields = QString::fromLatin1(status.readAll()).split(u'\n');
        QVERIFY(fields.contains(u"Name:\tvelmora-cli"_s));
        for (const QString& set : {u"CapInh"_s, u"CapPrm"_s, u"CapEff"_s, u"CapAmb"_s})
            QVERIFY2(fields.contains(set + u":\t0000000000000000"_s),
                     qPrintable(fields.filter(u"Cap"_s).join(u", "_s)));
    }
};

QTEST_GUILESS_MAIN(TestMonitorNamespaces)
#include "tst_monitor_namespaces.moc"
