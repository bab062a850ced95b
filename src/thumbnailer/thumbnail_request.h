// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a file manager asks of the thumbnailer: the picture's size and the two paths, parsed from
// the freedesktop command line `velmora-thumbnailer -s SIZE INPUT OUTPUT`.

#include <QSize>
#include <QString>
#include <QStringList>

namespace velmora {

struct ThumbnailRequest {
    QSize maximumSize;
    QString inputPath;
    QString outputPath;
};

// The result of reading the command line: a request, a request for help, or an error text.
struct ThumbnailArguments {
    enum class Kind { Request, Help, Error };
    Kind kind = Kind::Error;
    ThumbnailRequest request;
    QString error;
};

// Largest side accepted; file managers ask for at most 1024 pixels, and a bound keeps a typo
// from allocating gigabytes.
inline constexpr int maxThumbnailSide = 4096;

// Reads "N" (a square) or "WxH" (a non-square maximum); an empty size when malformed or out of
// the range 1...maxThumbnailSide.
QSize parseThumbnailSize(const QString& text);

// `arguments` includes the program name first, as QCoreApplication::arguments() gives it.
ThumbnailArguments parseThumbnailArguments(const QStringList& arguments);

QString thumbnailUsage();

} // namespace velmora
