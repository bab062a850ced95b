// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/map_file.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPdfDocument>
#include <QSvgRenderer>

#include <cmath>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

struct Texts {
    Q_DECLARE_TR_FUNCTIONS(velmora::MapFile)
};

// The height that keeps `size`'s proportions at the render width; nothing for a size without
// area or one so tall that the image could not be allocated.
std::optional<int> renderHeight(QSizeF size)
{
    if (!(size.width() > 0) || !(size.height() > 0))
        return std::nullopt;
    const double height = std::round(floorPlanRenderWidth * size.height() / size.width());
    constexpr double tallest = 30000.0;
    if (!(height >= 1.0 && height <= tallest))
        return std::nullopt;
    return int(height);
}

QImage whitePage(int height)
{
    QImage image(floorPlanRenderWidth, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

Expected<QImage> readSvg(const QString& path)
{
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return Error{Texts::tr("not a readable SVG drawing")};
    const QSizeF size =
        renderer.viewBoxF().isEmpty() ? QSizeF(renderer.defaultSize()) : renderer.viewBoxF().size();
    const std::optional<int> height = renderHeight(size);
    if (!height)
        return Error{Texts::tr("the drawing has no usable size")};
    QImage image = whitePage(*height);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, image.width(), image.height()));
    return image;
}

Expected<QImage> readPdf(const QString& path)
{
    QPdfDocument document;
    if (document.load(path) != QPdfDocument::Error::None || document.pageCount() < 1)
        return Error{Texts::tr("not a readable PDF document")};
    const std::optional<int> height = renderHeight(document.pagePointSize(0));
    if (!height)
        return Error{Texts::tr("the first page has no usable size")};
    const QImage page = document.render(0, QSize(floorPlanRenderWidth, *height));
    if (page.isNull())
        return Error{Texts::tr("the first page could not be rendered")};
    QImage image = whitePage(*height);
    QPainter painter(&image);
    painter.drawImage(0, 0, page);
    return image;
}

} // namespace

QStringList floorPlanFilePatterns()
{
    return {u"*.png"_s, u"*.jpg"_s, u"*.jpeg"_s, u"*.webp"_s, u"*.svg"_s,
            u"*.pdf"_s, u"*.tif"_s, u"*.tiff"_s, u"*.bmp"_s,  u"*.gif"_s};
}

Expected<QImage> readFloorPlan(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return Error{Texts::tr("no such file")};
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"svg"_s)
        return readSvg(path);
    if (suffix == u"pdf"_s)
        return readPdf(path);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return Error{reader.errorString()};
    return image;
}

} // namespace velmora
