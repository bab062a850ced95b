// SPDX-License-Identifier: GPL-3.0-or-later
// The exporter's exact bytes, its atomic write and failure report, and the round trip through
// the reader.

#include "csv/csv_export.h"
#include "csv/csv_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

NodeData node(const QString& name, const QString& type, const QString& ip)
{
    NodeData n;
    n.name = name;
    n.type = type;
    n.ip = ip;
    return n;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

class TestCsvExport final : public QObject {
    Q_OBJECT
private slots:
    void escaping_data();
    void escaping();
    void exactBytes_data();
    void exactBytes();
    void roundTrip_data();
    void roundTrip();
    void writeReplacesAtomically();
    void writeFailureIsReported();
};

void TestCsvExport::escaping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("plain") << u"Router"_s << u"Router"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blanks kept") << u"  a b  "_s << u"  a b  "_s;
    QTest::newRow("comma") << u"Core, Floor 2"_s << u"\"Core, Floor 2\""_s;
    QTest::newRow("quote") << u"5\" rack"_s << u"\"5\"\" rack\""_s;
    QTest::newRow("only a quote") << u"\""_s << u"\"\"\"\""_s;
    QTest::newRow("line feed") << u"a\nb"_s << u"\"a\nb\""_s;
    QTest::newRow("carriage return alone") << u"a\rb"_s << u"a\rb"_s;
    QTest::newRow("unicode line separator") << u"a\u2028b"_s << u"a\u2028b"_s;
}

void TestCsvExport::escaping()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    QCOMPARE(escapeCSVField(text), escaped);
}

void TestCsvExport::exactBytes_data()
{
    QTest::addColumn<QList<NodeData>>("nodes");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no nodes") << QList<NodeData>{} << QByteArray("Name,Type,IP\n");
    QTest::newRow("comma in name")
        << QList<NodeData>{node(u"Router"_s, u"Gateway"_s, u"192.168.1.1"_s),
                           node(u"Core, Floor 2"_s, u"Switch"_s, u"10.0.0.2"_s)}
        << QByteArray(
               "Name,Type,IP\nRouter,Gateway,192.168.1.1\n\"Core, Floor 2\",Switch,10.0.0.2\n");
    QTest::newRow("empty type and utf-8")
        << QList<NodeData>{node(u"Caf\u00e9 \U0001F600"_s, QString(), u" 10.0.0.1 "_s)}
        << QByteArray("Name,Type,IP\nCaf\xc3\xa9 \xf0\x9f\x98\x80,, 10.0.0.1 \n");
    QTest::newRow("project order, quotes in every field")
        << QList<NodeData>{node(u"b"_s, u"t\"1"_s, u"x"_s), node(u"a"_s, u"t"_s, u"\"y\""_s)}
        << QByteArray("Name,Type,IP\nb,\"t\"\"1\",x\na,t,\"\"\"y\"\"\"\n");
}

void TestCsvExport::exactBytes()
{
    QFETCH(QList<NodeData>, nodes);
    QFETCH(QByteArray, bytes);
    ProjectData project;
    project.nodes = nodes;
    QCOMPARE(csvText(project).toUtf8(), bytes);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"nodes_export.csv"_s);
    QCOMPARE(writeCSV(path, project), std::nullopt);
    QCOMPARE(readAll(path), bytes); // no byte-order mark, nothing else
}

void TestCsvExport::roundTrip_data()
{
    QTest::addColumn<QList<NodeData>>("nodes");
    QTest::addColumn<QList<CSVCandidate>>("readBack");
    QTest::newRow("plain and comma")
        << QList<NodeData>{node(u"Router"_s, u"Gateway"_s, u"192.168.1.1"_s),
                           node(u"Core, Floor 2"_s, u"Switch"_s, u"10.0.0.2"_s)}
        << QList<CSVCandidate>{{u"Router"_s, u"Gateway"_s, u"192.168.1.1"_s},
                               {u"Core, Floor 2"_s, u"Switch"_s, u"10.0.0.2"_s}};
    // A doubled quote reads back as one quote, so names with quotes survive the trip.
    QTest::newRow("quotes survive")
        << QList<NodeData>{node(u"The \"big\" one"_s, u"\""_s, u"a\"\"b"_s)}
        << QList<CSVCandidate>{{u"The \"big\" one"_s, u"\""_s, u"a\"\"b"_s}};
    QTest::newRow("blanks trimmed, empty type kept")
        << QList<NodeData>{node(u"  pad  "_s, QString(), u"\t10.0.0.1 "_s)}
        << QList<CSVCandidate>{{u"pad"_s, QString(), u"10.0.0.1"_s}};
    // Lines are split before quotes are looked at: a name with a line feed comes back as two
    // lines, the second opening a quote that runs to its end.
    QTest::newRow("line feed splits")
        << QList<NodeData>{node(u"up\ndown"_s, u"AP"_s, u"10.0.0.3"_s)}
        << QList<CSVCandidate>{{u"up"_s, u"Device"_s, u"0.0.0.0"_s},
                               {u"down,AP,10.0.0.3"_s, u"Device"_s, u"0.0.0.0"_s}};
}

void TestCsvExport::roundTrip()
{
    QFETCH(QList<NodeData>, nodes);
    QFETCH(QList<CSVCandidate>, readBack);
    ProjectData project;
    project.nodes = nodes;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"trip.csv"_s);
    QCOMPARE(writeCSV(path, project), std::nullopt);
    const std::optional<CSVRows> rows = parseCSVRows(path);
    QVERIFY(rows);
    QVERIFY(rows->hasHeader);
    QCOMPARE(rows->candidates, readBack);
}

void TestCsvExport::writeReplacesAtomically()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"out.csv"_s);
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old content that is longer than the new one\n");
    old.close();

    ProjectData project;
    project.nodes = {node(u"a"_s, u"b"_s, u"c"_s)};
    QCOMPARE(writeCSV(path, project), std::nullopt);
    QCOMPARE(readAll(path), QByteArray("Name,Type,IP\na,b,c\n"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"out.csv"_s});
}

void TestCsvExport::writeFailureIsReported()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"no/such/folder/out.csv"_s);
    ProjectData project;
    const std::optional<QString> failure = writeCSV(path, project);
    QVERIFY(failure);
    QVERIFY(!failure->isEmpty());
    // The failure is reported as one line on standard output, caught here in a file.
    const QString captured = dir.filePath(u"stdout.txt"_s);
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    FILE* sink = std::fopen(QFile::encodeName(captured).constData(), "w");
    QVERIFY(saved >= 0 && sink);
    dup2(fileno(sink), STDOUT_FILENO);
    const bool exported = exportCSV(path, project);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::fclose(sink);
    QVERIFY(!exported);
    QCOMPARE(readAll(captured), "Failed to export CSV: " + failure->toUtf8() + '\n');
    QVERIFY(!QFileInfo::exists(path));

    // A directory where the file should go: the directory is left as it was.
    const QString blocked = dir.filePath(u"blocked"_s);
    QVERIFY(QDir().mkpath(blocked + u"/inner"_s));
    QVERIFY(writeCSV(blocked, project));
    QVERIFY(QFileInfo(blocked + u"/inner"_s).isDir());
}

QTEST_GUILESS_MAIN(TestCsvExport)
#include "tst_csv_export.moc"
