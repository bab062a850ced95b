// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/project_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// ---------------------------------------------------------------------------------------------
// Writing

// Every double of the project must be finite before anything is written: JSON has no spelling
// for infinity or NaN, and a half-written file is worse than none. The first offending field is
// named; paths are spelled out only then.
QString nonFinite(const QString& record,
                  std::initializer_list<std::pair<const char*, double>> fields)
{
    for (const auto& [name, value] : fields) {
        if (!std::isfinite(value))
            return record + u'.' + QLatin1StringView(name) + u": not a finite number"_s;
    }
    return QString();
}

QString element(const char* list, qsizetype index)
{
    return QLatin1StringView(list) + u'[' + QString::number(index) + u']';
}

QString findNonFinite(const ProjectData& project)
{
    QString error;
    for (qsizetype i = 0; i < project.nodes.size() && error.isEmpty(); ++i) {
        const NodeData& n = project.nodes.at(i);
        if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.scale))
            error = nonFinite(element("nodes", i), {{"x", n.x}, {"y", n.y}, {"scale", n.scale}});
    }
    for (qsizetype i = 0; i < project.cables.size() && error.isEmpty(); ++i) {
        const QList<CablePointData>& points = project.cables.at(i).points;
        for (qsizetype j = 0; j < points.size() && error.isEmpty(); ++j) {
            const CablePointData& p = points.at(j);
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.anchorAngle))
                error = nonFinite(element("cables", i) + u'.' + element("points", j),
                                  {{"x", p.x}, {"y", p.y}, {"anchorAngle", p.anchorAngle}});
        }
    }
    if (project.map && error.isEmpty()) {
        const MapData& m = *project.map;
        error = nonFinite(
            u"map"_s, {{"positionX", m.positionX}, {"positionY", m.positionY}, {"scale", m.scale}});
    }
    if (error.isEmpty()) {
        const ViewSettings& v = project.viewSettings;
        error = nonFinite(u"viewSettings"_s, {{"zoom", v.zoom},
                                              {"panX", v.panX},
                                              {"panY", v.panY},
                                              {"mapOpacity", v.mapOpacity},
                                              {"mapSaturation", v.mapSaturation}});
    }
    for (qsizetype i = 0; i < project.typeColors.size() && error.isEmpty(); ++i) {
        const TypeColorData& c = project.typeColors.at(i);
        error = nonFinite(element("typeColors", i),
                          {{"red", c.red}, {"green", c.green}, {"blue", c.blue}});
    }
    return error;
}

// Writes the text exactly as QJsonDocument::toJson(Indented) would write the same records (four
// spaces per level, "key": value, members in ascending key order, a line break after the
// closing brace), without building a JSON tree first. The tree costs more than the rest of the
// encoding together for a large project, and its image string would be copied three times.
class JsonWriter {
public:
    explicit JsonWriter(qsizetype reserve) { m_out.reserve(reserve); }

    QByteArray take() { return std::move(m_out); }

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // Starts a member or an array element: the comma after the previous one, the indentation.
    void key(const char* name)
    {
        item();
        m_out.append('"').append(name).append("\": ");
    }
    void item()
    {
        if (m_hasItem.back())
            m_out.append(",\n");
        m_hasItem.back() = true;
        indent();
    }

    void integer(qint64 value) { m_out.append(QByteArray::number(value)); }

