// SPDX-License-Identifier: GPL-3.0-or-later
// The project file format: what a new project looks like, that every project survives a round
// trip, and that broken files are refused with a message that says what and where.

#include "reference_text.h"

#include "model/project_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using namespace velmora;

Q_DECLARE_METATYPE(velmora::ProjectData)

namespace {

ProjectData richProject()
{
    ProjectData p;
    p.schemaVersion = 1;
    p.projectName = u"Büro 3. OG — Netz ✓ 🖧"_s;
    p.nodes = {
        {1, u"Router"_s, u"Router"_s, u"192.168.1.1"_s, 10.5, -20.25, 1.0},
        {2, u"Switch \"core\"\n/2"_s, u"Switch"_s, u"switch.local"_s, 0.1, 1e-300, 2.5},
        {std::numeric_limits<qint64>::max(), u"Kamera 日本"_s, u""_s, u""_s, -1e300, 3.0, 0.0},
        {-7, u"Negative"_s, u"AP"_s, u"10.0.0.1"_s, -0.0, 123456789.123456789, -1.0},
    };
    CableData cable{3, {}};
    cable.points = {
        {u"node"_s, 0.0, 0.0, qint64(1), 0.7853981633974483},
        {u"free"_s, 250.5, 99.75, std::nullopt, 0.0},
        {u"node"_s, 0.0, 0.0, std::numeric_limits<qint64>::min(), -3.14},
    };
    p.cables = {cable, CableData{4, {}}};
    MapData map;
    QByteArray image(1000, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 37 % 256);
    map.imageData = image;
    map.positionX = 100;
    map.positionY = 50.5;
    map.scale = 0.75;
    p.map = map;
    p.nextNodeId = 9007199254740993; // not representable as a double
    p.nextCableId = 5;
    p.viewSettings = {1.5, -30.0, 45.25, 0.5, 0.3};
    p.typeColors = {{u"Router"_s, 0.29, 0.87, 0.5}, {u"Kamera 日本"_s, 1.0, 0.0, 0.333}};
    return p;
}

QJsonObject parse(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("encoder wrote invalid JSON: %s", qPrintable(error.errorString()));
    return doc.object();
}

QByteArray encoded(const ProjectData& project)
{
    const Expected<QByteArray> result = encodeProject(project);
    if (!result)
        qFatal("encode failed: %s", qPrintable(result.error().message));
    return *result;
}

QByteArray toText(const QJsonObject& root)
{
    return QJsonDocument(root).toJson();
}

// Every required key of every record, as (object path, key); the object path uses the same
// notation as the decoder's messages.
struct RequiredKey {
    QString path;
    QString key;
};

QList<RequiredKey> requiredKeys()
{
    QList<RequiredKey> keys;
    for (const char* k : {"schemaVersion", "projectName", "nodes", "cables", "nextNodeId",
                          "nextCableId", "viewSettings", "typeColors"})
        keys.append({QString(), QString::fromLatin1(k)});
    for (const char* k : {"id", "name", "type", "ip", "x", "y", "scale"})
        keys.append({u"nodes[1]"_s, QString::fromLatin1(k)});
    for (const char* k : {"id", "points"})
        keys.append({u"cables[0]"_s, QString::fromLatin1(k)});
    for (const char* k : {"type", "x", "y", "anchorAngle"})
        keys.append({u"cables[0].points[2]"_s, QString::fromLatin1(k)});
    for (const char* k : {"positionX", "positionY", "scale"})
        keys.append({u"map"_s, QString::fromLatin1(k)});
    for (const char* k : {"zoom", "panX", "panY", "mapOpacity", "mapSaturation"})
        keys.append({u"viewSettings"_s, QString::fromLatin1(k)});
    for (const char* k : {"type", "red", "green", "blue"})
        keys.append({u"typeColors[1]"_s, QString::fromLatin1(k)});
    return keys;
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

// JSON written with single quotes for readability: q("{'a':1}") is {"a":1}.
QByteArray q(const char* text)
{
    return QByteArray(text).replace('\'', '"');
}

template <typename Edit> QByteArray editedRich(const QString& path, Edit edit)
{
    const QJsonValue root = editAt(QJsonValue(parse(encoded(richProject()))), path, edit);
    return toText(root.toObject());
}

} // namespace

class TestProjectCodec final : public QObject {
    Q_OBJECT

private slots:
    void newProjectHasExactlyTheEightMembers()
    {
        const QJsonObject root = parse(encoded(ProjectData{}));
        QCOMPARE(root.keys(), QStringList({u"cables"_s, u"nextCableId"_s, u"nextNodeId"_s,
                                           u"nodes"_s, u"projectName"_s, u"schemaVersion"_s,
                                           u"typeColors"_s, u"viewSettings"_s}));
        QCOMPARE(root.value("cables"_L1), QJsonValue(QJsonArray()));
        QCOMPARE(root.value("nodes"_L1), QJsonValue(QJsonArray()));
        QCOMPARE(root.value("typeColors"_L1), QJsonValue(QJsonArray()));
        QCOMPARE(root.value("nextCableId"_L1).toInteger(-1), 1);
        QCOMPARE(root.value("nextNodeId"_L1).toInteger(-1), 1);
        QCOMPARE(root.value("schemaVersion"_L1).toInteger(-1), 1);
        QCOMPARE(root.value("projectName"_L1).toString(), u"Untitled"_s);
        const QJsonObject view = root.value("viewSettings"_L1).toObject();
        QCOMPARE(view.keys(), QStringList({u"mapOpacity"_s, u"mapSaturation"_s, u"panX"_s,
                                           u"panY"_s, u"zoom"_s}));
        QCOMPARE(view.value("zoom"_L1).toDouble(-1), 1.0);
        QCOMPARE(view.value("panX"_L1).toDouble(-1), 0.0);
        QCOMPARE(view.value("panY"_L1).toDouble(-1), 0.0);
        QCOMPARE(view.value("mapOpacity"_L1).toDouble(-1), 1.0);
        QCOMPARE(view.value("mapSaturation"_L1).toDouble(-1), 1.0);
    }

