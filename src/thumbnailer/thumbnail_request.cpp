// SPDX-License-Identifier: GPL-3.0-or-later
#include "thumbnailer/thumbnail_request.h"

#include <QCommandLineParser>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

int parseSide(const QString& text)
{
    bool ok = false;
    const int side = text.toInt(&ok);
    return ok && side >= 1 && side <= maxThumbnailSide ? side : 0;
}

} // namespace

QSize parseThumbnailSize(const QString& text)
{
    static const QRegularExpression pattern(u"^([0-9]{1,6})(?:x([0-9]{1,6}))?$"_s);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return {};
    }
    const int width = parseSide(match.captured(1));
    const int height = match.hasCaptured(2) ? parseSide(match.captured(2)) : width;
    if (width == 0 || height == 0) {
        return {};
    }
    return {width, height};
}

QString thumbnailUsage()
{
    return u"Usage: velmora-thumbnailer -s SIZE INPUT OUTPUT\n"
           "       velmora-thumbnailer --size WIDTHxHEIGHT INPUT OUTPUT\n"
           "Writes the PNG thumbnail of the Velmora project INPUT to OUTPUT: the application\n"
           "icon stretched to SIZE x SIZE (or WIDTH x HEIGHT) pixels, each side 1 to %1.\n"
           "The project file itself is not read.\n"_s.arg(maxThumbnailSide);
}

ThumbnailArguments parseThumbnailArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption sizeOption({u"s"_s, u"size"_s}, u"Thumbnail size"_s, u"SIZE"_s);
    const QCommandLineOption helpOption({u"h"_s, u"help"_s}, u"Show this help"_s);
    parser.addOption(sizeOption);
    parser.addOption(helpOption);

    ThumbnailArguments result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(helpOption)) {
        result.kind = ThumbnailArguments::Kind::Help;
        return result;
    }
    if (!parser.isSet(sizeOption)) {
        result.error = u"Missing the thumbnail size (-s SIZE)."_s;
        return result;
    }
    const QString sizeText = parser.value(sizeOption);
    const QSize size = parseThumbnailSize(sizeText);
    if (size.isEmpty()) {
        result.error = u"Invalid thumbnail size: '%1'."_s.arg(sizeText);
        return result;
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.size() != 2 || paths.at(0).isEmpty() || paths.at(1).isEmpty()) {
        result.error = u"Expected two paths, INPUT and OUTPUT."_s;
        return result;
    }
    result.kind = ThumbnailArguments::Kind::Request;
    result.request = {size, paths.at(0), paths.at(1)};
    return result;
}

} // namespace velmora
