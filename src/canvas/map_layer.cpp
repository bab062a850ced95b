// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/map_layer.h"

#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
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

bool loadMapImage(ProjectSession& session, ViewState& view, const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return false;
    const QByteArray tiff = encodeMapImage(image);
    if (tiff.isEmpty())
        return false;
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
    return true;
}

void clearMapImage(ProjectSession& session)
{
    session.pushUndoSnapshot();
    session.document()->modify([](ProjectData& project) { project.map.reset(); });
}

} // namespace velmora