    void writesSortedPrettyTextWithoutNull()
    {
        const QByteArray text = encoded(richProject());
        QVERIFY(!text.contains("null"));
        QVERIFY(text.count('\n') > 50); // one member or element per line
        // Top-level members in ascending key order, each on its own line.
        qsizetype last = -1;
        for (const char* key : {"cables", "map", "nextCableId", "nextNodeId", "nodes",
                                "projectName", "schemaVersion", "typeColors", "viewSettings"}) {
            const qsizetype at = text.indexOf("\n    \"" + QByteArray(key) + "\": ");
            QVERIFY2(at > last, key);
            last = at;
        }
        // Within a cable point: anchorAngle, nodeId, type, x, y.
        const qsizetype point = text.indexOf("\"anchorAngle\"");
        qsizetype previous = point;
        for (const char* key : {"\"nodeId\"", "\"type\"", "\"x\"", "\"y\""}) {
            const qsizetype at = text.indexOf(key, point);
            QVERIFY2(at > previous, key);
            previous = at;
        }
        // Integers exactly, the image as one line of standard Base64.
        QVERIFY(text.contains("\"nextNodeId\": 9007199254740993"));
        QVERIFY(
            text.contains("\"imageData\": \"" + richProject().map->imageData->toBase64() + "\""));
    }

    void textIsWhatQJsonDocumentWrites_data()
    {
        QTest::addColumn<ProjectData>("project");
        QTest::newRow("new project") << ProjectData{};
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
        QTest::newRow("numbers") << numbers;
    }

    void textIsWhatQJsonDocumentWrites()
    {
        QFETCH(ProjectData, project);
        const QByteArray text = encoded(project);
        QCOMPARE(text, testing::referenceText(project));
        const Expected<ProjectData> decoded = decodeProject(text);
        QVERIFY2(decoded, qPrintable(decoded.error().message));
        QVERIFY(*decoded == project);
    }

