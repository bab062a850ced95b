// SPDX-License-Identifier: GPL-3.0-or-later
// The reader against the case folders in tests/csv/cases: each holds input.csv and expected.json
// ({"nothing": true}, or the header flag, the candidates and the two duplicate lists); the cell
// splitting rules; and what a preview holds.

#include "support/files.h"

#include "csv/csv_reader.h"

#include <QDir>
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

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList strings(const QJsonValue& value)
{
    QStringList list;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& item : array)
        list.append(item.toString());
    return list;
}

} // namespace

class TestCSVReader final : public QObject {
    Q_OBJECT
private slots:
    void cases_data()
    {
        QTest::addColumn<QString>("dir");
        const QStringList names =
            QDir(casesDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY2(names.size() >= 20, "the case folders are missing");
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << casesDir() + u'/' + name;
    }

    void cases()
    {
        QFETCH(QString, dir);
        QJsonParseError parseError;
        const QJsonObject expected =
            QJsonDocument::fromJson(test::readFile(dir + u"/expected.json"_s), &parseError)
                .object();
        QCOMPARE(parseError.error, QJsonParseError::NoError);

        const Expected<CSVPreviewData> preview = parseCSVPreview(dir + u"/input.csv"_s);
        if (expected.value(u"nothing"_s).toBool()) {
            QVERIFY(!preview);
            QVERIFY(!preview.error().message.isEmpty());
            return;
        }
        QVERIFY2(preview, qPrintable(preview.error().message));
        QCOMPARE(preview->hasHeader, expected.value(u"header"_s).toBool());
        QCOMPARE(preview->separator, expected.value(u"separator"_s).toString(u","_s).front());
        QList<CSVCandidate> want;
        const QJsonArray candidates = expected.value(u"candidates"_s).toArray();
        for (const QJsonValue& c : candidates) {
            const QStringList fields = strings(c);
            want.append({fields.at(0), fields.at(1), fields.at(2)});
        }
        QCOMPARE(preview->sampleNodes, want);
        QCOMPARE(preview->totalRows, want.size());
        QCOMPARE(sorted(preview->duplicateIPs), sorted(strings(expected[u"duplicateIPs"_s])));
        QCOMPARE(sorted(preview->duplicateNames), sorted(strings(expected[u"duplicateNames"_s])));
    }

    void lineSplitting_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("empty") << QString() << QStringList{QString()};
        QTest::newRow("no trimming") << u" a , b "_s << QStringList{u" a "_s, u" b "_s};
        QTest::newRow("only commas") << u",,"_s << QStringList{QString(), QString(), QString()};
        QTest::newRow("doubled quote in quotes")
            << u"\"say \"\"hi\"\"\",x"_s << QStringList{u"say \"hi\""_s, u"x"_s};
        QTest::newRow("doubled quote outside quotes")
            << u"a\"\"b,c"_s << QStringList{u"ab"_s, u"c"_s};
        QTest::newRow("comma inside quotes") << u"\"a,b\",c"_s << QStringList{u"a,b"_s, u"c"_s};
        QTest::newRow("unterminated quote") << u"x,\"a,b,c"_s << QStringList{u"x"_s, u"a,b,c"_s};
        // A comma or quote carrying a mark is one user-perceived character with it: plain text.
        QTest::newRow("comma with combining mark")
            << u"a,\u0301b,c"_s << QStringList{u"a,\u0301b"_s, u"c"_s};
        QTest::newRow("quote with combining mark")
            << u"\"\u0301a,b"_s << QStringList{u"\"\u0301a"_s, u"b"_s};
        QTest::newRow("prepended mark before comma")
            << u"\u0600,1,x"_s << QStringList{u"\u0600,1"_s, u"x"_s};
        // Only the first record of the text: a line break ends it unless a quote that began its
        // cell is open and closes further on.
        QTest::newRow("line break ends the record") << u"a,b\nc"_s << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("quoted cell spans line breaks")
            << u"\"a\nb\r\n\",c\nd"_s << QStringList{u"a\nb\r\n"_s, u"c"_s};
        QTest::newRow("spaces before the quote")
            << u"  \"a\u2028b\" ,c"_s << QStringList{u"  a\u2028b "_s, u"c"_s};
        QTest::newRow("doubled quotes around a line break")
            << u"\"\"\"\n\"\"\",c"_s << QStringList{u"\"\n\""_s, u"c"_s};
        QTest::newRow("unclosed quote ends at the line break")
            << u"x,\"a\nb,c"_s << QStringList{u"x"_s, u"a"_s};
        QTest::newRow("only doubled quotes further on") << u"\"a\nb\"\"c"_s << QStringList{u"a"_s};
        QTest::newRow("quote inside a cell does not span")
            << u"x\"a\nb\""_s << QStringList{u"xa"_s};
        QTest::newRow("quote carrying a mark does not span")
            << u"\"\u0301a\nb\""_s << QStringList{u"\"\u0301a"_s};
        QTest::newRow("closing quote carrying a mark does not close")
            << u"\"a\nb\"\u0301\n\",c"_s << QStringList{u"a\nb\"\u0301\n"_s, u"c"_s};
    }

    void lineSplitting()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, cells);
        QCOMPARE(parseCSVLine(line), cells);
    }

    void previewFields()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"my devices.v2.csv"_s);
        QVERIFY(test::writeFile(path, "name,ip\na,1\nb,2\nc,3\nd,4\n"));
        const Expected<CSVPreviewData> preview = parseCSVPreview(path);
        QVERIFY(preview);
        QCOMPARE(preview->fileName, u"my devices.v2.csv"_s);
        QCOMPARE(preview->url, path);
        QCOMPARE(preview->totalRows, 4);
        QCOMPARE(preview->sampleNodes.last(), (CSVCandidate{u"d"_s, u"Device"_s, u"4"_s}));

        QVERIFY(!parseCSVPreview(dir.filePath(u"missing.csv"_s)));
        QVERIFY(!parseCSVPreview(dir.path())); // a directory is not a text file
        QVERIFY(!parseCSVPreview(QString()));
    }
};

QTEST_GUILESS_MAIN(TestCSVReader)
#include "tst_csv_reader.moc"
