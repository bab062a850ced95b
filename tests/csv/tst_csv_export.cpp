// SPDX-License-Identifier: GPL-3.0-or-later
// The exporter's exact bytes, and the round trip through the reader: every text comes back.

#include "support/files.h"

#include "csv/csv_export.h"
#include "csv/csv_reader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

NodeData node(const QString& name, const QString& type, const QString& ip)
{
    return {.name = name, .type = type, .ip = ip};
}

} // namespace

class TestCSVExport final : public QObject {
    Q_OBJECT
private slots:
    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("plain") << u"Router"_s << u"Router"_s;
        QTest::newRow("comma") << u"Core, Floor 2"_s << u"\"Core, Floor 2\""_s;
        QTest::newRow("quote") << u"5\" rack"_s << u"\"5\"\" rack\""_s;
        QTest::newRow("line feed") << u"a\nb"_s << u"\"a\nb\""_s;
        QTest::newRow("carriage return alone") << u"a\rb"_s << u"\"a\rb\""_s;
        // A quote carrying a mark is text to the reader, so it is not doubled.
        QTest::newRow("quote carrying a mark") << u"a\"\u0301,"_s << u"\"a\"\u0301,\""_s;
    }

    void escaping()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(escapeCSVField(text), escaped);
    }

    void exactBytes_data()
    {
        QTest::addColumn<QList<NodeData>>("nodes");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no nodes") << QList<NodeData>{} << QByteArray("Name,Type,IP\n");
        QTest::newRow("comma in name")
            << QList<NodeData>{node(u"Router"_s, u"Gateway"_s, u"192.168.1.1"_s),
                               node(u"Core, Floor 2"_s, u"Switch"_s, u"10.0.0.2"_s)}
            << QByteArray("Name,Type,IP\nRouter,Gateway,192.168.1.1\n"
                          "\"Core, Floor 2\",Switch,10.0.0.2\n");
        QTest::newRow("empty type and utf-8")
            << QList<NodeData>{node(u"Caf\u00e9 \U0001F600"_s, QString(), u" 10.0.0.1 "_s)}
            << QByteArray("Name,Type,IP\nCaf\xc3\xa9 \xf0\x9f\x98\x80,, 10.0.0.1 \n");
        QTest::newRow("project order, quotes in every field")
            << QList<NodeData>{node(u"b"_s, u"t\"1"_s, u"x"_s), node(u"a"_s, u"t"_s, u"\"y\""_s)}
            << QByteArray("Name,Type,IP\nb,\"t\"\"1\",x\na,t,\"\"\"y\"\"\"\n");
        // A prepended mark would join the comma after it and a combining mark the comma before
        // it: quotes and a space (trimmed on reading) keep them apart.
        QTest::newRow("marks beside commas")
            << QList<NodeData>{node(u"a\u0600"_s, u"\u0301b"_s, u"c\"\u0301"_s)}
            << QByteArray("Name,Type,IP\n\"a\xd8\x80 \",\" \xcc\x81\x62\",\"c\"\xcc\x81\"\n");
    }

    void exactBytes()
    {
        QFETCH(QList<NodeData>, nodes);
        QFETCH(QByteArray, bytes);
        ProjectData project;
        project.nodes = nodes;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"nodes_export.csv"_s);
        QVERIFY(test::writeFile(path, "old content that is longer than the new one\n"));
        const Expected<void> written = writeCSV(path, project);
        QVERIFY2(written, qPrintable(written.error().message));
        QCOMPARE(test::readFile(path), bytes); // no byte-order mark, nothing else
    }

    // Any text comes back as written, trimmed at both ends as the reader trims every cell,
    // whichever field holds it.
    void everyTextRoundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << u"Router"_s;
        QTest::newRow("blanks") << u"  pad \t"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("quotes") << u"The \"big\" one \"\""_s;
        for (const char16_t lineBreak : {0x0A, 0x0B, 0x0C, 0x0D, 0x85, 0x2028, 0x2029})
            QTest::addRow("line break U+%04X", unsigned(lineBreak))
                << u"a"_s + QChar(lineBreak) + u"b"_s;
        QTest::newRow("only line breaks") << u"\n\r\n"_s;
        QTest::newRow("quotes around a line break") << u"\"\n\""_s;
        QTest::newRow("doubled quotes and a comma") << u"x\"\",\ny"_s;
        QTest::newRow("comma at the end") << u"a\r,"_s;
        QTest::newRow("leading spaces and quote") << u"   \"Rack\"\nA"_s;
        QTest::newRow("leading mark") << u"\u0301x,\ny"_s;
        QTest::newRow("quote carrying a mark") << u"\"\u0301\n\"\u0301"_s;
        QTest::newRow("prepended mark before quotes") << u"\u0600\"\n\u0600"_s;
        QTest::newRow("emoji") << u"\U0001F469\u200d\U0001F4BB\n\""_s;
        // Whether a mark joins the comma or quote before it depends on the script of the text
        // before that: after a Latin letter it does, after a Devanagari one it does not.
        QTest::newRow("spacing marks after letters") << u"h\"\u093f\n\"\u093f,\u093f\""_s;
        QTest::newRow("marks after Devanagari") << u"\u0915\"\u0301\n\u0915,\u093f"_s;
    }

    void everyTextRoundTrips()
    {
        QFETCH(QString, text);
        ProjectData project;
        project.nodes = {node(text, u"T"_s, u"1"_s), node(u"N"_s, text, u"2"_s),
                         node(u"N"_s, u"T"_s, text)};
        const Expected<CSVRows> rows = parseCSVContent(csvText(project).toUtf8());
        QVERIFY(rows);
        QVERIFY(rows->hasHeader);
        const QString trimmed = text.trimmed();
        QCOMPARE(rows->candidates, (QList<CSVCandidate>{{trimmed, u"T"_s, u"1"_s},
                                                        {u"N"_s, trimmed, u"2"_s},
                                                        {u"N"_s, u"T"_s, trimmed}}));
    }
};

QTEST_GUILESS_MAIN(TestCSVExport)
#include "tst_csv_export.moc"
