// SPDX-License-Identifier: GPL-3.0-or-later
// The reader against the case folders in tests/csv/cases: each holds input.csv and expected.json
// ({"nothing": true}, or the header flag, the candidates and the two duplicate lists).

#include "csv/csv_reader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
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

// Pieces random lines are made of: commas and quotes, which the splitter treats specially, and
// characters that can join them into one user-perceived character (combining marks, joiners,
// spacing and prepended marks, emoji modifiers, tags, regional indicators, Hangul jamo,
// surrogate halves), among plain ASCII and multi-byte letters.
const QStringList& pieces()
{
    static const QStringList list{u","_s,
                                  u","_s,
                                  u"\""_s,
                                  u"\""_s,
                                  u"a"_s,
                                  u" "_s,
                                  u"1"_s,
                                  u"\u00e9"_s,
                                  u"\u00ad"_s,
                                  u"\u0301"_s,
                                  u"\u0308"_s,
                                  u"\u20dd"_s,
                                  u"\u200d"_s,
                                  u"\u200c"_s,
                                  u"\u0903"_s,
                                  u"\u093f"_s,
                                  u"\u0600"_s,
                                  u"\u06dd"_s,
                                  u"\u0d4e"_s,
                                  u"\U000110BD"_s,
                                  u"\U0001F3FD"_s,
                                  u"\U000E0041"_s,
                                  u"\U0001F1E9"_s,
                                  u"\U0001F44D"_s,
                                  u"\u2764"_s,
                                  u"\uff9e"_s,
                                  u"\u1100"_s,
                                  u"\u1161"_s,
                                  u"\u11a8"_s,
                                  u"\uac00"_s,
                                  u"\u0416"_s,
                                  u"\u4e2d"_s,
                                  u"\u05d0"_s,
                                  u"\u0e33"_s,
                                  QString(QChar(0xD800)),
                                  QString(QChar(0xDC00)),
                                  u"\t"_s,
                                  u"\u3000"_s,
                                  u"\ufeff"_s};
    return list;
}

QString randomLine(QRandomGenerator& random, const QStringList& alphabet)
{
    QString line;
    const int length = random.bounded(12);
    for (int i = 0; i < length; ++i)
        line += alphabet.at(random.bounded(int(alphabet.size())));
    return line;
}

QString escaped(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            out += c;
        else
            out += u"\\u%1"_s.arg(int(c.unicode()), 4, 16, QChar(u'0'));
    }
    return out;
}

} // namespace

class TestCsvReader final : public QObject {
    Q_OBJECT
private slots:
    void cases_data();
    void cases();
    void lineSplitting_data();
    void lineSplitting();
    void splitterAgreesWithClusters_data();
    void splitterAgreesWithClusters();
    void randomLinesAgreeWithClusters();
    void randomFilesAgreeWithClusters();
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
        QVERIFY(!readCSVRows(input).error().message.isEmpty());
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
    QTest::newRow("quote inside a cell does not span") << u"x\"a\nb\""_s << QStringList{u"xa"_s};
    QTest::newRow("quote carrying a mark does not span")
        << u"\"\u0301a\nb\""_s << QStringList{u"\"\u0301a"_s};
}

void TestCsvReader::lineSplitting()
{
    QFETCH(QString, line);
    QFETCH(QStringList, cells);
    QCOMPARE(parseCSVLine(line), cells);
}

