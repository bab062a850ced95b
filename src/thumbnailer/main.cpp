// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-thumbnailer: the freedesktop thumbnailer for Velmora projects. A file manager runs it as
// `velmora-thumbnailer -s SIZE INPUT OUTPUT` (see velmora.thumbnailer) and reads OUTPUT as a PNG.
// Exit status: 0 when OUTPUT was written (also when the icon is missing: the picture is then
// transparent), 64 for bad arguments, 2 when OUTPUT cannot be written.

#include "thumbnailer/thumbnail_provider.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

struct Texts {
    Q_DECLARE_TR_FUNCTIONS(velmora::thumbnailer)
};

constexpr int exitUsage = 64;
constexpr int exitCannotWrite = 2;

// Largest side accepted; file managers ask for at most 1024 pixels, and a bound keeps a typo
// from allocating gigabytes.
constexpr int maxSide = 4096;

void printTo(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

QString usage()
{
    return Texts::tr("Usage: velmora-thumbnailer -s SIZE INPUT OUTPUT\n"
                     "       velmora-thumbnailer --size WIDTHxHEIGHT INPUT OUTPUT\n"
                     "Writes the PNG thumbnail of the Velmora project INPUT to OUTPUT: the "
                     "application\nicon stretched to SIZE x SIZE (or WIDTH x HEIGHT) pixels, each "
                     "side 1 to %1.\nThe project file itself is not read.\n")
        .arg(maxSide);
}

int usageError(const QString& reason)
{
    printTo(stderr, u"velmora-thumbnailer: %1\n"_s.arg(reason) + usage());
    return exitUsage;
}

// "N" (a square) or "WxH"; an empty size when malformed or a side is out of 1...maxSide.
QSize parseSize(const QString& text)
{
    static const QRegularExpression pattern(u"^([0-9]{1,6})(?:x([0-9]{1,6}))?$"_s);
    const QRegularExpressionMatch match = pattern.match(text);
    const int width = match.captured(1).toInt();
    const int height = match.hasCaptured(2) ? match.captured(2).toInt() : width;
    if (!match.hasMatch() || width < 1 || height < 1 || width > maxSide || height > maxSide)
        return {};
    return {width, height};
}

} // namespace

int main(int argc, char* argv[])
{
    // Only raster images are drawn, so no window system (and no display) is needed.
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption sizeOption(QStringList{u"s"_s, u"size"_s}, QString(), u"SIZE"_s);
    const QCommandLineOption helpOption(QStringList{u"h"_s, u"help"_s});
    parser.addOptions({sizeOption, helpOption});
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        printTo(stdout, usage());
        return 0;
    }
    if (!parser.isSet(sizeOption))
        return usageError(Texts::tr("Missing the thumbnail size (-s SIZE)."));
    const QSize size = parseSize(parser.value(sizeOption));
    if (size.isEmpty())
        return usageError(Texts::tr("Invalid thumbnail size: '%1'.").arg(parser.value(sizeOption)));
    const QStringList paths = parser.positionalArguments();
    if (paths.size() != 2 || paths.at(0).isEmpty() || paths.at(1).isEmpty())
        return usageError(Texts::tr("Expected two paths, INPUT and OUTPUT."));

    const QImage thumbnail = velmora::ThumbnailProvider::provideThumbnail(
        size, velmora::ThumbnailProvider::findResource(QCoreApplication::applicationDirPath()));

    // Written through a temporary file, so a reader never sees half a PNG.
    const QString& outputPath = paths.at(1);
    QSaveFile output(outputPath);
    if (thumbnail.isNull() || !output.open(QIODevice::WriteOnly) ||
        !thumbnail.save(&output, "PNG") || !output.commit()) {
        printTo(stderr,
                u"velmora-thumbnailer: %1\n"_s.arg(
                    Texts::tr("cannot write '%1': %2").arg(outputPath, output.errorString())));
        return exitCannotWrite;
    }
    return 0;
}