    // QJsonValue keeps a whole number of magnitude up to 2^53 as an integer (so -0.0 becomes 0);
    // every other double gets the shortest form that reads back to the same value.
    void number(double value)
    {
        constexpr double exactIntegers = 9007199254740992.0; // 2^53
        if (std::trunc(value) == value && std::fabs(value) <= exactIntegers)
            m_out.append(QByteArray::number(qint64(value)));
        else
            m_out.append(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
    }

    // UTF-8 with the escapes QJsonDocument uses: \" \\ \b \f \n \r \t, \u00XX for other control
    // characters, and \uXXXX for a surrogate without its partner (which UTF-8 cannot carry).
    void string(const QString& text)
    {
        static constexpr char hex[] = "0123456789abcdef";
        m_out.append('"');
        const char16_t* p = QStringView(text).utf16();
        const char16_t* const end = p + text.size();
        while (p != end) {
            const char16_t u = *p++;
            if (u < 0x80) {
                if (u >= 0x20 && u != u'"' && u != u'\\') {
                    m_out.append(char(u));
                    continue;
                }
                m_out.append('\\');
                switch (u) {
                case u'"':
                    m_out.append('"');
                    break;
                case u'\\':
                    m_out.append('\\');
                    break;
                case u'\b':
                    m_out.append('b');
                    break;
                case u'\f':
                    m_out.append('f');
                    break;
                case u'\n':
                    m_out.append('n');
                    break;
                case u'\r':
                    m_out.append('r');
                    break;
                case u'\t':
                    m_out.append('t');
                    break;
                default:
                    m_out.append("u00").append(hex[u >> 4]).append(hex[u & 0xf]);
                }
            } else if (u < 0x800) {
                m_out.append(char(0xc0 | (u >> 6))).append(char(0x80 | (u & 0x3f)));
            } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
                const char32_t c = QChar::surrogateToUcs4(u, *p++);
                m_out.append(char(0xf0 | (c >> 18)))
                    .append(char(0x80 | ((c >> 12) & 0x3f)))
                    .append(char(0x80 | ((c >> 6) & 0x3f)))
                    .append(char(0x80 | (c & 0x3f)));
            } else if (QChar::isSurrogate(u)) {
                m_out.append("\\u")
                    .append(hex[u >> 12])
                    .append(hex[(u >> 8) & 0xf])
                    .append(hex[(u >> 4) & 0xf])
                    .append(hex[u & 0xf]);
            } else {
                m_out.append(char(0xe0 | (u >> 12)))
                    .append(char(0x80 | ((u >> 6) & 0x3f)))
                    .append(char(0x80 | (u & 0x3f)));
            }
        }
        m_out.append('"');
    }

    // Standard Base64 with padding, written straight into the output.
    void base64(const QByteArray& bytes)
    {
        static constexpr char alphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
        const qsizetype n = bytes.size();
        const qsizetype start = m_out.size();
        m_out.resize(start + 2 + (n + 2) / 3 * 4);
        char* o = m_out.data() + start;
        *o++ = '"';
        qsizetype i = 0;
        for (; i + 3 <= n; i += 3) {
            const quint32 v = quint32(in[i]) << 16 | quint32(in[i + 1]) << 8 | in[i + 2];
            *o++ = alphabet[v >> 18];
            *o++ = alphabet[(v >> 12) & 0x3f];
            *o++ = alphabet[(v >> 6) & 0x3f];
            *o++ = alphabet[v & 0x3f];
        }
        if (i < n) {
            const bool two = i + 1 < n;
            const quint32 v = quint32(in[i]) << 16 | (two ? quint32(in[i + 1]) << 8 : 0u);
            *o++ = alphabet[v >> 18];
            *o++ = alphabet[(v >> 12) & 0x3f];
            *o++ = two ? alphabet[(v >> 6) & 0x3f] : '=';
            *o++ = '=';
        }
        *o = '"';
    }

private:
    void open(char bracket)
    {
        m_out.append(bracket).append('\n');
        m_hasItem.push_back(false);
    }
    void close(char bracket)
    {
        const bool any = m_hasItem.back();
        m_hasItem.pop_back();
        if (any)
            m_out.append('\n');
        indent();
        m_out.append(bracket);
    }
    void indent() { m_out.append(QByteArray(4 * qsizetype(m_hasItem.size()), ' ')); }

    QByteArray m_out;
    std::vector<bool> m_hasItem; // per open level: has it an item yet
};

