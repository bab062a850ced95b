// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli export-csv and import-csv run as processes on real files.

#include "csv/csv_import.h"
#include "model/project_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI), arguments);
    Run run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

class TestCsvCli final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exportToStdoutAndFile();
    void import_data();
    void import();
    void importFailures_data();
    void importFailures();
    void badArguments_data();
    void badArguments();

private:
    QTemporaryDir m_dir;
    QString m_project;
};

void TestCsvCli::initTestCase()
{
    QVERIFY(QFileInfo::exists(QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI)));
    QVERIFY(m_dir.isValid());
    m_project = m_dir.filePath(u"office.velmora"_s);
    const Expected<QByteArray> encoded = encodeProject(sampleProject());
    QVERIFY(encoded);
    QVERIFY(writeBytes(m_project, *encoded));
}

void TestCsvCli::exportToStdoutAndFile()
{
    const QByteArray expected =
        "Name,Type,IP\nRouter,Gateway,192.168.1.1\n\"Core, Floor 2\",Switch,10.0.0.2\n";
    const Run toStdout = runCli({u"export-csv"_s, m_project});
    QCOMPARE(toStdout.exitCode, 0);
    QCOMPARE(toStdout.out, expected);

    const QString out = m_dir.filePath(u"nodes.csv"_s);
    const Run toFile = runCli({u"export-csv"_s, m_project, out});
    QCOMPARE(toFile.exitCode, 0);
    QCOMPARE(readBytes(out), expected);

    const Run missing = runCli({u"export-csv"_s, m_dir.filePath(u"none.velmora"_s)});
    QCOMPARE(missing.exitCode, 2);
    QVERIFY(missing.out.isEmpty());
    QVERIFY(!missing.err.isEmpty());
}

void TestCsvCli::import_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("summary");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<double>>("lastY");

    const QByteArray csv = "name,ip\nA,10.0.0.2\nB,10.0.0.9\nC,10.0.0.9\n";
    QTest::newRow("replace skips")
        << QStringList{u"--mode"_s, u"replace"_s} << csv << QByteArray("Added 2 nodes, skipped 1\n")
        << QStringList{u"A"_s, u"B"_s} << QList<double>{100, 100};
    QTest::newRow("append skips the taken address")
        << QStringList{u"--mode=append"_s} << csv << QByteArray("Added 1 node, skipped 2\n")
        << QStringList{u"Router"_s, u"Core, Floor 2"_s, u"B"_s} << QList<double>{580};
    QTest::newRow("append keeps duplicates")
        << QStringList{u"--keep-duplicates"_s, u"--mode"_s, u"append"_s} << csv
        << QByteArray("Added 3 nodes, skipped 0\n")
        << QStringList{u"Router"_s, u"Core, Floor 2"_s, u"A"_s, u"B"_s, u"C"_s}
        << QList<double>{580, 580, 580};
    QTest::newRow("header only replace")
        << QStringList{u"--mode"_s, u"replace"_s} << QByteArray("Name,Type,IP\r\n")
        << QByteArray("Added 0 nodes, skipped 0\n") << QStringList{} << QList<double>{};
}

void TestCsvCli::import()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, summary);
    QFETCH(QStringList, names);
    QFETCH(QList<double>, lastY);

    const QString csvPath = m_dir.filePath(u"in.csv"_s);
    QVERIFY(writeBytes(csvPath, csv));
    const QString out = m_dir.filePath(u"out.velmora"_s);
    QFile::remove(out);
    const Run run =
        runCli(QStringList{u"import-csv"_s, m_project, csvPath, u"-o"_s, out} + options);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, summary);

    const Expected<ProjectData> result = decodeProject(readBytes(out));
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

void TestCsvCli::importFailures_data()
{
    QTest::addColumn<QByteArray>("csv"); // empty: the CSV file does not exist
    QTest::addColumn<qint64>("nextNodeId");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("not utf-8") << QByteArray("a,b,\xff\n") << qint64(3) << QByteArray("UTF-8");
    QTest::newRow("only line ends")
        << QByteArray("\r\n\n\xe2\x80\xa8") << qint64(3) << QByteArray("no non-empty line");
    QTest::newRow("missing") << QByteArray() << qint64(3) << QByteArray("in.csv");
    QTest::newRow("identifiers used up")
        << QByteArray("name,ip\nA,10.0.0.7\nB,10.0.0.8\nC,10.0.0.2\n")
        << std::numeric_limits<qint64>::max() - 1
        << QByteArray("velmora-cli: " + QFile::encodeName(m_dir.filePath(u"failing.velmora"_s)) +
                      ": Cannot create 2 nodes: the project has only 1 node identifier left");
}

void TestCsvCli::importFailures()
{
    QFETCH(QByteArray, csv);
    QFETCH(qint64, nextNodeId);
    QFETCH(QByteArray, reason);
    const QString csvPath = m_dir.filePath(u"in.csv"_s);
    QFile::remove(csvPath);
    if (!csv.isEmpty())
        QVERIFY(writeBytes(csvPath, csv));
    ProjectData project = sampleProject();
    project.nextNodeId = nextNodeId;
    const QString projectPath = m_dir.filePath(u"failing.velmora"_s);
    QVERIFY(writeBytes(projectPath, *encodeProject(project)));
    const QString out = m_dir.filePath(u"failed.velmora"_s);
    const Run run =
        runCli({u"import-csv"_s, projectPath, csvPath, u"--mode"_s, u"append"_s, u"-o"_s, out});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(reason), run.err.constData());
    QVERIFY(!QFileInfo::exists(out));
}

void TestCsvCli::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("export without project") << QStringList{u"export-csv"_s};
    QTest::newRow("export too many") << QStringList{u"export-csv"_s, u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("import without mode")
        << QStringList{u"import-csv"_s, u"p"_s, u"c"_s, u"-o"_s, u"x"_s};
    QTest::newRow("import bad mode")
        << QStringList{u"import-csv"_s, u"p"_s, u"c"_s, u"--mode"_s, u"merge"_s, u"-o"_s, u"x"_s};
    QTest::newRow("import without output")
        << QStringList{u"import-csv"_s, u"p"_s, u"c"_s, u"--mode"_s, u"append"_s};
    QTest::newRow("import dangling -o")
        << QStringList{u"import-csv"_s, u"p"_s, u"c"_s, u"--mode"_s, u"append"_s, u"-o"_s};
    QTest::newRow("import unknown option") << QStringList{
        u"import-csv"_s, u"p"_s, u"c"_s, u"--mode"_s, u"append"_s, u"-o"_s, u"x"_s, u"--fast"_s};
    QTest::newRow("import one file")
        << QStringList{u"import-csv"_s, u"p"_s, u"--mode"_s, u"append"_s, u"-o"_s, u"x"_s};
}

void TestCsvCli::badArguments()
{
    QFETCH(QStringList, arguments);
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 64);
    QVERIFY(!run.err.isEmpty());
    QVERIFY(!QFileInfo::exists(QDir::current().filePath(u"x"_s)));
}

QTEST_GUILESS_MAIN(TestCsvCli)
#include "tst_cli_csv.moc"
