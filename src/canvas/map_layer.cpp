// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/map_layer.h"

#include "canvas/map_file.h"
#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>

namespace velmora {

QByteArray encodeMapImage(const QImage& image)
{
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setCompression(1); // LZW: lossless and far smaller than raw for plans and maps
    if (!writer.write(image))
        return {};
    return bytes;
}

Expected<void> loadMapImage(ProjectSession& session, ViewState& view, const QString& path)
{
    const Expected<QImage> image = readFloorPlan(path);
    if (!image)
        return image.error();
    const QByteArray tiff = encodeMapImage(*image);
    if (tiff.isEmpty())
        return Error{QCoreApplication::translate("velmora::MapFile",
                                                 "the image could not be stored as TIFF")};
    session.pushUndoSnapshot();
    view.scheduleContentFraming();
    session.document()->modify([&](ProjectData& project) {
        MapData map;
        map.imageData = tiff;
        map.positionX = defaultMapPositionX;
        map.positionY = defaultMapPositionY;
        map.scale = 1.0;
        project.map = map;
    });
    return {};
}

void clearMapImage(ProjectSession& session)
{
    session.pushUndoSnapshot();
    session.document()->modify([](ProjectData& project) { project.map.reset(); });
}

} // namespace velmora
