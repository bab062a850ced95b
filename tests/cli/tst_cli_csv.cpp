// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli export-csv and import-csv run as processes on real files.

#include "support/files.h"
#include "support/process.h"

#include "model/project_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

namespace {

ProcessResult runCli(const QStringList& arguments)
{
    return runProgram(QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI), arguments);
}

ProjectData sampleProject()
{
    ProjectData project;
    project.projectName = u"Office"_s;
    project.nodes = {NodeData{1, u"Router"_s, u"Gateway"_s, u"192.168.1.1"_s, 10, 400, 1.0},
                     NodeData{2, u"Core, Floor 2"_s, u"Switch"_s, u"10.0.0.2"_s, 10, 100, 1.0}};
    project.cables = {CableData{1, {}}};
    project.nextNodeId = 3;
    project.nextCableId = 2;
    return project;
}

} // namespace

class TestCLICSV final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_project = m_dir.filePath(u"office.velmora"_s);
        QVERIFY(writeFile(m_project, *encodeProject(sampleProject())));
    }

    void exportToStdoutAndFile()
    {
        const QByteArray expected =
            "Name,Type,IP\nRouter,Gateway,192.168.1.1\n\"Core, Floor 2\",Switch,10.0.0.2\n";
        const ProcessResult toStdout = runCli({u"export-csv"_s, m_project});
        QCOMPARE(toStdout.exitCode, 0);
        QCOMPARE(toStdout.out, expected);

        const QString out = m_dir.filePath(u"nodes.csv"_s);
        QCOMPARE(runCli({u"export-csv"_s, m_project, out}).exitCode, 0);
        QCOMPARE(readFile(out), expected);

        const ProcessResult unwritable =
            runCli({u"export-csv"_s, m_project, m_dir.filePath(u"none/nodes.csv"_s)});
        QCOMPARE(unwritable.exitCode, 2);
        QVERIFY(unwritable.out.isEmpty());
        QVERIFY(unwritable.errText().startsWith(u"velmora-cli: "_s + m_dir.filePath(u"none"_s)));
    }

    void import_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QByteArray>("summary");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<double>>("lastY");

        const QByteArray csv = "name,ip\nA,10.0.0.2\nB,10.0.0.9\nC,10.0.0.9\n";
        QTest::newRow("replace skips") << QStringList{u"--mode"_s, u"replace"_s} << csv
                                       << QByteArray("Added 2 nodes, skipped 1\n")
                                       << QStringList{u"A"_s, u"B"_s} << QList<double>{100, 100};
        QTest::newRow("append skips the taken address")
            << QStringList{u"--mode=append"_s} << csv << QByteArray("Added 1 node, skipped 2\n")
            << QStringList{u"Router"_s, u"Core, Floor 2"_s, u"B"_s} << QList<double>{580};
        QTest::newRow("append keeps duplicates")
            << QStringList{u"--keep-duplicates"_s, u"--mode"_s, u"append"_s} << csv
            << QByteArray("Added 3 nodes, skipped 0\n")
            << QStringList{u"Router"_s, u"Core, Floor 2"_s, u"A"_s, u"B"_s, u"C"_s}
            << QList<double>{580, 580, 580};
    }

    void import()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, csv);
        QFETCH(QByteArray, summary);
        QFETCH(QStringList, names);
        QFETCH(QList<double>, lastY);

        const QString csvPath = m_dir.filePath(u"in.csv"_s);
        QVERIFY(writeFile(csvPath, csv));
        const QString out = m_dir.filePath(u"out.velmora"_s);
        QFile::remove(out);
        const ProcessResult run =
            runCli(QStringList{u"import-csv"_s, m_project, csvPath, u"-o"_s, out} + options);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, summary);

        const Expected<ProjectData> result = decodeProject(readFile(out));
        QVERIFY2(result, qPrintable(result.error().message));
        QStringList got;
        for (const NodeData& node : result->nodes)
            got.append(node.name);
        QCOMPARE(got, names);
        for (qsizetype i = 0; i < lastY.size(); ++i)
            QCOMPARE(result->nodes.at(result->nodes.size() - lastY.size() + i).y, lastY.at(i));
        QCOMPARE(result->nextNodeId, 3 + lastY.size());
        QCOMPARE(result->cables.isEmpty(), options.contains(u"replace"_s));
        QCOMPARE(result->projectName, u"Office"_s);
    }

    // Files as other tools write them, and columns chosen by hand.
    void importRealWorldFiles_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("nodes"); // name|type|ip
        QTest::newRow("every header cell quoted")
            << QByteArray("\"Name\",\"Type\",\"IP\"\r\n\"Router\",\"Gateway\",\"192.168.1.1\"\r\n")
            << QStringList() << QStringList{u"Router|Gateway|192.168.1.1"_s};
        QTest::newRow("semicolons")
            << QByteArray("Name;Type;IP\nRouter;Gateway;192.168.1.1\nCore, 2;Switch;10.0.0.2\n")
            << QStringList()
            << QStringList{u"Router|Gateway|192.168.1.1"_s, u"Core, 2|Switch|10.0.0.2"_s};
        QTest::newRow("whitespace-only line")
            << QByteArray("name,ip\nA,10.0.0.1\n  \t \nB,10.0.0.2\n") << QStringList()
            << QStringList{u"A|Device|10.0.0.1"_s, u"B|Device|10.0.0.2"_s};
        QTest::newRow("mapped by header text")
            << QByteArray("Hostname,IPv4,Device\nsw1,10.0.0.1,Switch\nr1,10.0.0.2,Router\n")
            << QStringList{u"--ip-column"_s, u"IPv4"_s, u"--type-column=device"_s}
            << QStringList{u"sw1|Switch|10.0.0.1"_s, u"r1|Router|10.0.0.2"_s};
        QTest::newRow("mapped by index, no header")
            << QByteArray("10.0.0.1,Switch,sw1\n")
            << QStringList{u"--name-column=3"_s, u"--type-column=2"_s, u"--ip-column=1"_s}
            << QStringList{u"sw1|Switch|10.0.0.1"_s};
    }

    void importRealWorldFiles()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QStringList, options);
        QFETCH(QStringList, nodes);
        const QString csvPath = m_dir.filePath(u"real.csv"_s);
        QVERIFY(writeFile(csvPath, csv));
        const QString out = m_dir.filePath(u"real.velmora"_s);
        const ProcessResult run = runCli(
            QStringList{u"import-csv"_s, m_project, csvPath, u"--mode=replace"_s, u"-o"_s, out} +
            options);
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const Expected<ProjectData> result = decodeProject(readFile(out));
        QVERIFY(result);
        QStringList got;
        for (const NodeData& node : result->nodes)
            got.append(node.name + u'|' + node.type + u'|' + node.ip);
        QCOMPARE(got, nodes);
    }

    // The file to blame is named: the CSV when it yields nothing, the project when its
    // identifiers run out.
    void importFailures_data()
    {
        QTest::addColumn<QByteArray>("csv"); // empty: the CSV file does not exist
        QTest::addColumn<qint64>("nextNodeId");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QStringList>("options");
        const QByteArray csvName = QFile::encodeName(m_dir.filePath(u"in.csv"_s));
        QTest::newRow("not utf-8") << QByteArray("a,b,\xff\n") << qint64(3)
                                   << csvName + ": not valid UTF-8 text" << QStringList();
        QTest::newRow("identifiers used up")
            << QByteArray("name,ip\nA,10.0.0.7\nB,10.0.0.8\nC,10.0.0.2\n")
            << std::numeric_limits<qint64>::max() - 1
            << QFile::encodeName(m_dir.filePath(u"failing.velmora"_s)) +
                   ": Cannot create 2 nodes: the project has only 1 node identifier left"
            << QStringList();
        QTest::newRow("unknown column") << QByteArray("Hostname,IPv4\n") << qint64(3)
                                        << csvName + ": no column named \"MAC\" in the first line"
                                        << QStringList{u"--ip-column=MAC"_s};
        QTest::newRow("column 0") << QByteArray("a,b\n") << qint64(3)
                                  << csvName + ": column 0: columns are counted from 1"
                                  << QStringList{u"--name-column=0"_s};
    }

    void importFailures()
    {
        QFETCH(QByteArray, csv);
        QFETCH(qint64, nextNodeId);
        QFETCH(QByteArray, message);
        QFETCH(QStringList, options);
        const QString csvPath = m_dir.filePath(u"in.csv"_s);
        QVERIFY(writeFile(csvPath, csv));
        ProjectData project = sampleProject();
        project.nextNodeId = nextNodeId;
        const QString projectPath = m_dir.filePath(u"failing.velmora"_s);
        QVERIFY(writeFile(projectPath, *encodeProject(project)));
        const QString out = m_dir.filePath(u"failed.velmora"_s);
        const ProcessResult run = runCli(QStringList{u"import-csv"_s, projectPath, csvPath,
                                                     u"--mode"_s, u"append"_s, u"-o"_s, out} +
                                         options);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith("velmora-cli: " + message), run.err.constData());
        QVERIFY(!QFileInfo::exists(out));
    }

private:
    QTemporaryDir m_dir;
    QString m_project;
};

QTEST_GUILESS_MAIN(TestCLICSV)
#include "tst_cli_csv.moc"
