// SPDX-License-Identifier: GPL-3.0-or-later
// The project file: what a new project looks like, that every project is written as QJsonDocument
// would write it and reads back, that broken files are refused with a message that says what and
// where, and how files that cannot be read or written are reported.

#include "reference_text.h"
#include "support/files.h"

#include "model/project_codec.h"
#include "model/project_file.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace velmora;

Q_DECLARE_METATYPE(velmora::ProjectData)

namespace {

ProjectData richProject()
{
    ProjectData p;
    p.projectName = u"Büro 3. OG — Netz ✓ 🖧"_s;
    p.nodes = {
        {1, u"Router"_s, u"Router"_s, u"192.168.1.1"_s, 10.5, -20.25, 1.0},
        {2, u"Switch \"core\"\n/2"_s, u"Switch"_s, u"switch.local"_s, 0.1, 1e-300, 2.5},
        {std::numeric_limits<qint64>::max(), u"Kamera 日本"_s, u""_s, u""_s, -1e300, 3.0, 0.0},
        {-7, u"Negative"_s, u"AP"_s, u"10.0.0.1"_s, -0.0, 123456789.123456789, -1.0},
    };
    p.cables = {CableData{3,
                          {{u"node"_s, 0.0, 0.0, qint64(1), 0.7853981633974483},
                           {u"free"_s, 250.5, 99.75, std::nullopt, 0.0},
                           {u"node"_s, 0.0, 0.0, std::numeric_limits<qint64>::min(), -3.14}}},
                CableData{4, {}}};
    QByteArray image(1000, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 37 % 256);
    p.map = MapData{image, 100, 50.5, 0.75};
    p.nextNodeId = 9007199254740993; // not representable as a double
    p.nextCableId = 5;
    p.viewSettings = {1.5, -30.0, 45.25, 0.5, 0.3};
    p.typeColors = {{u"Router"_s, 0.29, 0.87, 0.5}, {u"Kamera 日本"_s, 1.0, 0.0, 0.333}};
    return p;
}

QByteArray encoded(const ProjectData& project)
{
    const Expected<QByteArray> result = encodeProject(project);
    if (!result)
        qFatal("encode failed: %s", qPrintable(result.error().message));
    return *result;
}

QJsonObject parse(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

QByteArray toText(const QJsonObject& root)
{
    return QJsonDocument(root).toJson();
}

// Applies `edit` to the JSON value at `path` ("nodes[1]", "cables[0].points[2]", "map", "").
template <typename Edit> QJsonValue editAt(QJsonValue value, QStringView path, Edit edit)
{
    if (path.isEmpty())
        return edit(value);
    qsizetype end = 0;
    while (end < path.size() && path[end] != u'.' && path[end] != u'[')
        ++end;
    if (end == 0 && path[0] == u'[') {
        const qsizetype close = path.indexOf(u']');
        const int index = path.mid(1, close - 1).toInt();
        QStringView rest = path.mid(close + 1);
        if (rest.startsWith(u'.'))
            rest = rest.mid(1);
        QJsonArray array = value.toArray();
        array[index] = editAt(array.at(index), rest, edit);
        return array;
    }
    const QString key = path.first(end).toString();
    QStringView rest = path.mid(end);
    if (rest.startsWith(u'.'))
        rest = rest.mid(1);
    QJsonObject object = value.toObject();
    object[key] = editAt(object.value(key), rest, edit);
    return object;
}

template <typename Edit> QByteArray editedRich(const QString& path, Edit edit)
{
    return toText(editAt(QJsonValue(parse(encoded(richProject()))), path, edit).toObject());
}

QByteArray replacedInRich(const QString& path, const QJsonValue& value)
{
    return editedRich(path, [value](QJsonValue) { return value; });
}

} // namespace

class TestProjectCodec final : public QObject {
    Q_OBJECT

private slots:
    void newProjectFile()
    {
        QCOMPARE(encoded(ProjectData{}),
                 QByteArray("{\n    \"cables\": [\n    ],\n    \"nextCableId\": 1,\n"
                            "    \"nextNodeId\": 1,\n    \"nodes\": [\n    ],\n"
                            "    \"projectName\": \"Untitled\",\n    \"schemaVersion\": 1,\n"
                            "    \"typeColors\": [\n    ],\n    \"viewSettings\": {\n"
                            "        \"mapOpacity\": 1,\n        \"mapSaturation\": 1,\n"
                            "        \"panX\": 0,\n        \"panY\": 0,\n        \"zoom\": 1\n"
                            "    }\n}\n"));
    }

