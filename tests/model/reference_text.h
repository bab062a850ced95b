// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The records of a project rendered through a QJsonDocument tree: the reference that the
// project file's text (layout, number forms, escapes) must equal byte for byte. Shared by the
// codec test and the decoder fuzzer.

#include "model/project_data.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmora::testing {

inline QByteArray referenceText(const ProjectData& p)
{
    using namespace Qt::StringLiterals;
    QJsonArray nodes;
    for (const NodeData& n : p.nodes)
        nodes.append(QJsonObject{{"id"_L1, n.id},
                                 {"name"_L1, n.name},
                                 {"type"_L1, n.type},
                                 {"ip"_L1, n.ip},
                                 {"x"_L1, n.x},
                                 {"y"_L1, n.y},
                                 {"scale"_L1, n.scale}});
    QJsonArray cables;
    for (const CableData& c : p.cables) {
        QJsonArray points;
        for (const CablePointData& pt : c.points) {
            QJsonObject o{{"type"_L1, pt.type},
                          {"x"_L1, pt.x},
                          {"y"_L1, pt.y},
                          {"anchorAngle"_L1, pt.anchorAngle}};
            if (pt.nodeId)
                o.insert("nodeId"_L1, *pt.nodeId);
            points.append(o);
        }
        cables.append(QJsonObject{{"id"_L1, c.id}, {"points"_L1, points}});
    }
    QJsonArray colors;
    for (const TypeColorData& c : p.typeColors)
        colors.append(QJsonObject{
            {"type"_L1, c.type}, {"red"_L1, c.red}, {"green"_L1, c.green}, {"blue"_L1, c.blue}});
    const ViewSettings& v = p.viewSettings;
    QJsonObject root{{"schemaVersion"_L1, p.schemaVersion},
                     {"projectName"_L1, p.projectName},
                     {"nodes"_L1, nodes},
                     {"cables"_L1, cables},
                     {"nextNodeId"_L1, p.nextNodeId},
                     {"nextCableId"_L1, p.nextCableId},
                     {"viewSettings"_L1, QJsonObject{{"zoom"_L1, v.zoom},
                                                     {"panX"_L1, v.panX},
                                                     {"panY"_L1, v.panY},
                                                     {"mapOpacity"_L1, v.mapOpacity},
                                                     {"mapSaturation"_L1, v.mapSaturation}}},
                     {"typeColors"_L1, colors}};
    if (p.map) {
        QJsonObject m{{"positionX"_L1, p.map->positionX},
                      {"positionY"_L1, p.map->positionY},
                      {"scale"_L1, p.map->scale}};
        if (p.map->imageData)
            m.insert("imageData"_L1, QString::fromLatin1(p.map->imageData->toBase64()));
        root.insert("map"_L1, m);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
} // namespace velmora::testing
