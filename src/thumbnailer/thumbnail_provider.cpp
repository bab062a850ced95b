// SPDX-License-Identifier: GPL-3.0-or-later
#include "thumbnailer/thumbnail_provider.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace velmora {

QString ThumbnailProvider::findResource(const QString& executableDir)
{
    const QDir dir(executableDir);
    const QString name = QString::fromUtf16(resourceName);
    const QString candidates[] = {
        dir.filePath(u"../share/velmora/"_s + name),
        dir.filePath(name),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            return QDir::cleanPath(candidate);
        }
    }
    return {};
}

QImage ThumbnailProvider::provideThumbnail(QSize maximumSize, const QString& resourcePath)
{
    QImage thumbnail(maximumSize, QImage::Format_ARGB32_Premultiplied);
    if (thumbnail.isNull()) {
        return thumbnail;
    }
    thumbnail.fill(Qt::transparent);
    if (resourcePath.isEmpty()) {
        return thumbnail;
    }
    QImageReader reader(resourcePath, "png");
    const QImage icon = reader.read();
    if (icon.isNull()) {
        return thumbnail;
    }
    // QImage::scaled averages the source pixels when shrinking; a painter's smooth transform only
    // interpolates between neighbours, which turns a 512-pixel icon into a jagged 64-pixel one.
    const QImage stretched =
        icon.scaled(maximumSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&thumbnail);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.drawImage(QPoint(0, 0), stretched);
    painter.end();
    return thumbnail;
}

} // namespace velmora