void writeNode(JsonWriter& w, const NodeData& node)
{
    w.beginObject();
    w.key("id");
    w.integer(node.id);
    w.key("ip");
    w.string(node.ip);
    w.key("name");
    w.string(node.name);
    w.key("scale");
    w.number(node.scale);
    w.key("type");
    w.string(node.type);
    w.key("x");
    w.number(node.x);
    w.key("y");
    w.number(node.y);
    w.endObject();
}

void writeCable(JsonWriter& w, const CableData& cable)
{
    w.beginObject();
    w.key("id");
    w.integer(cable.id);
    w.key("points");
    w.beginArray();
    for (const CablePointData& point : cable.points) {
        w.item();
        w.beginObject();
        w.key("anchorAngle");
        w.number(point.anchorAngle);
        if (point.nodeId) {
            w.key("nodeId");
            w.integer(*point.nodeId);
        }
        w.key("type");
        w.string(point.type);
        w.key("x");
        w.number(point.x);
        w.key("y");
        w.number(point.y);
        w.endObject();
    }
    w.endArray();
    w.endObject();
}

QByteArray serialise(const ProjectData& project)
{
    // About 250 bytes per node or cable point and 4/3 of the image: one allocation in practice.
    qsizetype points = 0;
    for (const CableData& cable : project.cables)
        points += cable.points.size() + 1;
    const qsizetype imageSize =
        project.map && project.map->imageData ? project.map->imageData->size() : 0;
    JsonWriter w(4096 + 250 * (project.nodes.size() + points + project.typeColors.size()) +
                 (imageSize + 2) / 3 * 4);

    w.beginObject();
    w.key("cables");
    w.beginArray();
    for (const CableData& cable : project.cables) {
        w.item();
        writeCable(w, cable);
    }
    w.endArray();
    if (project.map) {
        const MapData& map = *project.map;
        w.key("map");
        w.beginObject();
        if (map.imageData) {
            w.key("imageData");
            w.base64(*map.imageData);
        }
        w.key("positionX");
        w.number(map.positionX);
        w.key("positionY");
        w.number(map.positionY);
        w.key("scale");
        w.number(map.scale);
        w.endObject();
    }
    w.key("nextCableId");
    w.integer(project.nextCableId);
    w.key("nextNodeId");
    w.integer(project.nextNodeId);
    w.key("nodes");
    w.beginArray();
    for (const NodeData& node : project.nodes) {
        w.item();
        writeNode(w, node);
    }
    w.endArray();
    w.key("projectName");
    w.string(project.projectName);
    w.key("schemaVersion");
    w.integer(project.schemaVersion);
    w.key("typeColors");
    w.beginArray();
    for (const TypeColorData& color : project.typeColors) {
        w.item();
        w.beginObject();
        w.key("blue");
        w.number(color.blue);
        w.key("green");
        w.number(color.green);
        w.key("red");
        w.number(color.red);
        w.key("type");
        w.string(color.type);
        w.endObject();
    }
    w.endArray();
    const ViewSettings& view = project.viewSettings;
    w.key("viewSettings");
    w.beginObject();
    w.key("mapOpacity");
    w.number(view.mapOpacity);
    w.key("mapSaturation");
    w.number(view.mapSaturation);
    w.key("panX");
    w.number(view.panX);
    w.key("panY");
    w.number(view.panY);
    w.key("zoom");
    w.number(view.zoom);
    w.endObject();
    w.endObject();
    QByteArray text = w.take();
    text.append('\n');
    return text;
}

// ---------------------------------------------------------------------------------------------
// Reading

