// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws the thumbnail every Velmora project gets: the application icon stretched over the whole
// picture. The project itself is never read, so a broken or huge file costs nothing.

#include <QImage>
#include <QSize>
#include <QString>

namespace velmora {

// Stateless: each call stands alone, so callers may use it from any thread.
class ThumbnailProvider final {
public:
    // File name of the icon drawn on every thumbnail.
    static constexpr char16_t resourceName[] = u"Velmora_AppIcon.png";

    // Where the icon is: `<prefix>/share/velmora/` seen from `<prefix>/bin/` once installed, or
    // beside the executable in a build tree. Empty when neither file exists.
    static QString findResource(const QString& executableDir);

    // An image of exactly `maximumSize`, transparent, with the image at `resourcePath` drawn over
    // all of it (aspect ratio not kept, source-over, full opacity). A missing or unreadable icon
    // leaves the image transparent: that is still a thumbnail, not an error.
    static QImage provideThumbnail(QSize maximumSize, const QString& resourcePath);
};

} // namespace velmora
