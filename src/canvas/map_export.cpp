// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/map_export.h"

#include "canvas/cable_geometry.h"
#include "canvas/hit_test.h"
#include "model/project_file.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// A node's glow reaches 12 units out and its root crown 22 units above the box.
constexpr double nodeDecoration = 24.0;

const char* const context = "velmora::MapExport";

} // namespace

std::optional<ExportFormat> exportFormatFor(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"png"_s)
        return ExportFormat::png;
    if (suffix == u"svg"_s)
        return ExportFormat::svg;
    if (suffix == u"pdf"_s)
        return ExportFormat::pdf;
    return std::nullopt;
}

QString exportFormatList()
{
    return QCoreApplication::translate(context, "png, svg or pdf");
}

QRectF contentBounds(const ProjectData& project, QSize mapPixelSize)
{
    QRectF bounds;
    if (project.hasMapImage() && !mapPixelSize.isEmpty())
        bounds = mapScreenRect(*project.map, mapPixelSize, ViewTransform{});
    for (const NodeData& node : project.nodes) {
        const QRectF box = nodeCanvasRect(node).adjusted(-nodeDecoration, -nodeDecoration,
                                                         nodeDecoration, nodeDecoration);
        bounds = bounds.isNull() ? box : bounds.united(box);
    }
    for (const CableData& cable : project.cables) {
        for (const CablePointData& point : cable.points) {
            const QPointF p = anchorPosition(point, project);
            const QRectF dot(p - QPointF(nodeDecoration, nodeDecoration),
                             QSizeF(2 * nodeDecoration, 2 * nodeDecoration));
            bounds = bounds.isNull() ? dot : bounds.united(dot);
        }
    }
    // A hand-edited file may hold coordinates that are not finite: frame nothing then.
    if (!std::isfinite(bounds.left()) || !std::isfinite(bounds.right()) ||
        !std::isfinite(bounds.top()) || !std::isfinite(bounds.bottom()))
        return {};
    return bounds;
}

ViewTransform framedView(const QRectF& bounds, QSizeF size, double margin, bool enlarge)
{
    if (bounds.isEmpty())
        return ViewTransform{1.0, QPointF(size.width() / 2, size.height() / 2)};
    const double freeWidth = std::max(1.0, size.width() - 2 * margin);
    const double freeHeight = std::max(1.0, size.height() - 2 * margin);
    double zoom = std::min(freeWidth / bounds.width(), freeHeight / bounds.height());
    if (!enlarge)
        zoom = std::min(zoom, 1.0);
    const QPointF centre(size.width() / 2, size.height() / 2);
    return ViewTransform{zoom, centre - bounds.center() * zoom};
}

QSize exportSize(const QRectF& bounds, double margin)
{
    const QSizeF content = bounds.isEmpty() ? QSizeF(400, 300) : bounds.size();
    QSizeF size = content + QSizeF(2 * margin, 2 * margin);
    const double largest = std::max(size.width(), size.height());
    if (largest > maxExportSide)
        size *= maxExportSide / largest;
    return QSize(std::max(1, static_cast<int>(std::ceil(size.width()))),
                 std::max(1, static_cast<int>(std::ceil(size.height()))));
}

Expected<void> writeCanvasExport(const QString& path, QSize size, const RenderFrame& frame)
{
    const std::optional<ExportFormat> format = exportFormatFor(path);
    if (!format)
        return Error{QCoreApplication::translate(context, "unknown file type (use %1)")
                         .arg(exportFormatList())};
    CanvasRenderer renderer;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (*format) {
    case ExportFormat::png: {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        renderer.drawCanvas(painter, size, frame);
        painter.end();
        if (!image.save(&buffer, "PNG"))
            return Error{QCoreApplication::translate(context, "the image could not be encoded")};
        break;
    }
    case ExportFormat::svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(frame.project->projectName);
        QPainter painter(&svg);
        renderer.drawCanvas(painter, size, frame);
        break;
    }
    case ExportFormat::pdf: {
        // One point a unit: the page is the frame's size.
        QPdfWriter pdf(&buffer);
        pdf.setResolution(72);
        pdf.setTitle(frame.project->projectName);
        pdf.setCreator(u"Velmora"_s);
        pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(size), QPageSize::Point),
                                      QPageLayout::Portrait, QMarginsF()));
        QPainter painter(&pdf);
        renderer.drawCanvas(painter, size, frame);
        break;
    }
    }
    buffer.close();
    return writeFileAtomically(path, bytes);
}

} // namespace velmora