// The image bytes of standard Base64 with padding, read strictly: whole groups of four
// characters of the standard alphabet, "=" only as the last one or two, and no bits set past the
// last byte ("QR==" would also give "A", but only "QQ==" is its encoding). Nothing for any other
// text: a lenient read would turn a damaged file into a different image.
std::optional<QByteArray> decodeBase64(const QByteArray& text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const qsizetype padding = text.endsWith("==") ? 2 : text.endsWith('=') ? 1 : 0;
    if (padding > 0) {
        static constexpr QByteArrayView alphabet =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const qsizetype last = alphabet.indexOf(text.at(text.size() - padding - 1));
        if (last < 0 || (last & (padding == 2 ? 0x0F : 0x03)) != 0)
            return std::nullopt;
    }
    return std::move(decoded.decoded);
}

// Where a value sits in the document ("cables[0].points[2].nodeId"). Built as a chain on the
// stack and spelled out only for an error message, so a successful read allocates no paths.
struct Path {
    const Path* parent = nullptr;
    QLatin1StringView key; // the member's name; empty for an array element
    qsizetype index = -1;  // the element's index; -1 for a member

    Path member(QLatin1StringView name) const { return Path{this, name, -1}; }
    Path element(qsizetype i) const { return Path{this, {}, i}; }

    QString toString() const
    {
        if (!parent)
            return QString();
        const QString base = parent->toString();
        if (index >= 0)
            return base + u'[' + QString::number(index) + u']';
        return base.isEmpty() ? QString(key) : base + u'.' + key;
    }
};

// Reads one record after another; the first failure is kept and ends the read.
class Reader {
public:
    // When the map image was already decoded straight from the file bytes (see decodeProject),
    // the document holds an empty string in its place.
    explicit Reader(std::optional<QByteArray> predecodedImage = std::nullopt)
        : m_predecodedImage(std::move(predecodedImage))
    {
    }

    const QString& error() const { return m_error; }

    bool fail(const Path& path, const QString& what)
    {
        const QString where = path.toString();
        m_error = (where.isEmpty() ? u"top level"_s : where) + u": "_s + what;
        return false;
    }

    // A required member: present, whatever its value.
    bool require(const QJsonObject& o, const Path& path, QLatin1StringView key, QJsonValue& out)
    {
        const auto it = o.constFind(key);
        if (it == o.constEnd())
            return fail(path, u"missing key \""_s + key + u'"');
        out = it.value();
        return true;
    }

