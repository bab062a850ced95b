// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a project file: the JSON text parsed by QJsonDocument, then every record read strictly.
// Writing is in project_writer.cpp.

#include "model/project_codec.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// What a broken file is told with; shown to the user when a project does not open.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(velmora::ProjectFile)
};

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
    const QString& error() const { return m_error; }

    bool fail(const Path& path, const QString& what)
    {
        const QString where = path.toString();
        m_error = (where.isEmpty() ? Texts::tr("top level") : where) + u": "_s + what;
        return false;
    }

    // A required member: present, whatever its value.
    bool require(const QJsonObject& o, const Path& path, QLatin1StringView key, QJsonValue& out)
    {
        const auto it = o.constFind(key);
        if (it == o.constEnd())
            return fail(path, Texts::tr("missing key \"%1\"").arg(key));
        out = it.value();
        return true;
    }

    bool readString(const QJsonObject& o, const Path& path, QLatin1StringView key, QString& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isString())
            return fail(path.member(key), Texts::tr("expected a string"));
        out = v.toString();
        return true;
    }

    bool readDouble(const QJsonObject& o, const Path& path, QLatin1StringView key, double& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isDouble())
            return fail(path.member(key), Texts::tr("expected a number"));
        out = v.toDouble();
        return true;
    }

    bool integerValue(const QJsonValue& v, const Path& path, qint64& out)
    {
        if (!v.isDouble())
            return fail(path, Texts::tr("expected an integer"));
        // toInteger() hands back its default unless the number is whole and fits in 64 bits;
        // two different defaults tell that case apart from a genuine 0 or 1.
        const qint64 a = v.toInteger(0);
        const qint64 b = v.toInteger(1);
        if (a != b) {
            const double d = v.toDouble();
            if (std::trunc(d) == d)
                return fail(path, Texts::tr("integer out of the 64-bit range"));
            return fail(path, Texts::tr("expected an integer, found %1")
                                  .arg(QString::number(d, 'g', QLocale::FloatingPointShortest)));
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
            return fail(path.member(key), Texts::tr("expected an array"));
        out = v.toArray();
        return true;
    }

    bool readObject(const QJsonObject& o, const Path& path, QLatin1StringView key, QJsonObject& out)
    {
        QJsonValue v;
        if (!require(o, path, key, v))
            return false;
        if (!v.isObject())
            return fail(path.member(key), Texts::tr("expected an object"));
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
            return fail(path.member("type"_L1), Texts::tr("expected a string"));
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
            return fail(here, Texts::tr("expected a string"));
        // Characters outside Latin-1 become '?', which the strict decoder rejects like any
        // other character outside the Base64 alphabet.
        std::optional<QByteArray> decoded = decodeBase64(v.toString().toLatin1());
        if (!decoded)
            return fail(here, Texts::tr("invalid Base64"));
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
                return fail(itemPath, Texts::tr("expected an object"));
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
                return fail(mapPath, Texts::tr("expected an object"));
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
};

Expected<ProjectData> readDocument(const QByteArray& contents)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(contents, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Error{Texts::tr("JSON syntax error at offset %1: %2")
                         .arg(QString::number(parseError.offset), parseError.errorString())};
    if (!document.isObject())
        return Error{Texts::tr("top level: expected a JSON object")};

    Reader reader;
    ProjectData project;
    if (!reader.readProject(document.object(), project))
        return Error{reader.error()};
    return project;
}

} // namespace

Expected<ProjectData> decodeProject(const QByteArray& contents)
{
    if (contents.isEmpty())
        return Error{Texts::tr("empty file: expected a JSON object")};
    return readDocument(contents);
}

} // namespace velmora
