// SPDX-License-Identifier: GPL-3.0-or-later
// Live monitoring against hosts that go down, in network namespaces this test creates. The
// engine is process-wide, so each scenario runs the monitor probe as a child process inside
// its namespace (`ip netns exec`): the namespace's own ping_group_range then decides between
// the datagram socket, the raw socket and the permission error, and nothing leaks into this
// process. In each namespace 127.0.0.0/8 is removed from lo and single /32 addresses are
// added; a host "goes down" by ignoring echo requests (it times out) or by losing its address.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool run(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The probe's JSON lines, read as they come.
class Probe {
public:
    ~Probe()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    void start(const QString& ns, const QStringList& prefix, const QStringList& arguments,
               const QString& program = QStringLiteral(VELMORA_PROGRAM_VELMORA_MONITOR_PROBE))
    {
        m_process.start(u"ip"_s, QStringList{u"netns"_s, u"exec"_s, ns} + prefix +
                                     QStringList{program} + arguments);
    }
    // Reads lines until `predicate` holds for one of them (true) or the time is up (false).
    template <typename Predicate> bool waitFor(Predicate predicate, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            while (m_process.canReadLine()) {
                const QJsonObject line = QJsonDocument::fromJson(m_process.readLine()).object();
                m_lines.append(line);
                if (predicate(line))
                    return true;
            }
            if (m_process.state() == QProcess::NotRunning && !m_process.canReadLine())
                return false;
            m_process.waitForReadyRead(100);
        }
        return false;
    }
    bool waitForStatus(int id, const QString& status, int timeoutMs)
    {
        return waitFor(
            [&](const QJsonObject& l) {
                return l.value(u"id"_s).toInt() == id && l.value(u"status"_s).toString() == status;
            },
            timeoutMs);
    }
    QList<QJsonObject> lines() const { return m_lines; }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QList<QJsonObject> m_lines;
};

} // namespace

class TestMonitorNamespaces final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void hostGoesDownAndComesBack();
    void addressRemovedMeansOffline();
    void rawSocketPath();
    void slowAndLateReplies();
    void unprivilegedDatagramPath();
    void noSocketTellsWhatToRun();
    void cliPrintsStatusChanges();
    void cliCannotPing();
    void capabilitiesGoOnceTheSocketIsOpen();

private:
    QString createNamespace(const QString& groupRange, const QStringList& addresses);
    bool nsExec(const QString& ns, const QStringList& command);
    QStringList m_namespaces;
    int m_counter = 0;
};

void TestMonitorNamespaces::initTestCase()
{
    if (geteuid() != 0)
        QSKIP("Needs root: the test creates network namespaces (ip netns add)");
    const QString probe = u"velmora-mon-probe-%1"_s.arg(getpid());
    if (!run(u"ip"_s, {u"netns"_s, u"add"_s, probe}))
        QSKIP("Network namespaces are not available here (ip netns add failed)");
    run(u"ip"_s, {u"netns"_s, u"delete"_s, probe});
}

void TestMonitorNamespaces::cleanup()
{
    for (const QString& ns : std::as_const(m_namespaces))
        run(u"ip"_s, {u"netns"_s, u"delete"_s, ns});
    m_namespaces.clear();
}

bool TestMonitorNamespaces::nsExec(const QString& ns, const QStringList& command)
{
    return run(u"ip"_s, QStringList{u"netns"_s, u"exec"_s, ns} + command);
}

QString TestMonitorNamespaces::createNamespace(const QString& groupRange,
                                               const QStringList& addresses)
{
    const QString ns = u"velmora-mon-%1-%2"_s.arg(getpid()).arg(++m_counter);
    if (!run(u"ip"_s, {u"netns"_s, u"add"_s, ns}))
        return {};
    m_namespaces.append(ns);
    bool ok = run(u"ip"_s, {u"-n"_s, ns, u"link"_s, u"set"_s, u"lo"_s, u"up"_s});
    ok =
        ok && run(u"ip"_s, {u"-n"_s, ns, u"addr"_s, u"del"_s, u"127.0.0.1/8"_s, u"dev"_s, u"lo"_s});
    for (const QString& a : addresses)
        ok =
            ok && run(u"ip"_s, {u"-n"_s, ns, u"addr"_s, u"add"_s, a + u"/32"_s, u"dev"_s, u"lo"_s});
    ok = ok && nsExec(ns, {u"sysctl"_s, u"-qw"_s, u"net.ipv4.ping_group_range="_s + groupRange});
    return ok ? ns : QString();
}