    bool readString(const QJsonObject& o, const Path& path, QLatin1StringView key, QString& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isString())
            return fail(path.member(key), u"expected a string"_s);
        out = v.toString();
        return true;
    }

    bool readDouble(const QJsonObject& o, const Path& path, QLatin1StringView key, double& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isDouble())
            return fail(path.member(key), u"expected a number"_s);
        out = v.toDouble();
        return true;
    }

    bool integerValue(const QJsonValue& v, const Path& path, qint64& out)
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

    bool readInteger(const QJsonObject& o, const Path& path, QLatin1StringView key, qint64& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        return integerValue(v, path.member(key), out);
    }

    bool readArray(const QJsonObject& o, const Path& path, QLatin1StringView key, QJsonArray& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isArray())
            return fail(path.member(key), u"expected an array"_s);
        out = v.toArray();
        return true;
    }

    bool readObject(const QJsonObject& o, const Path& path, QLatin1StringView key, QJsonObject& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isObject())
            return fail(path.member(key), u"expected an object"_s);
        out = v.toObject();
        return true;
    }

    bool readNode(const QJsonObject& o, const Path& path, NodeData& node)
    {
        return readInteger(o, path, "id"_L1, node.id) &&
               readString(o, path, "name"_L1, node.name) &&
               readString(o, path, "type"_L1, node.type) && readString(o, path, "ip"_L1, node.ip) &&
               readDouble(o, path, "x"_L1, node.x) && readDouble(o, path, "y"_L1, node.y) &&
               readDouble(o, path, "scale"_L1, node.scale);
    }

    // Nearly every point is "node" or "free": those share one string instead of allocating one
    // per point (a large project has tens of thousands of points, each kept in the undo history).
    bool readPointType(const QJsonObject& o, const Path& path, QString& out)
    {
        static const QJsonValue node(cablePointTypeNode);
        static const QJsonValue free(cablePointTypeFree);
        QJsonValue v;
        if (!require(o, path, "type"_L1, v))
            return false;
        if (v == node)
            out = cablePointTypeNode;
        else if (v == free)
            out = cablePointTypeFree;
        else if (v.isString())
            out = v.toString();
        else
            return fail(path.member("type"_L1), u"expected a string"_s);
        return true;
    }

    bool readPoint(const QJsonObject& o, const Path& path, CablePointData& point)
    {
        if (!(readPointType(o, path, point.type) && readDouble(o, path, "x"_L1, point.x) &&
              readDouble(o, path, "y"_L1, point.y) &&
              readDouble(o, path, "anchorAngle"_L1, point.anchorAngle)))
            return false;
        const QJsonValue v = o.value("nodeId"_L1);
        if (v.isUndefined() || v.isNull())
            return true;
        qint64 id = 0;
        if (!integerValue(v, path.member("nodeId"_L1), id))
            return false;
        point.nodeId = id;
        return true;
    }

    bool readCable(const QJsonObject& o, const Path& path, CableData& cable)
    {
        return readInteger(o, path, "id"_L1, cable.id) &&
               readList(o, path, "points"_L1, cable.points, &Reader::readPoint);
    }

    bool readMap(const QJsonObject& o, const Path& path, MapData& map)
    {
        if (!(readDouble(o, path, "positionX"_L1, map.positionX) &&
              readDouble(o, path, "positionY"_L1, map.positionY) &&
              readDouble(o, path, "scale"_L1, map.scale)))
            return false;
        const QJsonValue v = o.value("imageData"_L1);
        if (v.isUndefined() || v.isNull())
            return true;
        const Path here = path.member("imageData"_L1);
        if (!v.isString())
            return fail(here, u"expected a string"_s);
        if (m_predecodedImage) {
            map.imageData = std::move(*m_predecodedImage);
            m_predecodedImage.reset();
            return true;
        }
        // Characters outside Latin-1 become '?', which the strict decoder rejects like any
        // other character outside the Base64 alphabet.
        std::optional<QByteArray> decoded = decodeBase64(v.toString().toLatin1());
        if (!decoded)
            return fail(here, u"invalid Base64"_s);
        map.imageData = std::move(decoded);
        map.imageData->squeeze();
        return true;
    }

    bool readView(const QJsonObject& o, const Path& path, ViewSettings& view)
    {
        return readDouble(o, path, "zoom"_L1, view.zoom) &&
               readDouble(o, path, "panX"_L1, view.panX) &&
               readDouble(o, path, "panY"_L1, view.panY) &&
               readDouble(o, path, "mapOpacity"_L1, view.mapOpacity) &&
               readDouble(o, path, "mapSaturation"_L1, view.mapSaturation);
    }

    bool readTypeColor(const QJsonObject& o, const Path& path, TypeColorData& color)
    {
        return readString(o, path, "type"_L1, color.type) &&
               readDouble(o, path, "red"_L1, color.red) &&
               readDouble(o, path, "green"_L1, color.green) &&
               readDouble(o, path, "blue"_L1, color.blue);
    }

    template <typename Record>
    bool readList(const QJsonObject& o, const Path& path, QLatin1StringView key, QList<Record>& out,
                  bool (Reader::*readOne)(const QJsonObject&, const Path&, Record&))
    {
        QJsonArray array;
        if (!readArray(o, path, key, array))
            return false;
        const Path listPath = path.member(key);
        out.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            const Path itemPath = listPath.element(i);
            const QJsonValue item = array.at(i);
            if (!item.isObject())
                return fail(itemPath, u"expected an object"_s);
            Record record;
            if (!(this->*readOne)(item.toObject(), itemPath, record))
                return false;
            out.append(std::move(record));
        }
        return true;
    }

    bool readProject(const QJsonObject& root, ProjectData& project)
    {
        const Path top;
        if (!(readInteger(root, top, "schemaVersion"_L1, project.schemaVersion) &&
              readString(root, top, "projectName"_L1, project.projectName) &&
              readList(root, top, "nodes"_L1, project.nodes, &Reader::readNode) &&
              readList(root, top, "cables"_L1, project.cables, &Reader::readCable)))
            return false;
        const QJsonValue map = root.value("map"_L1);
        if (!map.isUndefined() && !map.isNull()) {
            const Path mapPath = top.member("map"_L1);
            if (!map.isObject())
                return fail(mapPath, u"expected an object"_s);
            MapData data;
            if (!readMap(map.toObject(), mapPath, data))
                return false;
            project.map = std::move(data);
        }
        QJsonObject view;
        return readInteger(root, top, "nextNodeId"_L1, project.nextNodeId) &&
               readInteger(root, top, "nextCableId"_L1, project.nextCableId) &&
               readObject(root, top, "viewSettings"_L1, view) &&
               readView(view, top.member("viewSettings"_L1), project.viewSettings) &&
               readList(root, top, "typeColors"_L1, project.typeColors, &Reader::readTypeColor);
    }