    // The text is exactly QJsonDocument's for the same records (sorted keys, number forms,
    // escapes, standard Base64 with padding, optional members left out), and reads back.
    void writesWhatQJsonDocumentWritesAndReadsItBack_data()
    {
        QTest::addColumn<ProjectData>("project");
        QTest::newRow("rich") << richProject();
        ProjectData strings;
        strings.projectName =
            u"quote \" backslash \\ slash / controls \b\f\n\r\t\u0001\u001f\u007f"_s;
        strings.nodes = {{1, QString(QChar(0xd800)) + u"x"_s + QChar(0xdc00) + QChar(0xdbff),
                          u"é ß € 𝄞 \uffff"_s, u"\u2028\u2029"_s, 0, 0, 1}};
        QTest::newRow("strings needing escapes") << strings;
        ProjectData numbers;
        const QList<double> values{
            -0.0,   3.0,     1e15,   8e15,    9007199254740992.0,
            9.1e15, -9.1e15, 1e16,   1e20,    123456789012345678.0,
            0.1,    1e-7,    5e-324, 1.5e300, -9.2233720368547758e18,
            1e-4,   123.456, 2.5e-5, 1e21,    std::numeric_limits<double>::max()};
        for (qsizetype i = 0; i < values.size(); ++i)
            numbers.nodes.append({i, QString(), QString(), QString(), values.at(i), -values.at(i),
                                  values.at(values.size() - 1 - i)});
        numbers.nextCableId = std::numeric_limits<qint64>::min();
        numbers.schemaVersion = -3;
        QTest::newRow("numbers") << numbers;
        for (const int size : {0, 1, 2}) {
            ProjectData image = richProject();
            image.map->imageData = QByteArray(size, '\xff');
            QTest::addRow("image of %d bytes", size) << image;
        }
        ProjectData noImage = richProject();
        noImage.map->imageData.reset();
        QTest::newRow("map without image") << noImage;
        ProjectData noMap = richProject();
        noMap.map.reset();
        QTest::newRow("no map") << noMap;
    }

    void writesWhatQJsonDocumentWritesAndReadsItBack()
    {
        QFETCH(ProjectData, project);
        const QByteArray text = encoded(project);
        QCOMPARE(text, testing::referenceText(project));
        const Expected<ProjectData> decoded = decodeProject(text);
        QVERIFY2(decoded, qPrintable(decoded.error().message));
        QVERIFY(*decoded == project);
    }

    void readsWhatTheFormatAllows_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<ProjectData>("expected");

        QJsonObject root = parse(encoded(ProjectData{}));
        root.insert("map"_L1, QJsonValue::Null);
        QTest::newRow("map null means no map") << toText(root) << ProjectData{};

        ProjectData withNullImage;
        withNullImage.map = MapData{std::nullopt, 1, 2, 3};
        root = parse(encoded(withNullImage));
        QJsonObject map = root.value("map"_L1).toObject();
        map.insert("imageData"_L1, QJsonValue::Null);
        root.insert("map"_L1, map);
        QTest::newRow("imageData null") << toText(root) << withNullImage;

        ProjectData freePoint;
        freePoint.cables = {CableData{1, {{u"free"_s, 5, 6, std::nullopt, 0}}}};
        root = parse(encoded(freePoint));
        QJsonObject point = root.value("cables"_L1)[0]["points"_L1][0].toObject();
        point.insert("nodeId"_L1, QJsonValue::Null);
        root.insert("cables"_L1,
                    QJsonArray{QJsonObject{{"id"_L1, 1}, {"points"_L1, QJsonArray{point}}}});
        QTest::newRow("nodeId null") << toText(root) << freePoint;

        // Unknown members are read past (and so dropped on the next save), however deep.
        QJsonValue nested = QJsonObject{{"k"_L1, 1}};
        for (int i = 0; i < 500; ++i)
            nested = QJsonArray{QJsonObject{{"k"_L1, nested}}};
        root = parse(encoded(ProjectData{}));
        root.insert("future"_L1, nested);
        QJsonObject view = root.value("viewSettings"_L1).toObject();
        view.insert("rotation"_L1, 90);
        root.insert("viewSettings"_L1, view);
        QTest::newRow("unknown members") << toText(root) << ProjectData{};

        ProjectData whole;
        whole.nextNodeId = 3;
        QTest::newRow("whole number written as a decimal")
            << QByteArray(R"({"cables":[],"nextCableId":1,"nextNodeId":3.0,"nodes":[],
                "projectName":"Untitled","schemaVersion":1e0,"typeColors":[],
                "viewSettings":{"mapOpacity":1,"mapSaturation":1,"panX":0,"panY":0,"zoom":1}})")
            << whole;