// Tricky lines on which the one-pass splitter must give what walking grapheme clusters gives.
void TestCsvReader::splitterAgreesWithClusters_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("mark after comma") << u"a,\u0301b,c"_s;
    QTest::newRow("mark after quote") << u"\"\u0301a,b\",c"_s;
    QTest::newRow("mark after closing quote") << u"\"a,b\"\u0301,c"_s;
    QTest::newRow("mark after second of doubled quote") << u"\"a\"\"\u0301,b\",c"_s;
    QTest::newRow("enclosing mark on quote") << u"\"\u20dd,x"_s;
    QTest::newRow("spacing mark after comma") << u"\u0915,\u093f,x"_s;
    QTest::newRow("prepended mark before comma") << u"\u0600,1,x"_s;
    QTest::newRow("prepended mark before quote") << u"\U000110BD\"a,b\",c"_s;
    QTest::newRow("joiner after comma") << u"a,\u200d,b"_s;
    QTest::newRow("joiner before comma") << u"\U0001F469\u200d,\U0001F469"_s;
    QTest::newRow("emoji ZWJ sequence")
        << u"\U0001F469\u200d\U0001F4BB,\"\U0001F468\u200d\U0001F469\u200d\U0001F467\",x"_s;
    QTest::newRow("emoji modifier after comma") << u"\U0001F44D,\U0001F3FD,x"_s;
    QTest::newRow("flags around comma") << u"\U0001F1E9\U0001F1EA,\U0001F1EB\U0001F1F7"_s;
    QTest::newRow("tag after quote") << u"\"\U000E0041,b"_s;
    QTest::newRow("Hangul around comma") << u"\u1100\u1161,\u11a8\uac00"_s;
    QTest::newRow("CR LF in line") << u"a,\r\n,b\r,\n\"c"_s;
    QTest::newRow("non-ASCII names")
        << u"\u0420\u043e\u0443\u0442\u0435\u0440,\u4e2d\u6587,\u05d0"_s;
    QTest::newRow("lone surrogates by commas")
        << QString(QChar(0xD800)) + u","_s + QChar(0xDC00) + u","_s + QChar(0xD800) + u"\""_s;
    QTest::newRow("halfwidth sound mark") << u"\uff76,\uff9e,x"_s;
    QTest::newRow("mark on the closing quote after a line break") << u"\"a\nb\"\u0301\n\",c"_s;
    QTest::newRow("mark on the second of a doubled quote") << u"\"a\n\"\"\u0301\n\""_s;
    QTest::newRow("mark after the opening quote") << u"\"\u0301a\nb\""_s;
    QTest::newRow("prepended mark before the closing quote") << u"\"a\n\u0600\"\n\""_s;
}

void TestCsvReader::splitterAgreesWithClusters()
{
    QFETCH(QString, line);
    QCOMPARE(parseCSVRecord(line), parseCSVRecordByClusters(line));
}

void TestCsvReader::randomLinesAgreeWithClusters()
{
    QStringList alphabet = pieces();
    alphabet << u"\r"_s << u"\n"_s
             << u"\r\n"_s; // lines given to parseCSVLine directly may hold them
    QRandomGenerator random(20261207);
    for (int run = 0; run < 50000; ++run) {
        const QString line = randomLine(random, alphabet);
        const CSVRecord expected = parseCSVRecordByClusters(line);
        const CSVRecord actual = parseCSVRecord(line);
        if (actual != expected) {
            QFAIL(qPrintable(u"%1: %2 (end %3) instead of %4 (end %5)"_s.arg(
                escaped(line), escaped(actual.cells.join(u'|')), QString::number(actual.end),
                escaped(expected.cells.join(u'|')), QString::number(expected.end))));
        }
    }
}

// Whole files without a header: each candidate holds the trimmed first three cells the reference
// splitter finds in its record, or the defaults.
void TestCsvReader::randomFilesAgreeWithClusters()
{
    QStringList fileAlphabet = pieces();
    fileAlphabet.removeIf(
        [](const QString& piece) { return piece.size() == 1 && piece.at(0).isSurrogate(); });
    fileAlphabet << u"\""_s << u"\n"_s << u"\u2028"_s; // quoted cells spanning lines
    QRandomGenerator random(7);
    for (int run = 0; run < 300; ++run) {
        QStringList lines;
        const int count = 1 + random.bounded(20);
        for (int i = 0; i < count; ++i) // the first line must not read as a header
            lines.append(u'x' + randomLine(random, fileAlphabet));
        const QString text = lines.join(run % 2 ? u"\r\n"_s : u"\n"_s);
        const Expected<CSVRows> rows = parseCSVContent(text.toUtf8());
        QVERIFY(rows);
        QVERIFY(!rows->hasHeader);
        QList<CSVCandidate> want;
        for (qsizetype start = 0; start < text.size();) {
            if (QStringView(u"\r\n\u2028").contains(text.at(start))) {
                ++start; // an empty line
                continue;
            }
            const CSVRecord record = parseCSVRecordByClusters(text, start);
            const auto cell = [&](qsizetype i, const QString& fallback) {
                return i < record.cells.size() ? record.cells.at(i).trimmed() : fallback;
            };
            want.append({cell(0, QString()), cell(1, u"Device"_s), cell(2, u"0.0.0.0"_s)});
            start = record.end;
        }
        QCOMPARE(describe(rows->candidates), describe(want));
    }
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
    QVERIFY(!readCSVRows(dir.filePath(u"missing.csv"_s)).error().message.isEmpty());
    QVERIFY(!parseCSVPreview(dir.path())); // a directory is not a text file
    QVERIFY(!parseCSVPreview(QString()));
}

QTEST_GUILESS_MAIN(TestCsvReader)
#include "tst_csv_reader.moc"