private:
    QString m_error;
    std::optional<QByteArray> m_predecodedImage;
};

// The Base64 text of the map image, found in the raw file: the bytes between the quotes of the
// string value of "imageData" inside the object value of the top-level "map".
//
// The image is nearly all of a file, and passing it through the JSON tree costs three copies
// (parsed text, UTF-16 string, Latin-1 bytes). Decoding it straight from the file bytes and
// parsing the rest with an empty string in its place gives the same result, because replacing
// one JSON string of plain ASCII by another changes nothing else in the document. The scan
// therefore declines (std::nullopt, and the caller reads the ordinary way) whenever that is not
// certain: a key with an escape (it could spell "map" differently), "map" or "imageData" seen
// twice (the last one counts), an escape inside the text, nesting deeper than JSON allows.
struct TextSpan {
    qsizetype begin = 0; // first byte after the opening quote
    qsizetype end = 0;   // the closing quote
};

std::optional<TextSpan> findMapImageText(QByteArrayView text)
{
    const char* const data = text.data();
    const qsizetype size = text.size();
    constexpr qsizetype maxDepth = 1024;
    if (!text.contains("\"imageData\""))
        return std::nullopt; // no image text to look for: spare the scan

    // The closing quote of the string opening at `open`, or -1; `escaped` says whether the
    // string holds a backslash.
    const auto stringEnd = [&](qsizetype open, bool& escaped) -> qsizetype {
        escaped = false;
        qsizetype from = open + 1;
        while (from < size) {
            const auto* quote =
                static_cast<const char*>(std::memchr(data + from, '"', size_t(size - from)));
            if (!quote)
                return -1;
            const qsizetype at = quote - data;
            if (std::memchr(data + from, '\\', size_t(at - from)))
                escaped = true;
            qsizetype backslashes = 0;
            while (at - backslashes - 1 > open && data[at - backslashes - 1] == '\\')
                ++backslashes;
            if (backslashes % 2 == 0)
                return at;
            from = at + 1;
        }
        return -1;
    };
    const auto skipSpace = [&](qsizetype i) {
        while (i < size &&
               (data[i] == ' ' || data[i] == '\t' || data[i] == '\n' || data[i] == '\r'))
            ++i;
        return i;
    };

    std::vector<char> open; // '{' or '[' per level
    bool expectKey = false;
    QByteArrayView topKey; // the last key read in the top-level object
    bool inMap = false;    // inside the object value of the top-level "map"
    int mapKeys = 0;
    int imageKeys = 0;
    std::optional<TextSpan> found;

    qsizetype i = skipSpace(0);
    if (i >= size || data[i] != '{')
        return std::nullopt;
    while (i < size) {
        const char c = data[i];
        if (c == '{' || c == '[') {
            if (qsizetype(open.size()) >= maxDepth)
                return std::nullopt;
            open.push_back(c);
            if (c == '{' && open.size() == 2 && topKey == "map")
                inMap = true;
            expectKey = c == '{';
            ++i;
        } else if (c == '}' || c == ']') {
            if (open.empty())
                return std::nullopt;
            open.pop_back();
            if (open.size() < 2)
                inMap = false;
            expectKey = false;
            ++i;
        } else if (c == ',') {
            expectKey = !open.empty() && open.back() == '{';
            ++i;
        } else if (c == '"') {
            bool escaped = false;
            const qsizetype close = stringEnd(i, escaped);
            if (close < 0)
                return std::nullopt;
            if (!expectKey) {
                i = close + 1;
                continue;
            }
            if (escaped)
                return std::nullopt;
            expectKey = false;
            const QByteArrayView key(data + i + 1, close - i - 1);
            i = close + 1;
            if (open.size() == 1) {
                topKey = key;
                if (key == "map" && ++mapKeys > 1)
                    return std::nullopt;
            } else if (open.size() == 2 && inMap && key == "imageData") {
                if (++imageKeys > 1)
                    return std::nullopt;
                qsizetype v = skipSpace(i);
                if (v >= size || data[v] != ':')
                    return std::nullopt;
                v = skipSpace(v + 1);
                if (v < size && data[v] == '"') {
                    const qsizetype valueClose = stringEnd(v, escaped);
                    if (valueClose < 0 || escaped)
                        return std::nullopt;
                    found = TextSpan{v + 1, valueClose};
                    i = valueClose + 1;
                }
            }
        } else {
            ++i;
        }
    }
    if (mapKeys != 1 || imageKeys != 1)
        return std::nullopt;
    return found;
}

