// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/project_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// ---------------------------------------------------------------------------------------------
// Writing

// Every double of the project must be finite before anything is written: JSON has no spelling
// for infinity or NaN, and a half-written file is worse than none.
class FiniteCheck {
public:
    bool check(const QString& path, double value)
    {
        if (!m_error.isEmpty() || std::isfinite(value))
            return m_error.isEmpty();
        m_error = path + u": not a finite number"_s;
        return false;
    }
    const QString& error() const { return m_error; }

private:
    QString m_error;
};

QString indexed(const QString& list, qsizetype index)
{
    return list + u'[' + QString::number(index) + u']';
}

QString findNonFinite(const ProjectData& project)
{
    FiniteCheck c;
    for (qsizetype i = 0; i < project.nodes.size(); ++i) {
        const NodeData& node = project.nodes.at(i);
        const QString path = indexed(u"nodes"_s, i);
        c.check(path + u".x"_s, node.x);
        c.check(path + u".y"_s, node.y);
        c.check(path + u".scale"_s, node.scale);
        if (!c.error().isEmpty())
            return c.error();
    }
    for (qsizetype i = 0; i < project.cables.size(); ++i) {
        const CableData& cable = project.cables.at(i);
        for (qsizetype j = 0; j < cable.points.size(); ++j) {
            const CablePointData& point = cable.points.at(j);
            const QString path = indexed(u"cables"_s, i) + u'.' + indexed(u"points"_s, j);
            c.check(path + u".x"_s, point.x);
            c.check(path + u".y"_s, point.y);
            c.check(path + u".anchorAngle"_s, point.anchorAngle);
            if (!c.error().isEmpty())
                return c.error();
        }
    }
    if (project.map) {
        c.check(u"map.positionX"_s, project.map->positionX);
        c.check(u"map.positionY"_s, project.map->positionY);
        c.check(u"map.scale"_s, project.map->scale);
    }
    const ViewSettings& view = project.viewSettings;
    c.check(u"viewSettings.zoom"_s, view.zoom);
    c.check(u"viewSettings.panX"_s, view.panX);
    c.check(u"viewSettings.panY"_s, view.panY);
    c.check(u"viewSettings.mapOpacity"_s, view.mapOpacity);
    c.check(u"viewSettings.mapSaturation"_s, view.mapSaturation);
    for (qsizetype i = 0; i < project.typeColors.size(); ++i) {
        const TypeColorData& color = project.typeColors.at(i);
        const QString path = indexed(u"typeColors"_s, i);
        c.check(path + u".red"_s, color.red);
        c.check(path + u".green"_s, color.green);
        c.check(path + u".blue"_s, color.blue);
    }
    return c.error();
}

QJsonObject nodeToJson(const NodeData& node)
{
    QJsonObject o;
    o.insert(u"id"_s, node.id);
    o.insert(u"name"_s, node.name);
    o.insert(u"type"_s, node.type);
    o.insert(u"ip"_s, node.ip);
    o.insert(u"x"_s, node.x);
    o.insert(u"y"_s, node.y);
    o.insert(u"scale"_s, node.scale);
    return o;
}

QJsonObject pointToJson(const CablePointData& point)
{
    QJsonObject o;
    o.insert(u"type"_s, point.type);
    o.insert(u"x"_s, point.x);
    o.insert(u"y"_s, point.y);
    if (point.nodeId)
        o.insert(u"nodeId"_s, *point.nodeId);
    o.insert(u"anchorAngle"_s, point.anchorAngle);
    return o;
}

QJsonObject cableToJson(const CableData& cable)
{
    QJsonArray points;
    for (const CablePointData& point : cable.points)
        points.append(pointToJson(point));
    QJsonObject o;
    o.insert(u"id"_s, cable.id);
    o.insert(u"points"_s, points);
    return o;
}

QJsonObject viewToJson(const ViewSettings& view)
{
    QJsonObject o;
    o.insert(u"zoom"_s, view.zoom);
    o.insert(u"panX"_s, view.panX);
    o.insert(u"panY"_s, view.panY);
    o.insert(u"mapOpacity"_s, view.mapOpacity);
    o.insert(u"mapSaturation"_s, view.mapSaturation);
    return o;
}

