// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli recording history while a host in a network namespace goes away and comes back,
// reading it back with `history`, and the files it refuses.

#include "support/builders.h"
#include "support/files.h"
#include "support/netns.h"
#include "support/process.h"

#include "model/project_codec.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

namespace {

const QString cli = QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI);
const QString host = u"127.0.5.1"_s;

// A folder every user may read, holding a project with `host` (node 1) and a node without an
// address (node 2), and the path of a history database beside it.
struct Files {
    QTemporaryDir dir;
    QString project = dir.filePath(u"p.velmora"_s);
    QString database = dir.filePath(u"h.sqlite"_s);
    Files()
    {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
        writeFile(project, encodeProject(projectWith({{.id = 1, .name = u"H"_s, .ip = host},
                                                      {.id = 2, .name = u"Bare"_s, .ip = {}}}))
                               .value());
    }
    QStringList monitor(const QString& seconds) const
    {
        return {u"monitor"_s,    project, u"--interval"_s,   u"0.5"_s,
                u"--duration"_s, seconds, u"--history-db"_s, database};
    }
    ProcessResult history(const QStringList& options) const
    {
        return runProgram(cli, QStringList{u"history"_s, project, u"--history-db"_s, database} +
                                   options);
    }
};

} // namespace

class TestHistoryCli final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (const QString why = NetworkNamespace::unavailableReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }

    // Answers 6 s, gone 6 s, back 6 s; the run ends by SIGTERM, which must flush it all.
    void outageRecorded()
    {
        NetworkNamespace ns(u"velmora-hist"_s);
        QVERIFY(ns.isValid() && ns.useOnlyHosts({host}) && ns.setPingGroupRange(u"0 2147483647"_s));
        Files files;
        QProcess monitor;
        monitor.start(u"ip"_s, ns.execPrefix().mid(1) + QStringList{cli} + files.monitor(u"60"_s));
        QVERIFY(monitor.waitForStarted());
        QTest::qWait(6000);
        QVERIFY(ns.removeHost(host));
        QTest::qWait(6000);
        QVERIFY(ns.addHost(host));
        QTest::qWait(6000);
        monitor.terminate();
        QVERIFY(monitor.waitForFinished(10000));
        QCOMPARE(monitor.exitCode(), 0);

        const ProcessResult read = files.history({u"--node"_s, u"1"_s, u"--json"_s});
        QCOMPARE(read.exitCode, 0);
        const QJsonObject h = QJsonDocument::fromJson(read.out).object();
        QCOMPARE(h.value(u"outages"_s).toInt(), 1);
        const QJsonObject outage = h.value(u"outageList"_s).toArray().first().toObject();
        const double seconds = outage.value(u"seconds"_s).toDouble();
        QVERIFY2(seconds > 6 - 1.5 && seconds < 6 + 1.5, qPrintable(QString::number(seconds)));
        QVERIFY(outage.value(u"end"_s).isString());
        const double loss = h.value(u"lossPercent"_s).toDouble();
        QVERIFY2(loss >= 30 && loss <= 60, qPrintable(QString::number(loss)));
        // Only answered pings count: failed sends would pull p50 to 0, timeouts p95 to 1 s.
        QVERIFY(h.value(u"latencyP50Ms"_s).toDouble() > 0);
        QVERIFY(h.value(u"latencyP95Ms"_s).toDouble() < 100);

        const QString text = files.history({}).outText();
        QVERIFY2(text.contains(u"H 127.0.5.1 availability "_s) &&
                     text.contains(u"Bare: no address"_s),
                 qPrintable(text));
    }

    // A database the monitor may not write: said once, and monitoring goes on.
    void readOnlyDatabaseKeepsMonitoring()
    {
        NetworkNamespace ns(u"velmora-hist"_s);
        QVERIFY(ns.isValid() && ns.useOnlyHosts({host}) && ns.setPingGroupRange(u"0 2147483647"_s));
        Files files;
        QVERIFY(succeeds(cli, files.monitor(u"1"_s), {.prefix = ns.execPrefix()}));
        const ProcessResult run = runProgram(
            cli, files.monitor(u"3"_s),
            {.prefix = ns.execPrefix() + QStringList{u"setpriv"_s, u"--reuid=nobody"_s,
                                                     u"--regid=nogroup"_s, u"--clear-groups"_s}});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.outText().contains(u" online"_s));
        QCOMPARE(run.errText().count(u"History is not being recorded: "_s), 1);
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("message");
        QTest::newRow("no project") << u"none.velmora"_s << u"h.sqlite"_s << u"none.velmora: "_s;
        QTest::newRow("no database") << u"p.velmora"_s << u"none.sqlite"_s << u"none.sqlite: "_s;
        QTest::newRow("database is a folder") << u"p.velmora"_s << u"."_s << u".: is a directory"_s;
        QTest::newRow("random bytes") << u"p.velmora"_s << u"junk"_s << u"junk: "_s;
    }
    void refusedFiles()
    {
        QFETCH(QString, project);
        QFETCH(QString, database);
        QFETCH(QString, message);
        Files files;
        QVERIFY(writeFile(files.dir.filePath(u"junk"_s), QByteArray(4096, 'x')));
        QVERIFY(writeFile(files.database, {}));
        QDir::setCurrent(files.dir.path());
        const ProcessResult run =
            runProgram(cli, {u"history"_s, project, u"--history-db"_s, database});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errText().startsWith(u"velmora-cli: "_s + message), qPrintable(run.errText()));
    }
};

QTEST_GUILESS_MAIN(TestHistoryCli)
#include "tst_history_cli.moc"