void TestMonitorNamespaces::hostGoesDownAndComesBack()
{
    const QString ns = createNamespace(u"0 2147483647"_s, {u"127.10.0.1"_s});
    QVERIFY(!ns.isEmpty());
    Probe probe;
    // Node 1 answers; node 2's address does not exist in the namespace: down from the start.
    probe.start(ns, {}, {u"--interval"_s, u"0.2"_s, u"127.10.0.1"_s, u"127.10.0.2"_s});
    QVERIFY(probe.waitFor([](const QJsonObject& l) { return l.contains(u"socket"_s); }, 10000));
    QCOMPARE(probe.lines().last().value(u"socket"_s).toString(), u"datagram"_s);

    QVERIFY(probe.waitForStatus(1, u"online"_s, 10000));
    QVERIFY(probe.lines().last().value(u"latencyMs"_s).toDouble() > 0.0);
    // Ignoring echo requests makes the host time out (1 s) rather than fail to send.
    QVERIFY(nsExec(ns, {u"sysctl"_s, u"-qw"_s, u"net.ipv4.icmp_echo_ignore_all=1"_s}));
    QVERIFY(probe.waitForStatus(1, u"offline"_s, 10000));
    QVERIFY(probe.lines().last().value(u"latencyMs"_s).isNull()); // latency entries gone
    QVERIFY(nsExec(ns, {u"sysctl"_s, u"-qw"_s, u"net.ipv4.icmp_echo_ignore_all=0"_s}));
    QVERIFY(probe.waitForStatus(1, u"online"_s, 10000));

    for (const QJsonObject& l : probe.lines()) {
        if (l.value(u"id"_s).toInt() == 2)
            QCOMPARE(l.value(u"status"_s).toString(), u"unknown"_s);
    }
}

void TestMonitorNamespaces::addressRemovedMeansOffline()
{
    const QString ns = createNamespace(u"0 2147483647"_s, {u"127.10.0.1"_s, u"127.10.0.3"_s});
    QVERIFY(!ns.isEmpty());
    Probe probe;
    probe.start(ns, {}, {u"--interval"_s, u"0.2"_s, u"127.10.0.1"_s, u"127.10.0.3"_s});
    QVERIFY(probe.waitForStatus(2, u"online"_s, 10000));
    // Without its address the send itself fails at once: also offline for a node that answered.
    QVERIFY(
        run(u"ip"_s, {u"-n"_s, ns, u"addr"_s, u"del"_s, u"127.10.0.3/32"_s, u"dev"_s, u"lo"_s}));
    QVERIFY(probe.waitForStatus(2, u"offline"_s, 5000));
    QVERIFY(
        run(u"ip"_s, {u"-n"_s, ns, u"addr"_s, u"add"_s, u"127.10.0.3/32"_s, u"dev"_s, u"lo"_s}));
    QVERIFY(probe.waitForStatus(2, u"online"_s, 5000));
}

void TestMonitorNamespaces::rawSocketPath()
{
    // Datagram sockets refused (the Debian default): root falls back to a raw socket.
    const QString ns = createNamespace(u"1 0"_s, {u"127.10.0.1"_s});
    QVERIFY(!ns.isEmpty());
    Probe probe;
    probe.start(ns, {}, {u"--interval"_s, u"0.2"_s, u"127.10.0.1"_s});
    QVERIFY(probe.waitFor([](const QJsonObject& l) { return l.contains(u"socket"_s); }, 10000));
    QCOMPARE(probe.lines().last().value(u"socket"_s).toString(), u"raw"_s);
    QVERIFY(probe.waitForStatus(1, u"online"_s, 10000));
    QVERIFY(nsExec(ns, {u"sysctl"_s, u"-qw"_s, u"net.ipv4.icmp_echo_ignore_all=1"_s}));
    QVERIFY(probe.waitForStatus(1, u"offline"_s, 10000));
}

