// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The persisted project records. They are also the working model while a project is open:
// plain values with field-wise equality, built on Qt's implicitly shared containers so that
// copying a whole ProjectData (an undo snapshot) is O(1) and shares the map image bytes.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace velmora {

// Box of a node at scale 1, in canvas units.
inline constexpr double nodeWidth = 180.0;
inline constexpr double nodeHeight = 80.0;
inline constexpr double cornerRadius = 12.0;

// Where a newly loaded map image is placed (and what the canvas assumes without a map).
inline constexpr double defaultMapPositionX = 100.0;
inline constexpr double defaultMapPositionY = 50.0;

inline constexpr qint64 currentSchemaVersion = 1;

struct NodeData {
    qint64 id = 0;
    QString name;
    QString type;
    QString ip;
    double x = 0.0;
    double y = 0.0;
    double scale = 1.0;

    bool operator==(const NodeData&) const = default;
};

// Point types of a cable: attached to a node, or a free bend.
inline const QString cablePointTypeNode = QStringLiteral("node");
inline const QString cablePointTypeFree = QStringLiteral("free");

struct CablePointData {
    QString type;
    double x = 0.0;
    double y = 0.0;
    std::optional<qint64> nodeId;
    double anchorAngle = 0.0;

    bool operator==(const CablePointData&) const = default;
};

struct CableData {
    qint64 id = 0;
    QList<CablePointData> points;

    bool operator==(const CableData&) const = default;
};

struct MapData {
    std::optional<QByteArray> imageData; // encoded image (TIFF when loaded by Velmora)
    double positionX = defaultMapPositionX;
    double positionY = defaultMapPositionY;
    double scale = 1.0;

    bool operator==(const MapData&) const = default;
};

struct ViewSettings {
    double zoom = 1.0;
    double panX = 0.0;
    double panY = 0.0;
    double mapOpacity = 1.0;
    double mapSaturation = 1.0;

    bool operator==(const ViewSettings&) const = default;
};

struct TypeColorData {
    QString type;
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;

    bool operator==(const TypeColorData&) const = default;
};

// A default-constructed ProjectData holds exactly the values of a new project.
struct ProjectData {
    qint64 schemaVersion = currentSchemaVersion;
    QString projectName = QStringLiteral("Untitled");
    QList<NodeData> nodes;
    QList<CableData> cables;
    std::optional<MapData> map;
    qint64 nextNodeId = 1;
    qint64 nextCableId = 1;
    ViewSettings viewSettings;
    QList<TypeColorData> typeColors;

    bool operator==(const ProjectData&) const = default;

    // A map that carries image bytes (a map record without bytes draws nothing).
    bool hasMapImage() const { return map && map->imageData && !map->imageData->isEmpty(); }
};

} // namespace velmora