    void imageIsStandardBase64_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {0, 1, 2, 3, 4, 5, 6, 255, 256, 257})
            QTest::addRow("%d bytes", size) << size;
    }

    void imageIsStandardBase64()
    {
        QFETCH(int, size);
        QByteArray image(size, '\0');
        for (int i = 0; i < size; ++i)
            image[i] = char(255 - i * 7);
        ProjectData p;
        p.map = MapData{image, 1, 2, 3};
        const QJsonObject root = parse(encoded(p));
        QCOMPARE(root.value("map"_L1).toObject().value("imageData"_L1).toString().toLatin1(),
                 image.toBase64());
        const Expected<ProjectData> decoded = decodeProject(encoded(p));
        QVERIFY(decoded);
        QCOMPARE(decoded->map->imageData, image);
    }

    void optionalMembersAreLeftOut()
    {
        ProjectData p = richProject();
        p.map->imageData.reset();
        const QJsonObject root = parse(encoded(p));
        const QJsonObject map = root.value("map"_L1).toObject();
        QCOMPARE(map.keys(), QStringList({u"positionX"_s, u"positionY"_s, u"scale"_s}));
        const QJsonArray points =
            root.value("cables"_L1).toArray().at(0).toObject().value("points"_L1).toArray();
        QVERIFY(points.at(0).toObject().contains("nodeId"_L1));
        QCOMPARE(points.at(1).toObject().keys(),
                 QStringList({u"anchorAngle"_s, u"type"_s, u"x"_s, u"y"_s}));
    }

    void encodingIsDeterministic()
    {
        const QByteArray first = encoded(richProject());
        QCOMPARE(encoded(richProject()), first);
        // Decoding and encoding again gives the same bytes.
        const Expected<ProjectData> decoded = decodeProject(first);
        QVERIFY2(decoded, qPrintable(decoded.error().message));
        QCOMPARE(encoded(*decoded), first);
    }

    void roundTrip_data()
    {
        QTest::addColumn<ProjectData>("project");
        QTest::newRow("new project") << ProjectData{};
        QTest::newRow("rich") << richProject();
        ProjectData noImage = richProject();
        noImage.map->imageData.reset();
        QTest::newRow("map without image") << noImage;
        ProjectData emptyImage = richProject();
        emptyImage.map->imageData = QByteArray();
        QTest::newRow("map with zero image bytes") << emptyImage;
        ProjectData noMap = richProject();
        noMap.map.reset();
        QTest::newRow("no map") << noMap;
        ProjectData oneByte = richProject();
        oneByte.map->imageData = QByteArray("\xff", 1);
        QTest::newRow("image of one byte (padding)") << oneByte;
        // A project string that spells the encoder's internal image marker must not be mistaken
        // for the place of the image.
        ProjectData marker = richProject();
        marker.projectName = u"\u0001velmora-map-image\u0001"_s;
        marker.nodes[0].name = marker.projectName;
        QTest::newRow("name spelling the image marker") << marker;
        ProjectData extremes = richProject();
        extremes.nodes[0].x = std::numeric_limits<double>::max();
        extremes.nodes[0].y = std::numeric_limits<double>::denorm_min();
        extremes.nodes[1].x = 0.1 + 0.2;
        extremes.nodes[1].y = 12345678901234567890.0;
        extremes.nextCableId = std::numeric_limits<qint64>::min();
        extremes.schemaVersion = -3;
        QTest::newRow("extreme numbers") << extremes;
    }

    void roundTrip()
    {
        QFETCH(ProjectData, project);
        const Expected<ProjectData> decoded = decodeProject(encoded(project));
        QVERIFY2(decoded, qPrintable(decoded.error().message));
        QVERIFY(*decoded == project);
    }

    void readsWhatTheFormatAllows_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<ProjectData>("expected");

        ProjectData seven;
        seven.schemaVersion = 7;
        QJsonObject root = parse(encoded(ProjectData{}));
        root.insert("schemaVersion"_L1, 7);
        QTest::newRow("schemaVersion 7 kept") << toText(root) << seven;

        root = parse(encoded(ProjectData{}));
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
        root.insert("cables"_L1,
                    QJsonArray{QJsonObject{
                        {"id"_L1, 1},
                        {"points"_L1, QJsonArray{QJsonObject{{"type"_L1, u"free"_s},
                                                             {"x"_L1, 5},
                                                             {"y"_L1, 6},
                                                             {"nodeId"_L1, QJsonValue::Null},
                                                             {"anchorAngle"_L1, 0}}}}}});
        QTest::newRow("nodeId null") << toText(root) << freePoint;

        root = parse(encoded(ProjectData{}));
        root.insert("comment"_L1, u"from a later version"_s);
        root.insert("viewSettings"_L1, QJsonObject{{"zoom"_L1, 1},
                                                   {"panX"_L1, 0},
                                                   {"panY"_L1, 0},
                                                   {"mapOpacity"_L1, 1},
                                                   {"mapSaturation"_L1, 1},
                                                   {"rotation"_L1, 90}});
        QTest::newRow("unknown members") << toText(root) << ProjectData{};

        ProjectData whole;
        whole.nextNodeId = 3;
        QTest::newRow("whole number written as a decimal")
            << QByteArray(R"({"cables":[],"nextCableId":1,"nextNodeId":3.0,"nodes":[],
                "projectName":"Untitled","schemaVersion":1e0,"typeColors":[],
                "viewSettings":{"mapOpacity":1,"mapSaturation":1,"panX":0,"panY":0,"zoom":1}})")
            << whole;

        QJsonValue nested = QJsonObject{{"k"_L1, 1}};
        for (int i = 0; i < 500; ++i)
            nested = QJsonArray{QJsonObject{{"k"_L1, nested}}};
        root = parse(encoded(ProjectData{}));
        root.insert("future"_L1, nested);
        QTest::newRow("deeply nested unknown member") << toText(root) << ProjectData{};

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

    void unknownMemberIsDroppedOnSave()
    {
        QJsonObject root = parse(encoded(ProjectData{}));
        root.insert("extra"_L1, 42);
        const Expected<ProjectData> decoded = decodeProject(toText(root));
        QVERIFY(decoded);
        QVERIFY(!encoded(*decoded).contains("extra"));
    }

    void everyRequiredKeyIsRequired_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("key");
        for (const RequiredKey& k : requiredKeys())
            QTest::addRow("%s.%s", qPrintable(k.path), qPrintable(k.key)) << k.path << k.key;
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

        const auto replace = [](const QString& path, QJsonValue value) {
            return editedRich(path, [value](QJsonValue) { return value; });
        };

        QTest::newRow("empty") << QByteArray() << u"empty file"_s;
        QTest::newRow("whitespace only") << QByteArray(" \n\t ") << u"JSON syntax error"_s;
        QTest::newRow("array at top level") << QByteArray("[1, 2]") << u"top level"_s;
        QTest::newRow("number at top level") << QByteArray("42") << u"JSON syntax error"_s;
        QTest::newRow("invalid UTF-8")
            << QByteArray("{\"projectName\": \"\xff\xfe\"}") << u"JSON syntax error"_s;
        QTest::newRow("binary garbage")
            << QByteArray("\x00\x01\x02\x7f", 4) << u"JSON syntax error"_s;
        QTest::newRow("1e400 (infinite)")
            << replace(u"viewSettings.zoom"_s, 0).replace("\"zoom\": 0", "\"zoom\": 1e400")
            << u"JSON syntax error"_s;

        QByteArray deep;
        deep.append(QByteArray(100000, '['));
        deep.append(QByteArray(100000, ']'));
        QTest::newRow("100000 nested arrays") << deep << u"JSON syntax error"_s;
        QByteArray deepObjects;
        for (int i = 0; i < 100000; ++i)
            deepObjects.append("{\"a\":");
        QTest::newRow("100000 nested objects, unterminated")
            << deepObjects << u"JSON syntax error"_s;
        QTest::newRow("schemaVersion string")
            << replace(u"schemaVersion"_s, u"1"_s) << u"schemaVersion: expected an integer"_s;
        QTest::newRow("projectName number")
            << replace(u"projectName"_s, 5) << u"projectName: expected a string"_s;
        QTest::newRow("projectName null")
            << replace(u"projectName"_s, QJsonValue::Null) << u"projectName: expected a string"_s;
        QTest::newRow("nodes object")
            << replace(u"nodes"_s, QJsonObject()) << u"nodes: expected an array"_s;
        QTest::newRow("node not an object")
            << replace(u"nodes[2]"_s, 3) << u"nodes[2]: expected an object"_s;
        QTest::newRow("node x string")
            << replace(u"nodes[1].x"_s, u"1"_s) << u"nodes[1].x: expected a number"_s;
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
        QTest::newRow("nextCableId -1e30") << replace(u"nextCableId"_s, -1e30)
                                           << u"nextCableId: integer out of the 64-bit range"_s;
        QTest::newRow("nodeId fraction") << replace(u"cables[0].points[2].nodeId"_s, 2.25)
                                         << u"cables[0].points[2].nodeId: expected an integer"_s;
        QTest::newRow("nodeId string") << replace(u"cables[0].points[0].nodeId"_s, u"1"_s)
                                       << u"cables[0].points[0].nodeId: expected an integer"_s;
        QTest::newRow("points not an array") << replace(u"cables[0].points"_s, u"none"_s)
                                             << u"cables[0].points: expected an array"_s;
        QTest::newRow("point not an object") << replace(u"cables[0].points[1]"_s, QJsonArray())
                                             << u"cables[0].points[1]: expected an object"_s;
        QTest::newRow("map array")
            << replace(u"map"_s, QJsonArray()) << u"map: expected an object"_s;
        QTest::newRow("map false") << replace(u"map"_s, false) << u"map: expected an object"_s;
        QTest::newRow("imageData number")
            << replace(u"map.imageData"_s, 12) << u"map.imageData: expected a string"_s;
        QTest::newRow("imageData bad character")
            << replace(u"map.imageData"_s, u"AAAA*AAA"_s) << u"map.imageData: invalid Base64"_s;
        QTest::newRow("imageData line break")
            << replace(u"map.imageData"_s, u"AAAA\nAAAA"_s) << u"map.imageData: invalid Base64"_s;
        QTest::newRow("imageData non-ASCII")
            << replace(u"map.imageData"_s, u"AAAAé==="_s) << u"map.imageData: invalid Base64"_s;
        QTest::newRow("imageData padding inside")
            << replace(u"map.imageData"_s, u"AA==AAAA"_s) << u"map.imageData: invalid Base64"_s;
        QTest::newRow("imageData URL alphabet")
            << replace(u"map.imageData"_s, u"ab-_"_s) << u"map.imageData: invalid Base64"_s;
        for (const QString& text : {u"QQ"_s, u"Q"_s, u"QUJ"_s, u"QQ="_s, u"Q==="_s, u"===="_s,
                                    u"QR=="_s, u"QUI=QUI="_s, u" QQ=="_s, u"QQ==\n"_s})
            QTest::addRow("imageData \"%s\"", qPrintable(text))
                << replace(u"map.imageData"_s, text) << u"map.imageData: invalid Base64"_s;
        QTest::newRow("viewSettings array")
            << replace(u"viewSettings"_s, QJsonArray()) << u"viewSettings: expected an object"_s;
        QTest::newRow("view zoom null") << replace(u"viewSettings.zoom"_s, QJsonValue::Null)
                                        << u"viewSettings.zoom: expected a number"_s;
        QTest::newRow("type colour red string") << replace(u"typeColors[0].red"_s, u"0.5"_s)
                                                << u"typeColors[0].red: expected a number"_s;
        QTest::newRow("typeColors null")
            << replace(u"typeColors"_s, QJsonValue::Null) << u"typeColors: expected an array"_s;
    }

    void refusesBadInput()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        const Expected<ProjectData> decoded = decodeProject(text);
        QVERIFY2(!decoded, "a broken file was read");
        QVERIFY2(decoded.error().message.startsWith(message), qPrintable(decoded.error().message));
    }

    void syntaxErrorNamesTheOffset()
    {
        const QByteArray text = encoded(richProject());
        const Expected<ProjectData> decoded = decodeProject(text.left(text.size() / 2));
        QVERIFY(!decoded);
        QVERIFY2(decoded.error().message.contains(u"offset"_s),
                 qPrintable(decoded.error().message));
    }

    void everyTruncationIsRefused()
    {
        // Cutting the file anywhere (except trailing whitespace) must fail the whole read.
        const QByteArray text = encoded(richProject()).trimmed();
        for (qsizetype length = 0; length < text.size(); length += 7) {
            const Expected<ProjectData> decoded = decodeProject(text.left(length));
            QVERIFY2(!decoded,
                     qPrintable(u"read succeeded at length "_s + QString::number(length)));
        }
    }

    void imageShortcutAgreesWithTheJsonTree_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("readable");

        const QByteArray b64 = QByteArray("velmora map bytes").toBase64(); // "dmVs...cw=="
        const QByteArray tail =
            q("'nextCableId':1,'nextNodeId':1,'nodes':[],'projectName':'P',\n            "
              "'schemaVersion':1,'typeColors':[],'viewSettings':{'mapOpacity':1,'mapSaturation':1,"
              "\n            'panX':0,'panY':0,'zoom':1}");
        const auto file = [&](const QByteArray& members) {
            return "{\"cables\":[]," + members + "," + tail + "}";
        };
        const QByteArray map =
            q("'map':{'positionX':1,'positionY':2,'scale':3,'imageData':'") + b64 + "\"}";

        QTest::newRow("plain") << file(map) << true;
        QTest::newRow("escaped slashes")
            << file(
                   "\"map\":{\"positionX\":1,\"positionY\":2,\"scale\":3,\"imageData\":\"ab\\/c\"}")
            << true;
        QTest::newRow("map twice, last without image")
            << file(map + q(",'map':{'positionX':1,'positionY':2,'scale':3}")) << true;
        QTest::newRow("map twice, last null") << file(map + q(",'map':null")) << true;
        QTest::newRow("map spelled with an escape")
            << file(map + ",\"\\u006dap\":{\"positionX\":5,\"positionY\":6,\"scale\":7}") << true;
        QTest::newRow("imageData twice")
            << file(q("'map':{'positionX':1,'positionY':2,'scale':3,'imageData':'") + b64 +
                    q("','imageData':''}"))
            << true;
        QTest::newRow("imageData twice, second escaped")
            << file(q("'map':{'positionX':1,'positionY':2,'scale':3,'imageData':'") + b64 +
                    "\",\"\\u0069mageData\":\"\"}")
            << true;
        QTest::newRow("imageData number")
            << file(q("'map':{'positionX':1,'positionY':2,'scale':3,'imageData':5}")) << false;
        QTest::newRow("imageData deeper")
            << file(q("'map':{'positionX':1,'positionY':2,'scale':3,'x':{'imageData':'") + b64 +
                    "\"}}")
            << true;
        QTest::newRow("key map inside a node")
            << file(q("'map':{'positionX':1,'positionY':2,'scale':3},'extra':[{'map':{'imageData':'"
                      "AAAA'}}]"))
            << true;
        QTest::newRow("string value map")
            << file(q("'name':'map','also':{'imageData':'") + b64 + q("'},'map':null")) << true;
        QTest::newRow("quote escaped in a key before") << file("\"a\\\"b\":1," + map) << true;
        QTest::newRow("raw tab in the Base64")
            << file(q("'map':{'positionX':1,'positionY':2,'scale':3,'imageData':'AAAA\tAAAA'}"))
            << false;
        QTest::newRow("raw line break in the Base64")
            << file("\"map\":{\"positionX\":1,\"positionY\":2,\"scale\":3,\"imageData\":"
                    "\"AAAA\nAAAA\"}")
            << false;
        QTest::newRow("non-ASCII in the Base64")
            << file(q("'map':{'positionX':1,'positionY':2,'scale':3,'imageData':'AAAAé'}"))
            << false;
        QTest::newRow("bad Base64") << file(map).replace(b64, "AA=A") << false;
        QTest::newRow("Base64 without padding") << file(map).replace(b64, "QQ") << false;
        QTest::newRow("one Base64 character") << file(map).replace(b64, "Q") << false;
        QTest::newRow("Base64 with spare bits set") << file(map).replace(b64, "QR==") << false;
        QTest::newRow("padded Base64") << file(map).replace(b64, "QQ==") << true;
        QTest::newRow("syntax error after the image") << file(map).replace("\"P\"", "P") << false;
        QTest::newRow("missing key after the image")
            << file(map).replace("\"nextNodeId\":1,", "") << false;
        QTest::newRow("trailing garbage") << file(map) + "x" << false;
        QTest::newRow("two documents") << file(map) + file(map) << false;
        QTest::newRow("unterminated image string")
            << QByteArray(q("{'map':{'imageData':'AAAA")) << false;
        QTest::newRow("array at top level") << "[" + file(map) + "]" << false;
        QTest::newRow("with whitespace") << encoded(richProject()) << true;
    }

    void imageShortcutAgreesWithTheJsonTree()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, readable);
        const Expected<ProjectData> fast = decodeProject(text);
        const Expected<ProjectData> plain = detail::decodeProjectThroughJsonTree(text);
        QCOMPARE(bool(fast), readable);
        QCOMPARE(bool(plain), readable);
        QCOMPARE(fast.error(), plain.error());
        if (readable)
            QVERIFY(*fast == *plain);
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
        p.nodes[0].scale = -inf;
        QTest::newRow("node scale") << p << u"nodes[0].scale"_s;
        p = richProject();
        p.cables[0].points[1].y = inf;
        QTest::newRow("point y") << p << u"cables[0].points[1].y"_s;
        p = richProject();
        p.cables[0].points[2].anchorAngle = nan;
        QTest::newRow("anchor angle") << p << u"cables[0].points[2].anchorAngle"_s;
        p = richProject();
        p.map->scale = inf;
        QTest::newRow("map scale") << p << u"map.scale"_s;
        p = richProject();
        p.viewSettings.panY = nan;
        QTest::newRow("pan y") << p << u"viewSettings.panY"_s;
        p = richProject();
        p.viewSettings.zoom = inf;
        QTest::newRow("zoom") << p << u"viewSettings.zoom"_s;
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
};

QTEST_GUILESS_MAIN(TestProjectCodec)
#include "tst_project_codec.moc"