Expected<ProjectData> readDocument(const QByteArray& contents,
                                   std::optional<QByteArray> predecodedImage)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(contents, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Error{u"JSON syntax error at offset "_s + QString::number(parseError.offset) +
                     u": "_s + parseError.errorString()};
    if (!document.isObject())
        return Error{u"top level: expected a JSON object"_s};

    Reader reader(std::move(predecodedImage));
    ProjectData project;
    if (!reader.readProject(document.object(), project))
        return Error{reader.error()};
    return project;
}

} // namespace

Expected<QByteArray> encodeProject(const ProjectData& project)
{
    if (const QString error = findNonFinite(project); !error.isEmpty())
        return Error{error};
    return serialise(project);
}

Expected<ProjectData> decodeProject(const QByteArray& contents)
{
    if (contents.isEmpty())
        return Error{u"empty file: expected a JSON object"_s};
    if (const std::optional<TextSpan> span = findMapImageText(contents)) {
        // Decoded from a view of the file bytes into a buffer of the image's size: no copy of
        // the Base64 text, no spare capacity left behind.
        const QByteArray text =
            QByteArray::fromRawData(contents.constData() + span->begin, span->end - span->begin);
        std::optional<QByteArray> image = decodeBase64(text);
        if (image) {
            QByteArray rest;
            rest.reserve(contents.size() - (span->end - span->begin));
            rest.append(QByteArrayView(contents).first(span->begin));
            rest.append(QByteArrayView(contents).sliced(span->end));
            Expected<ProjectData> project = readDocument(rest, std::move(image));
            if (project)
                return project;
        }
        // Failures are reported by the ordinary read, with offsets into the file as it is.
    }
    return readDocument(contents, std::nullopt);
}

namespace detail {

Expected<ProjectData> decodeProjectThroughJsonTree(const QByteArray& contents)
{
    if (contents.isEmpty())
        return Error{u"empty file: expected a JSON object"_s};
    return readDocument(contents, std::nullopt);
}

} // namespace detail

} // namespace velmora