QJsonObject typeColorToJson(const TypeColorData& color)
{
    QJsonObject o;
    o.insert(u"type"_s, color.type);
    o.insert(u"red"_s, color.red);
    o.insert(u"green"_s, color.green);
    o.insert(u"blue"_s, color.blue);
    return o;
}

// Stands in for the Base64 text of the map image while the rest of the document is serialised.
// The image is by far the largest member; splicing its Base64 into the finished text avoids
// passing tens of megabytes through the JSON tree (stored once, converted to UTF-16 for escaping,
// converted back). Base64 needs no JSON escaping, so the spliced text is exactly what the JSON
// writer would have produced. A control character keeps the marker's written form ("\u0001")
// apart from anything a plain string could produce; the splice is used only when the marker
// occurs exactly once in the output.
const QString imagePlaceholder = u"\u0001velmora-map-image\u0001"_s;
constexpr QByteArrayView imagePlaceholderJson = "\"\\u0001velmora-map-image\\u0001\"";

QByteArray serialise(const ProjectData& project, bool spliceImage)
{
    QJsonArray nodes;
    for (const NodeData& node : project.nodes)
        nodes.append(nodeToJson(node));
    QJsonArray cables;
    for (const CableData& cable : project.cables)
        cables.append(cableToJson(cable));
    QJsonArray typeColors;
    for (const TypeColorData& color : project.typeColors)
        typeColors.append(typeColorToJson(color));

    QJsonObject root;
    root.insert(u"schemaVersion"_s, project.schemaVersion);
    root.insert(u"projectName"_s, project.projectName);
    root.insert(u"nodes"_s, nodes);
    root.insert(u"cables"_s, cables);
    if (project.map) {
        const MapData& map = *project.map;
        QJsonObject m;
        if (map.imageData) {
            if (spliceImage)
                m.insert(u"imageData"_s, imagePlaceholder);
            else
                m.insert(u"imageData"_s, QString::fromLatin1(map.imageData->toBase64()));
        }
        m.insert(u"positionX"_s, map.positionX);
        m.insert(u"positionY"_s, map.positionY);
        m.insert(u"scale"_s, map.scale);
        root.insert(u"map"_s, m);
    }
    root.insert(u"nextNodeId"_s, project.nextNodeId);
    root.insert(u"nextCableId"_s, project.nextCableId);
    root.insert(u"viewSettings"_s, viewToJson(project.viewSettings));
    root.insert(u"typeColors"_s, typeColors);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

// ---------------------------------------------------------------------------------------------
// Reading

QString quoted(QLatin1StringView key)
{
    return u'"' + key + u'"';
}

// Reads one record after another; the first failure is kept and ends the read.
class Reader {
public:
    const QString& error() const { return m_error; }

    bool fail(const QString& path, const QString& what)
    {
        m_error = (path.isEmpty() ? u"top level"_s : path) + u": "_s + what;
        return false;
    }

    static QString member(const QString& path, QLatin1StringView key)
    {
        return path.isEmpty() ? QString(key) : path + u'.' + key;
    }

    // A required member: present, whatever its value.
    bool require(const QJsonObject& o, const QString& path, QLatin1StringView key, QJsonValue& out)
    {
        const auto it = o.constFind(key);
        if (it == o.constEnd())
            return fail(path, u"missing key "_s + quoted(key));
        out = it.value();
        return true;
    }

    bool readString(const QJsonObject& o, const QString& path, QLatin1StringView key, QString& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isString())
            return fail(member(path, key), u"expected a string"_s);
        out = v.toString();
        return true;
    }

    bool readDouble(const QJsonObject& o, const QString& path, QLatin1StringView key, double& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isDouble())
            return fail(member(path, key), u"expected a number"_s);
        out = v.toDouble();
        return true;
    }

    bool integerValue(const QJsonValue& v, const QString& path, qint64& out)
    {
        if (!v.isDouble())
            return fail(path, u"expected an integer"_s);
        // toInteger() hands back its default unless the number is whole and fits in 64 bits;
        // two different defaults tell that case apart from a genuine 0 or 1.
        const qint64 a = v.toInteger(0);
        const qint64 b = v.toInteger(1);
        if (a != b) {
            const double d = v.toDouble();
            if (std::trunc(d) == d)
                return fail(path, u"integer out of the 64-bit range"_s);
            return fail(path, u"expected an integer, found "_s +
                                  QString::number(d, 'g', QLocale::FloatingPointShortest));
        }
        out = a;
        return true;
    }

    bool readInteger(const QJsonObject& o, const QString& path, QLatin1StringView key, qint64& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        return integerValue(v, member(path, key), out);
    }

    bool readArray(const QJsonObject& o, const QString& path, QLatin1StringView key,
                   QJsonArray& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isArray())
            return fail(member(path, key), u"expected an array"_s);
        out = v.toArray();
        return true;
    }

    bool readObject(const QJsonObject& o, const QString& path, QLatin1StringView key,
                    QJsonObject& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isObject())
            return fail(member(path, key), u"expected an object"_s);
        out = v.toObject();
        return true;
    }

    bool objectElement(const QJsonArray& array, qsizetype i, const QString& path, QJsonObject& out)
    {
        const QJsonValue v = array.at(i);
        if (!v.isObject())
            return fail(path, u"expected an object"_s);
        out = v.toObject();
        return true;
    }

    bool readNode(const QJsonObject& o, const QString& path, NodeData& node)
    {
        return readInteger(o, path, "id"_L1, node.id) &&
               readString(o, path, "name"_L1, node.name) &&
               readString(o, path, "type"_L1, node.type) && readString(o, path, "ip"_L1, node.ip) &&
               readDouble(o, path, "x"_L1, node.x) && readDouble(o, path, "y"_L1, node.y) &&
               readDouble(o, path, "scale"_L1, node.scale);
    }

    bool readPoint(const QJsonObject& o, const QString& path, CablePointData& point)
    {
        if (!(readString(o, path, "type"_L1, point.type) && readDouble(o, path, "x"_L1, point.x) &&
              readDouble(o, path, "y"_L1, point.y) &&
              readDouble(o, path, "anchorAngle"_L1, point.anchorAngle)))
            return false;
        const QJsonValue v = o.value("nodeId"_L1);
        if (v.isUndefined() || v.isNull())
            return true;
        qint64 id = 0;
        if (!integerValue(v, member(path, "nodeId"_L1), id))
            return false;
        point.nodeId = id;
        return true;
    }

    bool readCable(const QJsonObject& o, const QString& path, CableData& cable)
    {
        QJsonArray points;
        if (!(readInteger(o, path, "id"_L1, cable.id) && readArray(o, path, "points"_L1, points)))
            return false;
        cable.points.reserve(points.size());
        const QString pointsPath = member(path, "points"_L1);
        for (qsizetype i = 0; i < points.size(); ++i) {
            const QString pointPath = indexed(pointsPath, i);
            QJsonObject p;
            CablePointData point;
            if (!objectElement(points, i, pointPath, p) || !readPoint(p, pointPath, point))
                return false;
            cable.points.append(std::move(point));
        }
        return true;
    }

    bool readMap(const QJsonObject& o, MapData& map)
    {
        const QString path = u"map"_s;
        if (!(readDouble(o, path, "positionX"_L1, map.positionX) &&
              readDouble(o, path, "positionY"_L1, map.positionY) &&
              readDouble(o, path, "scale"_L1, map.scale)))
            return false;
        const QJsonValue v = o.value("imageData"_L1);
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isString())
            return fail(u"map.imageData"_s, u"expected a string"_s);
        // Characters outside Latin-1 become '?', which the strict decoder rejects like any
        // other character outside the Base64 alphabet.
        auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return fail(u"map.imageData"_s, u"invalid Base64"_s);
        map.imageData = std::move(decoded.decoded);
        return true;
    }

    bool readView(const QJsonObject& o, ViewSettings& view)
    {
        const QString path = u"viewSettings"_s;
        return readDouble(o, path, "zoom"_L1, view.zoom) &&
               readDouble(o, path, "panX"_L1, view.panX) &&
               readDouble(o, path, "panY"_L1, view.panY) &&
               readDouble(o, path, "mapOpacity"_L1, view.mapOpacity) &&
               readDouble(o, path, "mapSaturation"_L1, view.mapSaturation);
    }

    bool readTypeColor(const QJsonObject& o, const QString& path, TypeColorData& color)
    {
        return readString(o, path, "type"_L1, color.type) &&
               readDouble(o, path, "red"_L1, color.red) &&
               readDouble(o, path, "green"_L1, color.green) &&
               readDouble(o, path, "blue"_L1, color.blue);
    }

    template <typename Record, typename ReadOne>
    bool readList(const QJsonObject& root, QLatin1StringView key, QList<Record>& out,
                  ReadOne readOne)
    {
        QJsonArray array;
        if (!readArray(root, QString(), key, array))
            return false;
        out.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QString path = indexed(QString(key), i);
            QJsonObject o;
            Record record;
            if (!objectElement(array, i, path, o) || !(this->*readOne)(o, path, record))
                return false;
            out.append(std::move(record));
        }
        return true;
    }

    bool readProject(const QJsonObject& root, ProjectData& project)
    {
        if (!(readInteger(root, QString(), "schemaVersion"_L1, project.schemaVersion) &&
              readString(root, QString(), "projectName"_L1, project.projectName) &&
              readList(root, "nodes"_L1, project.nodes, &Reader::readNode) &&
              readList(root, "cables"_L1, project.cables, &Reader::readCable)))
            return false;
        const QJsonValue map = root.value("map"_L1);
        if (!map.isUndefined() && !map.isNull()) {
            if (!map.isObject())
                return fail(u"map"_s, u"expected an object"_s);
            MapData data;
            if (!readMap(map.toObject(), data))
                return false;
            project.map = std::move(data);
        }
        QJsonObject view;
        return readInteger(root, QString(), "nextNodeId"_L1, project.nextNodeId) &&
               readInteger(root, QString(), "nextCableId"_L1, project.nextCableId) &&
               readObject(root, QString(), "viewSettings"_L1, view) &&
               readView(view, project.viewSettings) &&
               readList(root, "typeColors"_L1, project.typeColors, &Reader::readTypeColor);
    }