        ProjectData oddGeometry;
        oddGeometry.nodes = {{1, u"n"_s, u"t"_s, u"ip"_s, 0, 0, -2}};
        oddGeometry.map = MapData{std::nullopt, 0, 0, 0};
        QTest::newRow("non-positive scales still open") << encoded(oddGeometry) << oddGeometry;
    }

    void readsWhatTheFormatAllows()
    {
        QFETCH(QByteArray, text);
        QFETCH(ProjectData, expected);
        const Expected<ProjectData> decoded = decodeProject(text);
        QVERIFY2(decoded, qPrintable(decoded.error().message));
        QVERIFY(*decoded == expected);
    }

    void everyRequiredKeyIsRequired_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("key");
        const QList<std::pair<QString, QStringList>> records{
            {QString(),
             {u"schemaVersion"_s, u"projectName"_s, u"nodes"_s, u"cables"_s, u"nextNodeId"_s,
              u"nextCableId"_s, u"viewSettings"_s, u"typeColors"_s}},
            {u"nodes[1]"_s, {u"id"_s, u"name"_s, u"type"_s, u"ip"_s, u"x"_s, u"y"_s, u"scale"_s}},
            {u"cables[0]"_s, {u"id"_s, u"points"_s}},
            {u"cables[0].points[2]"_s, {u"type"_s, u"x"_s, u"y"_s, u"anchorAngle"_s}},
            {u"map"_s, {u"positionX"_s, u"positionY"_s, u"scale"_s}},
            {u"viewSettings"_s,
             {u"zoom"_s, u"panX"_s, u"panY"_s, u"mapOpacity"_s, u"mapSaturation"_s}},
            {u"typeColors[1]"_s, {u"type"_s, u"red"_s, u"green"_s, u"blue"_s}}};
        for (const auto& [path, keys] : records) {
            for (const QString& key : keys)
                QTest::addRow("%s.%s", qPrintable(path), qPrintable(key)) << path << key;
        }
    }

    void everyRequiredKeyIsRequired()
    {
        QFETCH(QString, path);
        QFETCH(QString, key);
        const QByteArray text = editedRich(path, [&](QJsonValue v) {
            QJsonObject o = v.toObject();
            if (!o.contains(key))
                qFatal("test data has no key %s", qPrintable(key));
            o.remove(key);
            return QJsonValue(o);
        });
        const Expected<ProjectData> decoded = decodeProject(text);
        QVERIFY(!decoded);
        const QString where = path.isEmpty() ? u"top level"_s : path;
        QCOMPARE(decoded.error().message, where + u": missing key \""_s + key + u'"');
    }

    void refusesBadInput_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message"); // expected start of the message

        const auto replace = replacedInRich;
        QTest::newRow("empty") << QByteArray() << u"empty file"_s;
        QTest::newRow("array at top level") << QByteArray("[1, 2]") << u"top level"_s;
        QTest::newRow("cut in half")
            << encoded(richProject()).first(900) << u"JSON syntax error at offset"_s;
        QTest::newRow("schemaVersion string")
            << replace(u"schemaVersion"_s, u"1"_s) << u"schemaVersion: expected an integer"_s;
        QTest::newRow("projectName null")
            << replace(u"projectName"_s, QJsonValue::Null) << u"projectName: expected a string"_s;
        QTest::newRow("nodes object")
            << replace(u"nodes"_s, QJsonObject()) << u"nodes: expected an array"_s;
        QTest::newRow("node not an object")
            << replace(u"nodes[2]"_s, 3) << u"nodes[2]: expected an object"_s;
        QTest::newRow("node scale bool")
            << replace(u"nodes[3].scale"_s, true) << u"nodes[3].scale: expected a number"_s;
        QTest::newRow("node id fraction")
            << replace(u"nodes[0].id"_s, 1.5) << u"nodes[0].id: expected an integer, found 1.5"_s;
        QTest::newRow("node id 2^63") << replace(u"nodes[0].id"_s, 9223372036854775808.0)
                                      << u"nodes[0].id: integer out of the 64-bit range"_s;
        QTest::newRow("nextNodeId 1e19 written in digits")
            << replace(u"nextNodeId"_s, 0)
                   .replace("\"nextNodeId\": 0", "\"nextNodeId\": 10000000000000000000")
            << u"nextNodeId: integer out of the 64-bit range"_s;
        QTest::newRow("nodeId string") << replace(u"cables[0].points[0].nodeId"_s, u"1"_s)
                                       << u"cables[0].points[0].nodeId: expected an integer"_s;
        QTest::newRow("point type number") << replace(u"cables[0].points[1].type"_s, 2)
                                           << u"cables[0].points[1].type: expected a string"_s;
        QTest::newRow("point not an object") << replace(u"cables[0].points[1]"_s, QJsonArray())
                                             << u"cables[0].points[1]: expected an object"_s;
        QTest::newRow("map array")
            << replace(u"map"_s, QJsonArray()) << u"map: expected an object"_s;
        QTest::newRow("imageData number")
            << replace(u"map.imageData"_s, 12) << u"map.imageData: expected a string"_s;
        QTest::newRow("viewSettings array")
            << replace(u"viewSettings"_s, QJsonArray()) << u"viewSettings: expected an object"_s;
        QTest::newRow("typeColors null")
            << replace(u"typeColors"_s, QJsonValue::Null) << u"typeColors: expected an array"_s;
        // Only standard Base64 with its padding and no bits set past the last byte: a lenient
        // read would turn a damaged file into a different image.
        for (const QString& text : {u"AAAA*AAA"_s, u"AAAA\nAAAA"_s, u"AAAAé==="_s, u"AA==AAAA"_s,
                                    u"ab-_"_s, u"QQ"_s, u"Q"_s, u"QUJ"_s, u"QQ="_s, u"Q==="_s,
                                    u"===="_s, u"QR=="_s, u"QUI=QUI="_s, u" QQ=="_s, u"QQ==\n"_s})
            QTest::addRow("imageData \"%s\"", qPrintable(text))
                << replace(u"map.imageData"_s, text) << u"map.imageData: invalid Base64"_s;
    }

    void refusesBadInput()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        const Expected<ProjectData> decoded = decodeProject(text);
        QVERIFY2(!decoded, "a broken file was read");
        QVERIFY2(decoded.error().message.startsWith(message), qPrintable(decoded.error().message));
    }

    void nonFiniteNumbersFailTheEncoding_data()
    {
        QTest::addColumn<ProjectData>("project");
        QTest::addColumn<QString>("field");
        constexpr double inf = std::numeric_limits<double>::infinity();
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        ProjectData p = richProject();
        p.nodes[2].x = nan;
        QTest::newRow("node x") << p << u"nodes[2].x"_s;
        p = richProject();
        p.cables[0].points[2].anchorAngle = nan;
        QTest::newRow("anchor angle") << p << u"cables[0].points[2].anchorAngle"_s;
        p = richProject();
        p.map->scale = inf;
        QTest::newRow("map scale") << p << u"map.scale"_s;
        p = richProject();
        p.viewSettings.panY = -inf;
        QTest::newRow("pan y") << p << u"viewSettings.panY"_s;
        p = richProject();
        p.typeColors[1].green = nan;
        QTest::newRow("colour") << p << u"typeColors[1].green"_s;
    }

    void nonFiniteNumbersFailTheEncoding()
    {
        QFETCH(ProjectData, project);
        QFETCH(QString, field);
        const Expected<QByteArray> result = encodeProject(project);
        QVERIFY(!result);
        QCOMPARE(result.error().message, field + u": not a finite number"_s);
    }

    // Only a regular, readable, non-empty file that decodes is a project; nothing blocks.
    void unreadableProjectFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << u"missing"_s << u"no such file"_s;
        QTest::newRow("directory") << u"directory"_s << u"is a directory, not a project file"_s;
        QTest::newRow("pipe") << u"fifo"_s << u"not a regular file"_s;
        QTest::newRow("empty") << u"empty"_s << u"the file is empty, not a project"_s;
        // A regular file whose reading fails: this process's memory at address 0.
        QTest::newRow("read error") << u"/proc/self/mem"_s << u"cannot be read: "_s;
    }

    void unreadableProjectFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QString path = dir.filePath(u"in.velmora"_s);
        if (kind == u"directory"_s)
            QVERIFY(QDir(dir.path()).mkdir(u"in.velmora"_s));
        else if (kind == u"fifo"_s)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"empty"_s)
            QVERIFY(test::writeFile(path, ""));
        else if (kind.startsWith(u'/'))
            path = kind;
        const Expected<ProjectData> read = readProjectFile(path);
        QVERIFY(!read);
        QVERIFY2(read.error().message.startsWith(message), qPrintable(read.error().message));
    }

    // A failed write leaves the disk as it was: no file, no temporary file, the old contents.
    void failedWritesChangeNothing_data()
    {
        QTest::addColumn<QString>("target"); // in the temporary folder
        QTest::addColumn<QString>("message");
        QTest::newRow("directory") << u"folder"_s << u"is a directory"_s;
        QTest::newRow("missing parent") << u"nowhere/out"_s << u"cannot be written: "_s;
        QTest::newRow("parent is a file") << u"file/out"_s << u"cannot be written: "_s;
    }

    void failedWritesChangeNothing()
    {
        QFETCH(QString, target);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        QVERIFY(test::writeFile(dir.filePath(u"file"_s), "old"));
        const Expected<void> written = writeFileAtomically(dir.filePath(target), "new");
        QVERIFY(!written);
        QVERIFY2(written.error().message.startsWith(message), qPrintable(written.error().message));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{u"file"_s, u"folder"_s}));
        QVERIFY(QDir(dir.filePath(u"folder"_s)).isEmpty());
        QCOMPARE(test::readFile(dir.filePath(u"file"_s)), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestProjectCodec)
#include "tst_project_codec.moc"