void TestMonitorNamespaces::slowAndLateReplies()
{
    // The kernel answers no echo request; a responder of ours answers after the delay it is
    // told.
    const QString ns = createNamespace(u"0 2147483647"_s, {u"127.10.0.1"_s});
    QVERIFY(!ns.isEmpty());
    QVERIFY(nsExec(ns, {u"sysctl"_s, u"-qw"_s, u"net.ipv4.icmp_echo_ignore_all=1"_s}));
    QProcess responder;
    responder.start(u"ip"_s, {u"netns"_s, u"exec"_s, ns, QStringLiteral(VELMORA_PROGRAM_VELMORA_ICMP_RESPONDER),
                              u"127.10.0.1"_s});
    QVERIFY(responder.waitForStarted());
    const auto stopResponder = qScopeGuard([&] {
        responder.closeWriteChannel(); // it ends with its input
        if (!responder.waitForFinished(3000))
            responder.kill();
    });
    Probe probe;
    probe.start(ns, {}, {u"--interval"_s, u"0.2"_s, u"127.10.0.1"_s});

    // Above 200 ms a reply is slow; after the 1 s timeout it is too late: offline, and its late
    // arrival changes nothing until prompt replies make the host online again.
    const struct {
        int delayMs;
        QString status;
        double minimumMs;
        double maximumMs;
    } steps[] = {{0, u"online"_s, 0.0, 200.0},
                 {350, u"slow"_s, 350.0, 1000.0},
                 {1400, u"offline"_s, 0.0, 0.0},
                 {0, u"online"_s, 0.0, 200.0}};
    for (const auto& step : steps) {
        responder.write(QByteArray::number(step.delayMs) + '\n');
        QVERIFY(responder.waitForBytesWritten(1000));
        QVERIFY2(probe.waitForStatus(1, step.status, 10000), qPrintable(step.status));
        const QJsonValue latency = probe.lines().last().value(u"latencyMs"_s);
        if (step.maximumMs == 0.0) {
            QVERIFY(latency.isNull());
        } else {
            QVERIFY2(latency.toDouble() >= step.minimumMs && latency.toDouble() < step.maximumMs,
                     qPrintable(QString::number(latency.toDouble())));
        }
    }
}

static const QStringList asNobody = {u"setpriv"_s, u"--reuid=nobody"_s, u"--regid=nogroup"_s,
                                     u"--clear-groups"_s};

void TestMonitorNamespaces::unprivilegedDatagramPath()
{
    const QString ns = createNamespace(u"0 2147483647"_s, {u"127.10.0.1"_s});
    QVERIFY(!ns.isEmpty());
    Probe probe;
    probe.start(ns, asNobody, {u"--interval"_s, u"0.2"_s, u"127.10.0.1"_s});
    if (!probe.waitFor([](const QJsonObject& l) { return l.contains(u"socket"_s); }, 10000))
        QSKIP("The user nobody cannot run the probe from this build directory");
    QCOMPARE(probe.lines().last().value(u"socket"_s).toString(), u"datagram"_s);
    QVERIFY(probe.waitForStatus(1, u"online"_s, 10000));
}

void TestMonitorNamespaces::noSocketTellsWhatToRun()
{
    const QString ns = createNamespace(u"1 0"_s, {u"127.10.0.1"_s});
    QVERIFY(!ns.isEmpty());
    Probe probe;
    probe.start(ns, asNobody, {u"--interval"_s, u"0.2"_s, u"127.10.0.1"_s});
    const bool sawError =
        probe.waitFor([](const QJsonObject& l) { return l.contains(u"error"_s); }, 10000);
    if (!sawError && probe.lines().isEmpty())
        QSKIP("The user nobody cannot run the probe from this build directory");
    QVERIFY(sawError);
    const QString message = probe.lines().last().value(u"error"_s).toString();
    QVERIFY2(message.contains(u"sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\""_s),
             qPrintable(message));
    QVERIFY2(message.contains(u"sudo setcap cap_net_raw+ep /"_s), qPrintable(message));
    QVERIFY(probe.process().waitForFinished(5000));
    QCOMPARE(probe.process().exitCode(), 3);
}

void TestMonitorNamespaces::cliPrintsStatusChanges()
{
    // The demo project's nodes all sit on loopback addresses.
    const QString ns = createNamespace(u"0 2147483647"_s, {u"127.0.10.1"_s});
    QVERIFY(!ns.isEmpty());
    QTemporaryDir dir;
    const QString project = dir.filePath(u"p.velmora"_s);
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/examples/demo.velmora"), project));
    QProcess cli;
    cli.start(u"ip"_s,
              {u"netns"_s, u"exec"_s, ns, QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI), u"monitor"_s,
               project, u"--interval"_s, u"0.2"_s, u"--duration"_s, u"1.5"_s, u"--json"_s});
    QVERIFY(cli.waitForFinished(15000));
    QCOMPARE(cli.exitCode(), 0);
    const QList<QByteArray> lines = cli.readAllStandardOutput().trimmed().split('\n');
    bool sawOnline = false;
    int unknownOther = 0;
    for (const QByteArray& raw : lines) {
        const QJsonObject l = QJsonDocument::fromJson(raw).object();
        QVERIFY2(l.contains(u"time"_s) && l.contains(u"name"_s) && l.contains(u"latencyMs"_s),
                 raw.constData());
        if (l.value(u"ip"_s).toString() == u"127.0.10.1"_s &&
            l.value(u"status"_s).toString() == u"online"_s) {
            sawOnline = l.value(u"latencyMs"_s).toDouble() > 0.0;
        } else if (l.value(u"ip"_s).toString() != u"127.0.10.1"_s) {
            // Only one address exists in the namespace: every other node stays unknown.
            QCOMPARE(l.value(u"status"_s).toString(), u"unknown"_s);
            ++unknownOther;
        }
    }
    QVERIFY(sawOnline);
    QVERIFY(unknownOther > 0);
}