private:
    QString m_error;
};

} // namespace

Expected<QByteArray> encodeProject(const ProjectData& project)
{
    if (const QString error = findNonFinite(project); !error.isEmpty())
        return Error{error};

    if (!project.map || !project.map->imageData || project.map->imageData->isEmpty())
        return serialise(project, false);

    QByteArray text = serialise(project, true);
    const qsizetype at = text.indexOf(imagePlaceholderJson);
    if (at < 0 || text.indexOf(imagePlaceholderJson, at + 1) >= 0)
        return serialise(project, false); // a string of the project spells the marker

    const QByteArray& image = *project.map->imageData;
    const qsizetype base64Size = (image.size() + 2) / 3 * 4;
    QByteArray out;
    out.reserve(text.size() - imagePlaceholderJson.size() + base64Size + 2);
    out.append(QByteArrayView(text).first(at));
    out.append('"');
    out.append(image.toBase64());
    out.append('"');
    out.append(QByteArrayView(text).sliced(at + imagePlaceholderJson.size()));
    return out;
}

Expected<ProjectData> decodeProject(const QByteArray& contents)
{
    if (contents.isEmpty())
        return Error{u"empty file: expected a JSON object"_s};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(contents, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Error{u"JSON syntax error at offset "_s + QString::number(parseError.offset) +
                     u": "_s + parseError.errorString()};
    if (!document.isObject())
        return Error{u"top level: expected a JSON object"_s};

    Reader reader;
    ProjectData project;
    if (!reader.readProject(document.object(), project))
        return Error{reader.error()};
    return project;
}

} // namespace velmora
