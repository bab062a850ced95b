// SPDX-License-Identifier: GPL-3.0-or-later
// The reader against the case folders in tests/csv/cases: each holds input.csv and expected.json
// ({"nothing": true}, or the header flag, the candidates and the two duplicate lists).

#include "csv/csv_reader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

QString casesDir()
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/csv/cases");
}

QStringList sortedStrings(const QJsonValue& value)
{
    QStringList list;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& item : array)
        list.append(item.toString());
    list.sort();
    return list;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QString describe(const QList<CSVCandidate>& candidates)
{
    QStringList lines;
    for (const CSVCandidate& c : candidates)
        lines.append(u"[%1|%2|%3]"_s.arg(c.name, c.type, c.ip));
    return lines.join(u' ');
}

} // namespace

class TestCsvReader final : public QObject {
    Q_OBJECT
private slots:
    void cases_data();
    void cases();
    void lineSplitting_data();
    void lineSplitting();
    void previewFields();
    void unreadableFiles();
};

void TestCsvReader::cases_data()
{
    QTest::addColumn<QString>("dir");
    const QStringList names =
        QDir(casesDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY2(names.size() >= 20, "the case folders are missing");
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << casesDir() + u'/' + name;
}

void TestCsvReader::cases()
{
    QFETCH(QString, dir);
    QFile expectedFile(dir + u"/expected.json"_s);
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    QJsonParseError parseError;
    const QJsonObject expected =
        QJsonDocument::fromJson(expectedFile.readAll(), &parseError).object();
    QCOMPARE(parseError.error, QJsonParseError::NoError);

    const QString input = dir + u"/input.csv"_s;
    const std::optional<CSVPreviewData> preview = parseCSVPreview(input);
    const std::optional<CSVRows> rows = parseCSVRows(input);
    if (expected.value(u"nothing"_s).toBool()) {
        QVERIFY(!preview);
        QVERIFY(!rows);
        QVERIFY(!readCSVRows(input).error().isEmpty());
        return;
    }
    QVERIFY(preview);
    QVERIFY(rows);
    QCOMPARE(rows->hasHeader, expected.value(u"header"_s).toBool());

    QList<CSVCandidate> want;
    const QJsonArray candidates = expected.value(u"candidates"_s).toArray();
    for (const QJsonValue& c : candidates) {
        const QJsonArray fields = c.toArray();
        want.append({fields.at(0).toString(), fields.at(1).toString(), fields.at(2).toString()});
    }
    QCOMPARE(describe(rows->candidates), describe(want));
    QCOMPARE(rows->candidates, want);
    QCOMPARE(preview->sampleNodes, want);
    QCOMPARE(preview->totalRows, want.size());
    QCOMPARE(sorted(preview->duplicateIPs), sortedStrings(expected.value(u"duplicateIPs"_s)));
    QCOMPARE(sorted(preview->duplicateNames), sortedStrings(expected.value(u"duplicateNames"_s)));
}

void TestCsvReader::lineSplitting_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("empty") << QString() << QStringList{QString()};
    QTest::newRow("plain") << u"a,b,c"_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("no trimming") << u" a , b "_s << QStringList{u" a "_s, u" b "_s};
    QTest::newRow("trailing comma") << u"a,"_s << QStringList{u"a"_s, QString()};
    QTest::newRow("only commas") << u",,"_s << QStringList{QString(), QString(), QString()};
    QTest::newRow("empty quoted") << u"\"\",x"_s << QStringList{QString(), u"x"_s};
    QTest::newRow("doubled quote in quotes")
        << u"\"say \"\"hi\"\"\",x"_s << QStringList{u"say \"hi\""_s, u"x"_s};
    QTest::newRow("doubled quote outside quotes") << u"a\"\"b,c"_s << QStringList{u"ab"_s, u"c"_s};
    QTest::newRow("quote pair mid cell") << u"a\"b\"c"_s << QStringList{u"abc"_s};
    QTest::newRow("comma inside quotes") << u"\"a,b\",c"_s << QStringList{u"a,b"_s, u"c"_s};
    QTest::newRow("unterminated quote") << u"x,\"a,b,c"_s << QStringList{u"x"_s, u"a,b,c"_s};
    QTest::newRow("quote then text") << u"\"a\"b,c"_s << QStringList{u"ab"_s, u"c"_s};
    QTest::newRow("lone quote") << u"\""_s << QStringList{QString()};
    QTest::newRow("comma with combining mark")
        << u"a,\u0301b,c"_s << QStringList{u"a,\u0301b"_s, u"c"_s};
    QTest::newRow("quote with combining mark")
        << u"\"\u0301a,b"_s << QStringList{u"\"\u0301a"_s, u"b"_s};
    QTest::newRow("emoji and surrogates")
        << u"\U0001F600,\"\U0001F44D\U0001F3FD,x\""_s
        << QStringList{u"\U0001F600"_s, u"\U0001F44D\U0001F3FD,x"_s};
    QTest::newRow("lone surrogate") << u"a\xD800,b"_s << QStringList{u"a\xD800"_s, u"b"_s};
}

void TestCsvReader::lineSplitting()
{
    QFETCH(QString, line);
    QFETCH(QStringList, cells);
    QCOMPARE(parseCSVLine(line), cells);
}

void TestCsvReader::previewFields()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"my devices.v2.csv"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("name,ip\na,1\nb,2\nc,3\nd,4\n");
    file.close();

    const std::optional<CSVPreviewData> preview = parseCSVPreview(path);
    QVERIFY(preview);
    QCOMPARE(preview->fileName, u"my devices.v2.csv"_s);
    QCOMPARE(preview->url, path);
    QCOMPARE(preview->totalRows, 4);
    QCOMPARE(preview->sampleNodes.size(), 4);
    QCOMPARE(preview->sampleNodes.last(), (CSVCandidate{u"d"_s, u"Device"_s, u"4"_s}));
}

void TestCsvReader::unreadableFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(!parseCSVPreview(dir.filePath(u"missing.csv"_s)));
    QVERIFY(!readCSVRows(dir.filePath(u"missing.csv"_s)).error().isEmpty());
    QVERIFY(!parseCSVPreview(dir.path())); // a directory is not a text file
    QVERIFY(!parseCSVPreview(QString()));
}

QTEST_GUILESS_MAIN(TestCsvReader)
#include "test_csv_reader.moc"
