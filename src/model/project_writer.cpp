// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a project file: every number checked first, then the text written in one pass.

#include "model/project_codec.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// Every double of the project must be finite before anything is written: JSON has no spelling
// for infinity or NaN, and a half-written file is worse than none. The first offending field is
// named; paths are spelled out only then.
QString nonFinite(const QString& record,
                  std::initializer_list<std::pair<const char*, double>> fields)
{
    for (const auto& [name, value] : fields) {
        if (!std::isfinite(value))
            return record + u'.' + QLatin1StringView(name) + u": "_s +
                   QCoreApplication::translate("velmora::ProjectFile", "not a finite number");
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

} // namespace

Expected<QByteArray> encodeProject(const ProjectData& project)
{
    if (const QString error = findNonFinite(project); !error.isEmpty())
        return Error{error};
    return serialise(project);
}

} // namespace velmora