void TestMonitorNamespaces::cliCannotPing()
{
    const QString ns = createNamespace(u"1 0"_s, {u"127.0.10.1"_s});
    QVERIFY(!ns.isEmpty());
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    const QString project = dir.filePath(u"p.velmora"_s);
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/examples/demo.velmora"), project));
    QFile::setPermissions(project, QFile::ReadOwner | QFile::ReadOther);
    QProcess cli;
    cli.start(u"ip"_s, QStringList{u"netns"_s, u"exec"_s, ns} + asNobody +
                           QStringList{QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI), u"monitor"_s,
                                       project, u"--duration"_s, u"5"_s});
    QVERIFY(cli.waitForFinished(15000));
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    if (cli.exitCode() == 2 || err.contains(u"ermission denied"_s))
        QSKIP("The user nobody cannot run velmora-cli or read the project here");
    QCOMPARE(cli.exitCode(), 3);
    QVERIFY2(err.contains(u"ping_group_range"_s) && err.contains(u"setcap"_s), qPrintable(err));
}

void TestMonitorNamespaces::capabilitiesGoOnceTheSocketIsOpen()
{
    // An installed velmora-cli carries cap_net_raw. Run by an ordinary user where datagram
    // sockets are refused, it pings through a raw socket, yet holds no capability meanwhile.
    const QString ns = createNamespace(u"1 0"_s, {u"127.0.10.1"_s});
    QVERIFY(!ns.isEmpty());
    QTemporaryDir dir;
    const auto readable =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(dir.path(), readable);
    const QString cli = dir.filePath(u"velmora-cli"_s);
    const QString project = dir.filePath(u"p.velmora"_s);
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI), cli));
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/examples/demo.velmora"), project));
    QFile::setPermissions(cli, readable);
    QFile::setPermissions(project, QFile::ReadOwner | QFile::ReadOther);
    QString capabilities;
    if (!run(u"setcap"_s, {u"cap_net_raw+ep"_s, cli}, &capabilities) ||
        !run(u"getcap"_s, {cli}, &capabilities) || !capabilities.contains(u"cap_net_raw"_s))
        QSKIP(qPrintable(u"%1 keeps no file capabilities (setcap, getcap: %2)"_s.arg(
            dir.path(), capabilities.trimmed())));

    Probe monitor;
    monitor.start(
        ns, asNobody,
        {u"monitor"_s, project, u"--interval"_s, u"0.2"_s, u"--duration"_s, u"30"_s, u"--json"_s},
        cli);
    const bool online = monitor.waitFor(
        [](const QJsonObject& l) {
            return l.value(u"ip"_s).toString() == u"127.0.10.1"_s &&
                   l.value(u"status"_s).toString() == u"online"_s;
        },
        10000);
    if (!online && monitor.lines().isEmpty() &&
        monitor.process().readAllStandardError().contains("ermission denied"))
        QSKIP("The user nobody cannot run the copied velmora-cli here");
    QVERIFY2(online, monitor.process().readAllStandardError().constData());
    QFile status(u"/proc/%1/status"_s.arg(monitor.process().processId()));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QStringList fields = QString::fromLatin1(status.readAll()).split(u'\n');
    QVERIFY(fields.contains(u"Name:\tvelmora-cli"_s));
    for (const QString& set : {u"CapInh"_s, u"CapPrm"_s, u"CapEff"_s, u"CapAmb"_s})
        QVERIFY2(fields.contains(set + u":\t0000000000000000"_s),
                 qPrintable(fields.filter(u"Cap"_s).join(u", "_s)));
}

QTEST_GUILESS_MAIN(TestMonitorNamespaces)
#include "tst_monitor_namespaces.moc"
