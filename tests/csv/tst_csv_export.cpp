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
    void awkwardTextsRoundTrip_data();
    void awkwardTextsRoundTrip();
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
    QTest::newRow("carriage return alone") << u"a\rb"_s << u"\"a\rb\""_s;
    QTest::newRow("unicode line separator") << u"a\u2028b"_s << u"\"a\u2028b\""_s;
    QTest::newRow("next line") << u"a\u0085"_s << u"\"a\u0085\""_s;
    // A quote carrying a mark is text to the reader, so it is not doubled.
    QTest::newRow("quote carrying a mark") << u"a\"\u0301,"_s << u"\"a\"\u0301,\""_s;
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
    // A prepended mark would join the comma after it and a combining mark the comma before it:
    // quotes and a space (trimmed on reading) keep them apart.
    QTest::newRow("marks beside commas")
        << QList<NodeData>{node(u"a\u0600"_s, u"\u0301b"_s, u"c\"\u0301"_s)}
        << QByteArray("Name,Type,IP\n\"a\xd8\x80 \",\" \xcc\x81\x62\",\"c\"\xcc\x81\"\n");
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
    QTest::newRow("line breaks kept")
        << QList<NodeData>{node(u"Rack\rA"_s, u"AP"_s, u"10.0.0.3"_s),
                           node(u"Core\nB"_s, u"Sw\r\nitch"_s, u"10.0.0.4"_s)}
        << QList<CSVCandidate>{{u"Rack\rA"_s, u"AP"_s, u"10.0.0.3"_s},
                               {u"Core\nB"_s, u"Sw\r\nitch"_s, u"10.0.0.4"_s}};
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

// Any text comes back as written, trimmed at both ends as the reader trims every cell, whichever
// field holds it.
void TestCsvExport::awkwardTextsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    for (const char16_t lineBreak : {0x0A, 0x0B, 0x0C, 0x0D, 0x85, 0x2028, 0x2029})
        QTest::addRow("line break U+%04X", unsigned(lineBreak))
            << u"a"_s + QChar(lineBreak) + u"b"_s;
    QTest::newRow("only line breaks") << u"\n\r\n"_s;
    QTest::newRow("quotes around a line break") << u"\"\n\""_s;
    QTest::newRow("doubled quotes and a comma") << u"x\"\",\ny"_s;
    QTest::newRow("comma at the end") << u"a\r,"_s;
    QTest::newRow("leading spaces and quote") << u"   \"Rack\"\nA"_s;
    QTest::newRow("12-inch rack") << u"12\" rack\n2"_s;
    QTest::newRow("leading mark") << u"\u0301x,\ny"_s;
    QTest::newRow("quote carrying a mark") << u"\"\u0301\n\"\u0301"_s;
    QTest::newRow("prepended mark before quotes") << u"\u0600\"\n\u0600"_s;
    QTest::newRow("emoji") << u"\U0001F469\u200d\U0001F4BB\n\""_s;
    // Whether a mark joins the comma or quote before it depends on the script of the text
    // before that: after a Latin letter it does, after a Devanagari one it does not.
    QTest::newRow("spacing marks after letters") << u"h\"\u093f\n\"\u093f,\u093f\""_s;
    QTest::newRow("marks after Devanagari") << u"\u0915\"\u0301\n\u0915,\u093f"_s;
}

void TestCsvExport::awkwardTextsRoundTrip()
{
    QFETCH(QString, text);
    ProjectData project;
    project.nodes = {node(text, u"T"_s, u"1"_s), node(u"N"_s, text, u"2"_s),
                     node(u"N"_s, u"T"_s, text)};
    const Expected<CSVRows> rows = parseCSVContent(csvText(project).toUtf8());
    QVERIFY(rows);
    QVERIFY(rows->hasHeader);
    const QString trimmed = text.trimmed();
    QCOMPARE(rows->candidates,
             (QList<CSVCandidate>{
                 {trimmed, u"T"_s, u"1"_s}, {u"N"_s, trimmed, u"2"_s}, {u"N"_s, u"T"_s, trimmed}}));
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
