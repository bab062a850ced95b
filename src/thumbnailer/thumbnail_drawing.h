// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws the thumbnail every Velmora project gets: the application icon stretched over the whole
// picture. The project itself is never read, so a broken or huge file costs nothing.

#include <QImage>
#include <QSize>
#include <QString>

namespace velmora {

// File name of the icon the thumbnailer draws.
inline constexpr char16_t thumbnailIconName[] = u"Velmora_AppIcon.png";

// Where the icon is: `<prefix>/share/velmora/` seen from `<prefix>/bin/` once installed, or
// beside the executable in a build tree. Empty when neither file exists.
QString findThumbnailIcon(const QString& executableDir);

// An image of exactly `size`, transparent, with the image at `iconPath` drawn over all of it
// (aspect ratio not kept, source-over, full opacity). A missing or unreadable icon leaves the
// image transparent.
QImage drawThumbnail(QSize size, const QString& iconPath);

} // namespace velmora
