// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-thumbnailer: the freedesktop thumbnailer for Velmora projects. A file manager runs it as
// `velmora-thumbnailer -s SIZE INPUT OUTPUT` (see velmora.thumbnailer) and reads OUTPUT as a PNG.
// Exit status: 0 when OUTPUT was written (also when the icon is missing: the picture is then
// transparent), 64 for bad arguments, 2 when OUTPUT cannot be written.

#include "thumbnailer/thumbnail_provider.h"
#include "thumbnailer/thumbnail_request.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int exitUsage = 64;
constexpr int exitCannotWrite = 2;

void printTo(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char* argv[])
{
    // Only raster images are drawn, so no window system (and no display) is needed.
    QCoreApplication app(argc, argv);

    const velmora::ThumbnailArguments arguments =
        velmora::parseThumbnailArguments(QCoreApplication::arguments());
    switch (arguments.kind) {
    case velmora::ThumbnailArguments::Kind::Help:
        printTo(stdout, velmora::thumbnailUsage());
        return 0;
    case velmora::ThumbnailArguments::Kind::Error:
        printTo(stderr, u"velmora-thumbnailer: %1\n"_s.arg(arguments.error));
        printTo(stderr, velmora::thumbnailUsage());
        return exitUsage;
    case velmora::ThumbnailArguments::Kind::Request:
        break;
    }

    const velmora::ThumbnailRequest& request = arguments.request;
    const QImage thumbnail = velmora::ThumbnailProvider::provideThumbnail(
        request.maximumSize,
        velmora::ThumbnailProvider::findResource(QCoreApplication::applicationDirPath()));

    // Written through a temporary file, so a reader never sees half a PNG.
    QSaveFile output(request.outputPath);
    if (thumbnail.isNull() || !output.open(QIODevice::WriteOnly) ||
        !thumbnail.save(&output, "PNG") || !output.commit()) {
        printTo(stderr, u"velmora-thumbnailer: cannot write '%1': %2\n"_s.arg(
                            request.outputPath, output.errorString()));
        return exitCannotWrite;
    }
    return 0;
}
