// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/canvas_renderer.h"

#include "canvas/cable_geometry.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

constexpr Rgb backgroundColor{0.04, 0.04, 0.04};
constexpr Rgb gridColor{0.24, 0.24, 0.24};
constexpr double gridOpacity = 0.3;
constexpr Rgb nodeBodyColor{0.15, 0.15, 0.15};
constexpr Rgb addressColor{0.6, 0.6, 0.6};
constexpr Rgb searchHighlightColor{0.98, 0.75, 0.14};
constexpr Rgb cableColor{0.16, 0.35, 0.54};
constexpr Rgb freeCableColor{0.24, 0.27, 0.31};
constexpr Rgb selectedCableColor{0.29, 0.56, 0.89};
constexpr Rgb rubberBandColor{0.6, 0.6, 0.6};
constexpr Rgb gripColor{0.2, 0.2, 0.2};
constexpr double dimmedOpacity = 0.3;

constexpr int nameFont = 0;
constexpr int typeFont = 1;
constexpr int addressFont = 2;
constexpr int crownFont = 3;
constexpr double referencePixelSize = 100.0;

const QString crown = QString::fromUtf8("\xF0\x9F\x91\x91"); // U+1F451

QPen strokePen(const QColor& color, double width, Qt::PenCapStyle cap = Qt::RoundCap,
               Qt::PenJoinStyle join = Qt::RoundJoin)
{
    QPen pen(color, width, Qt::SolidLine, cap, join);
    pen.setMiterLimit(10.0);
    return pen;
}

// Clips segment a-b to `box` (Liang-Barsky); false when nothing of it lies inside.
bool clipSegment(QPointF& a, QPointF& b, const QRectF& box)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(),
                        box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1)
            return false;
    }
    const QPointF start = a;
    a = start + QPointF(dx, dy) * t0;
    b = start + QPointF(dx, dy) * t1;
    return true;
}

// The visible runs of a polyline: segments clipped to `box`, consecutive unclipped segments
// kept together so their joins are drawn as before. Cut ends lie outside the visible area by
// more than half the stroke width, so their caps cannot be seen.
QList<QPolygonF> visibleRuns(const QPolygonF& polyline, const QRectF& box)
{
    QList<QPolygonF> runs;
    QPolygonF current;
    for (qsizetype i = 0; i + 1 < polyline.size(); ++i) {
        QPointF a = polyline.at(i);
        QPointF b = polyline.at(i + 1);
        if (!clipSegment(a, b, box)) {
            if (current.size() >= 2)
                runs.append(current);
            current.clear();
            continue;
        }
        if (current.isEmpty() || current.constLast() != a) {
            if (current.size() >= 2)
                runs.append(current);
            current = QPolygonF{a};
        }
        current.append(b);
    }
    if (current.size() >= 2)
        runs.append(current);
    return runs;
}

// Polyline strokes thinner than a pixel are drawn as one-pixel cosmetic lines whose opacity is
// scaled by the width: the same coverage a user sees, at a fraction of the cost of stroking
// (zoomed-out views of large networks are all thin lines).
void strokePolyline(QPainter& painter, const QPolygonF& positions, const QColor& color,
                    double width)
{
    if (width < 1.0) {
        QColor thin = color;
        thin.setAlphaF(static_cast<float>(color.alphaF() * std::max(width, 0.0)));
        QPen pen(thin, 0.0);
        pen.setCosmetic(true);
        painter.setPen(pen);
    } else {
        painter.setPen(strokePen(color, width));
    }
    // Stroking the parts of long cables far outside the frame costs several times the visible
    // part; only the visible runs are stroked.
    const QRectF device(QPointF(0, 0),
                        QSizeF(painter.device()->width(), painter.device()->height()));
    const double margin = std::max(width, 1.0) + 2.0;
    const QRectF box = device.adjusted(-margin, -margin, margin, margin);
    if (box.contains(positions.boundingRect())) {
        painter.drawPolyline(positions);
        return;
    }
    for (const QPolygonF& run : visibleRuns(positions, box))
        painter.drawPolyline(run);
}

// Rounded rectangles whose corners are under a pixel look like plain ones.
void fillRoundedRect(QPainter& painter, const QRectF& rect, double radius)
{
    if (radius < 1.0)
        painter.drawRect(rect);
    else
        painter.drawRoundedRect(rect, radius, radius);
}

void strokeRoundedRect(QPainter& painter, const QRectF& rect, double radius, const QColor& color,
                       double width)
{
    painter.setBrush(Qt::NoBrush);
    if (width < 1.0) {
        QColor thin = color;
        thin.setAlphaF(static_cast<float>(color.alphaF() * std::max(width, 0.0)));
        QPen pen(thin, 0.0);
        pen.setCosmetic(true);
        painter.setPen(pen);
    } else {
        painter.setPen(strokePen(color, width));
    }
    fillRoundedRect(painter, rect, radius);
}

} // namespace

Rgb statusColor(PingStatus status)
{
    switch (status) {
    case PingStatus::online:
        return {0.29, 0.87, 0.5};
    case PingStatus::offline:
        return {0.95, 0.3, 0.3};
    case PingStatus::slow:
        return {0.98, 0.75, 0.14};
    case PingStatus::unknown:
        break;
    }
    return {0.5, 0.5, 0.5};
}

double pulseIntensity(PingStatus status, double pulsePhase)
{
    if (status == PingStatus::online || status == PingStatus::slow)
        return std::abs(std::sin(pulsePhase));
    return 0.7;
}

struct CanvasRenderer::FrameContext {
    const RenderFrame& frame;
    const ProjectData& project;
    CableGeometry geometry;
    QRectF viewport;
    bool live = false;
    bool anySelected = false;
    bool nodeDragRunning = false;
    // Statuses asked ahead of drawing, by the address of the cable's point list (unique even
    // when two cables share their points' data); null: ask while drawing.
    const QHash<const QList<CablePointData>*, PingStatus>* cableStatuses = nullptr;

    bool isNodeVisible(qint64 id) const
    {
        const NodeData* n = geometry.node(id);
        return n && frame.visibleTypes.contains(n->type);
    }

    // In live mode a cable is drawn only while every node it is attached to is visible.
    bool isCableVisible(const CableData& cable) const
    {
        return std::all_of(cable.points.cbegin(), cable.points.cend(),
                           [this](const CablePointData& point) {
                               return !point.nodeId || isNodeVisible(*point.nodeId);
                           });
    }
};

CanvasRenderer::CanvasRenderer()
{
    m_fonts[nameFont].setWeight(QFont::DemiBold);
    m_fonts[typeFont].setWeight(QFont::Normal);
    m_fonts[addressFont].setWeight(QFont::Normal);
    for (int kind = 0; kind < 4; ++kind) {
        m_fonts[kind].setPixelSize(static_cast<int>(referencePixelSize));
        const QFontMetricsF metrics(m_fonts[kind]);
        m_baselineShift[kind] = (metrics.ascent() - metrics.descent()) * 0.5;
    }
}

void CanvasRenderer::drawCanvas(QPainter& painter, QSizeF size, const RenderFrame& frame)
{
    Q_ASSERT(frame.project);
    const ProjectData& project = *frame.project;
    static const GestureState noGesture;
    FrameContext context{frame, project,
                         CableGeometry(project, frame.view,
                                       frame.gesture ? *frame.gesture : noGesture,
                                       {frame.selectedNodes, frame.selectedCableIds}),
                         QRectF(QPointF(0, 0), size)};
    context.live = frame.appMode == AppMode::live;
    context.anySelected = !frame.selectedNodes.isEmpty() || !frame.selectedCableIds.isEmpty();
    context.nodeDragRunning = frame.gesture && frame.gesture->draggedNode.has_value();

    // Cable statuses are asked up front, in list order, for every cable the frame colours by
    // status (on screen or not, so a cable's status history does not depend on the view), and on
    // the caller's thread, which owns the status callback.
    QHash<const QList<CablePointData>*, PingStatus> statuses;
    if (context.live && frame.liveGlowEnabled && frame.cableStatus && frame.isContentReady) {
        for (const CableData& cable : context.project.cables) {
            if (cable.points.size() < 2 || !isConnected(cable.points) ||
                frame.selectedCableIds.contains(cable.id))
                continue;
            if (!context.isCableVisible(cable))
                continue;
            statuses.insert(&cable.points, frame.cableStatus(cable.id, cable.points));
        }
        context.cableStatuses = &statuses;
    }

    if (!drawOnWorker(painter, size, context))
        drawFrame(painter, size, context);
}

// The raster engine splits every blend of more than about a hundred spans (any antialiased box,
// border, glow or cable of some size) across the global thread pool and waits for it: hundreds
// of cross-thread hand-offs per frame, which cost more than the drawing itself. Drawn on a
// thread of that pool, the same calls blend in place. The frame is drawn there into an opaque
// image of the device's size while the caller waits, then copied to the device.
bool CanvasRenderer::drawOnWorker(QPainter& painter, QSizeF size, const FrameContext& context)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    const QPaintDevice* device = painter.device();
    // Only where a copy of the image is exactly what direct drawing would give: an unscaled
    // device of the frame's size under an untransformed, opaque source-over painter.
    if (!device || device->devicePixelRatioF() != 1.0 ||
        size != QSizeF(device->width(), device->height()) || size.isEmpty() ||
        !painter.transform().isIdentity() || painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        pool->contains(QThread::currentThread()))
        return false;
#ifdef __SANITIZE_THREAD__
    // Qt's pool and the raster engine hand work between threads with locks taken inside the
    // (uninstrumented) library, so ThreadSanitizer reports every frame drawn here as a race.
    // Its builds draw on the calling thread; the threaded parts it checks are the monitor's.
    return false;
#endif

    const QSize pixels(device->width(), device->height());
    if (m_frameImage.size() != pixels)
        m_frameImage = QImage(pixels, QImage::Format_RGB32);
    // The job travels in members behind standard semaphores, and the task itself carries only
    // `this`. Both hand-overs are then visible to a race checker (their atomics live in the
    // headers), which cannot see the locks Qt's pool and semaphores take inside the library.
    m_workerJob = {size, &context};
    const bool started = pool->tryStart([this] {
        m_workerJobReady.acquire();
        QPainter imagePainter(&m_frameImage);
        drawFrame(imagePainter, m_workerJob.size, *m_workerJob.context);
        imagePainter.end();
        m_workerFrameDone.release();
    });
    if (!started)
        return false; // the pool is busy with other work; draw here instead
    m_workerJobReady.release();
    m_workerFrameDone.acquire();
    painter.drawImage(QPoint(0, 0), m_frameImage);
    return true;
}

void CanvasRenderer::drawFrame(QPainter& painter, QSizeF size, const FrameContext& context)
{
    const RenderFrame& frame = context.frame;
    const ProjectData& project = context.project;
    painter.save();
    m_currentFontKey = -1;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(context.viewport, toColor(backgroundColor));
    // The darkened background lies under the map and everything else.
    if (context.anySelected)
        painter.fillRect(context.viewport, QColor::fromRgbF(0, 0, 0, 0.3f));

    if (frame.isContentReady && project.hasMapImage())
        drawMap(painter, context);
    if (!context.live)
        drawGrid(painter, size, frame.view);

    if (frame.isContentReady) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        for (const CableData& cable : project.cables) {
            if (context.live && !context.isCableVisible(cable))
                continue;
            drawCable(painter, context, cable.id, cable.points, false);
        }
        if (frame.gesture && frame.gesture->isDrawingCable && frame.gesture->currentCable) {
            const Cable& current = *frame.gesture->currentCable;
            const QList<CablePointData>& points = current.points;
            if (!points.isEmpty())
                drawCable(painter, context, current.id, points, true);
            if (frame.gesture->cablePreviewPoint && !points.isEmpty()) {
                const double z = frame.view.zoom;
                QPen pen =
                    strokePen(toColor(rubberBandColor, 0.5), 2 * z, Qt::FlatCap, Qt::MiterJoin);
                // Qt measures dashes in pen widths (2 x zoom): 2.5 of them are 5 x zoom units.
                pen.setDashPattern({2.5, 2.5});
                pen.setDashOffset(0);
                painter.setPen(pen);
                painter.drawLine(context.geometry.screenPosition(points.constLast()),
                                 *frame.gesture->cablePreviewPoint);
            }
        }
        for (const NodeData& node : project.nodes)
            drawNode(painter, context, node);
    }

    if (!context.live && frame.isContentReady && project.hasMapImage()) {
        const QImage& image = m_mapCache.decoded(*project.map->imageData);
        const QRectF mapRect = mapScreenRect(*project.map, image.size(), frame.view);
        if (!image.isNull())
            drawHandle(painter, handleRect(mapRect), frame.gesture && frame.gesture->isResizingMap);
    }
    painter.restore();
}

void CanvasRenderer::drawMap(QPainter& painter, const FrameContext& context)
{
    const QByteArray& bytes = *context.project.map->imageData;
    const QImage& image = m_mapCache.filtered(bytes, context.frame.mapSaturation);
    const QRectF rect = mapScreenRect(*context.project.map, image.size(), context.frame.view);
    if (image.isNull() || rect.isEmpty() || !rect.intersects(context.viewport))
        return;
    painter.save();
    painter.setOpacity(context.frame.mapOpacity);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // Only the visible part of the image is sampled: far cheaper when zoomed into a large plan.
    const QRectF visible = rect.intersected(context.viewport);
    const double sx = image.width() / rect.width();
    const double sy = image.height() / rect.height();
    const QRectF source((visible.left() - rect.left()) * sx, (visible.top() - rect.top()) * sy,
                        visible.width() * sx, visible.height() * sy);
    painter.drawImage(visible, image, source);
    painter.setOpacity(context.frame.mapOpacity * 0.2);
    painter.setPen(QPen(Qt::white, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect);
    painter.restore();
}

void CanvasRenderer::drawGrid(QPainter& painter, QSizeF size, const ViewTransform& view)
{
    const double s = gridSize * view.zoom;
    if (!(s > 0.5) || !std::isfinite(s))
        return; // spacing under a pixel would fill the canvas; nothing a user could read
    // Each line covers exactly one pixel column or row (a smeared two-pixel line would look
    // blurred). Crossings are blended twice, as where two lines are drawn over each other.
    const QColor colour = toColor(gridColor, gridOpacity);
    const int width = static_cast<int>(std::ceil(size.width()));
    const int height = static_cast<int>(std::ceil(size.height()));
    // A translucent rectangle one pixel wide and a screen high is blended as one span per row,
    // and the raster engine hands batches of many spans to worker threads: hundreds of
    // cross-thread hand-offs per frame when zoomed out. A premultiplied one-pixel column image
    // of the same colour is blended by a plain loop instead, with the same source-over result.
    if (m_gridColumn.height() != height) {
        m_gridColumn = QImage(1, std::max(1, height), QImage::Format_ARGB32_Premultiplied);
        m_gridColumn.fill(colour);
    }
    // Scaled (high-density) devices do not take the plain blending path; they keep the fill.
    const bool blit = painter.transform().isIdentity() &&
                      (!painter.device() || painter.device()->devicePixelRatioF() == 1.0);
    double startX = std::fmod(view.pan.x(), s);
    if (startX < 0)
        startX += s;
    QList<int> columns;
    for (double x = startX; x <= size.width(); x += s)
        columns.append(static_cast<int>(std::floor(x)));
    if (blit && s >= 1.0 && width > 0) {
        // With a spacing of a pixel or more every line has a column of its own: a band of rows
        // holding all the vertical lines is blended down the frame row after row, which walks
        // memory in order instead of down single columns. Transparent pixels leave the
        // background as it was, so the result is the same as blending each column.
        constexpr int bandRows = 32;
        if (m_gridBand.width() != width || m_gridBandColumns != columns) {
            m_gridBand = QImage(width, bandRows, QImage::Format_ARGB32_Premultiplied);
            m_gridBand.fill(Qt::transparent);
            const QRgb pixel = reinterpret_cast<const QRgb*>(m_gridColumn.constScanLine(0))[0];
            for (const int column : std::as_const(columns)) {
                if (column < 0 || column >= width)
                    continue;
                for (int row = 0; row < bandRows; ++row)
                    reinterpret_cast<QRgb*>(m_gridBand.scanLine(row))[column] = pixel;
            }
            m_gridBandColumns = columns;
        }
        for (int y = 0; y < height; y += bandRows)
            painter.drawImage(QPoint(0, y), m_gridBand,
                              QRect(0, 0, width, std::min(bandRows, height - y)));
    } else {
        for (const int column : std::as_const(columns)) {
            if (blit)
                painter.drawImage(QPoint(column, 0), m_gridColumn);
            else
                painter.fillRect(QRect(column, 0, 1, height), colour);
        }
    }
    // A row is a single span: the plain fill is fast.
    double startY = std::fmod(view.pan.y(), s);
    if (startY < 0)
        startY += s;
    for (double y = startY; y <= size.height(); y += s)
        painter.fillRect(QRect(0, static_cast<int>(std::floor(y)), width, 1), colour);
}

void CanvasRenderer::drawCable(QPainter& painter, const FrameContext& context, qint64 id,
                               const QList<CablePointData>& points, bool isPreview)
{
    if (points.isEmpty() || (points.size() == 1 && !isPreview))
        return;
    const RenderFrame& frame = context.frame;
    const double z = frame.view.zoom;
    QPolygonF positions(context.geometry.screenPositions(points));
    // Coordinates from a hand-edited file can be absurd; the stroker would overflow on them.
    // Far beyond the screen, a clamped point draws the same visible line.
    constexpr double farAway = 1.0e6;
    for (QPointF& position : positions) {
        if (!std::isfinite(position.x()) || !std::isfinite(position.y()))
            return;
        position.setX(std::clamp(position.x(), -farAway, farAway));
        position.setY(std::clamp(position.y(), -farAway, farAway));
    }
    const double margin = 20.0 * z + 2.0;
    if (!positions.boundingRect()
             .adjusted(-margin, -margin, margin, margin)
             .intersects(context.viewport))
        return;

    const bool selected = frame.selectedCableIds.contains(id);
    const bool connected = isConnected(points);
    painter.setBrush(Qt::NoBrush);
    if (positions.size() >= 2) {
        if (isPreview) {
            strokePolyline(painter, positions, toColor(cableColor, 0.7), 2 * z);
        } else if (selected) {
            strokePolyline(painter, positions, toColor(selectedCableColor, 0.9), 4 * z);
        } else if (context.live && frame.liveGlowEnabled && connected) {
            PingStatus status = PingStatus::unknown;
            if (context.cableStatuses) {
                status = context.cableStatuses->value(&points, PingStatus::unknown);
            } else if (frame.cableStatus) {
                status = frame.cableStatus(id, points);
            }
            const Rgb c = statusColor(status);
            const double i = pulseIntensity(status, frame.pulsePhase);
            strokePolyline(painter, positions, toColor(c, 0.15 * i), (6 * i + 10) * z);
            strokePolyline(painter, positions, toColor(c, 0.25 * i), (3 * i + 6) * z);
            strokePolyline(painter, positions, toColor(c), (2 * i + 3) * z);
        } else if (connected) {
            strokePolyline(painter, positions, toColor(cableColor, 0.9), 3 * z);
        } else {
            strokePolyline(painter, positions, toColor(freeCableColor, 0.6), 3 * z);
        }
    }

    if (context.live && !isPreview)
        return;
    for (qsizetype k = 0; k < points.size(); ++k) {
        const CablePointData& point = points.at(k);
        const QPointF centre = positions.at(k);
        const bool isFree = point.type == cablePointTypeFree;
        double radius = 4 * z;
        QColor fill;
        bool outline = false;
        if (selected) {
            radius = 8 * z;
            fill = toColor(selectedCableColor, 0.9);
            outline = true;
        } else if (isPreview) {
            fill = toColor(cableColor, 0.7);
        } else if (connected && !isFree && point.nodeId) {
            radius = 5 * z;
            fill = toColor(selectedCableColor, 0.8);
        } else if (isFree) {
            fill = toColor(freeCableColor, 0.6);
        } else {
            fill = toColor(cableColor, 0.8);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        if (radius < 1.0 && !outline) {
            // A dot under two pixels across: a square of the same area covers the same pixels.
            const double half = radius * 0.886226925; // sqrt(pi) / 2
            painter.drawRect(QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half));
        } else {
            painter.drawEllipse(centre, radius, radius);
        }
        if (outline) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Qt::white, 2 * z));
            painter.drawEllipse(centre, radius, radius);
        }
    }
}

void CanvasRenderer::drawCentredText(QPainter& painter, int fontKind, double pixelSize,
                                     QPointF centre, const QString& text, const QColor& color)
{
    // Text under a pixel high cannot be seen; skipping it keeps large zoomed-out networks fast.
    if (text.isEmpty() || !(pixelSize >= 1.0) || !std::isfinite(pixelSize))
        return;
    QHash<QString, double>& cache = m_advanceCache[fontKind];
    auto it = cache.constFind(text);
    if (it == cache.cend()) {
        if (cache.size() > 50000)
            cache.clear();
        it = cache.insert(text, QFontMetricsF(m_fonts[fontKind]).horizontalAdvance(text));
    }
    const double factor = pixelSize / referencePixelSize;
    // Fonts per size are cached (sizes repeat across nodes and frames) and set only on change.
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 96.0;
    const qint64 key =
        (static_cast<qint64>(fontKind) << 40) | static_cast<qint64>(std::llround(pixelSize * 64.0));
    auto font = m_sizedFonts.constFind(key);
    if (font == m_sizedFonts.cend()) {
        if (m_sizedFonts.size() > 512)
            m_sizedFonts.clear();
        QFont sized = m_fonts[fontKind];
        sized.setPointSizeF(pixelSize * 72.0 / (dpi > 0 ? dpi : 96.0));
        font = m_sizedFonts.insert(key, sized);
    }
    if (m_currentFontKey != key || painter.font() != *font) {
        painter.setFont(*font);
        m_currentFontKey = key;
    }
    painter.setPen(color);
    const QFontMetricsF reference(m_fonts[fontKind]);
    const double baseline = centre.y() + (reference.ascent() - reference.descent()) * 0.5 * factor;
    painter.drawText(QPointF(centre.x() - *it * factor * 0.5, baseline), text);
}

void CanvasRenderer::drawHandle(QPainter& painter, const QRectF& handle, bool active)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, active ? 1.0f : 0.8f));
    painter.drawRoundedRect(handle, 3, 3);
    const double hx = handle.left();
    const double hy = handle.top();
    const double s = mapHandleSize;
    painter.setPen(QPen(toColor(gripColor), 1.5));
    painter.drawLine(QPointF(hx + 4, hy + s - 4), QPointF(hx + s - 4, hy + 4));
    painter.drawLine(QPointF(hx + 8, hy + s - 4), QPointF(hx + s - 4, hy + 8));
    painter.restore();
}

void CanvasRenderer::drawNode(QPainter& painter, const FrameContext& context, const NodeData& node)
{
    const RenderFrame& frame = context.frame;
    if (context.live && !frame.visibleTypes.contains(node.type))
        return;
    const double z = frame.view.zoom;
    const double scale = effectiveNodeScale(node.scale);
    const bool selected = frame.selectedNodes.contains(node.id);
    QPointF topLeft = frame.view.toScreen(QPointF(node.x, node.y));
    if (context.nodeDragRunning && selected)
        topLeft +=
            QPointF(frame.gesture->nodeDragOffset.width(), frame.gesture->nodeDragOffset.height());
    const double w = nodeWidth * scale * z;
    const double h = nodeHeight * scale * z;
    const double r = cornerRadius * scale * z;
    const QRectF box(topLeft, QSizeF(w, h));
    // Glow reaches 12 x zoom out, the crown 22 x zoom above the box.
    const double margin = 24.0 * z + 4.0;
    if (!box.adjusted(-margin, -margin, margin, margin).intersects(context.viewport))
        return;

    // Every step below sets the pen, brush and font it draws with; only the opacity needs putting
    // back (a full save and restore per node costs more than a small node's drawing).
    const double opacity = painter.opacity();
    const bool dimmed = context.anySelected && !selected;
    if (dimmed)
        painter.setOpacity(dimmedOpacity);

    const bool statusStyle = context.live && frame.liveGlowEnabled;
    const PingStatus status = frame.nodeStatuses.value(node.id, PingStatus::unknown);
    if (statusStyle) {
        const Rgb c = statusColor(status);
        const double i = pulseIntensity(status, frame.pulsePhase);
        painter.setPen(Qt::NoPen);
        const struct {
            double grow, radius, opacity;
        } layers[] = {{12, 8, 0.15}, {6, 4, 0.25}, {3, 2, 0.35}};
        for (const auto& layer : layers) {
            const double g = layer.grow * z * i;
            const double lr = r + layer.radius * z * i;
            painter.setBrush(toColor(c, layer.opacity * i));
            fillRoundedRect(painter, box.adjusted(-g, -g, g, g), lr);
        }
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(toColor(nodeBodyColor));
    fillRoundedRect(painter, box, r);

    const auto typeIt = frame.typeColorMap.constFind(node.type);
    const Rgb t = typeIt != frame.typeColorMap.cend() ? *typeIt : colorPalette[0];
    const Rgb border = statusStyle ? statusColor(status) : t;
    strokeRoundedRect(painter, box, r, toColor(border), (selected ? 3 : 2) * z);
    if (selected)
        strokeRoundedRect(painter, box, r, toColor(border, 0.4), 8 * z);
    else if (!frame.searchText.isEmpty() && frame.searchMatches.contains(node.id))
        strokeRoundedRect(painter, box, r, toColor(searchHighlightColor, 0.6), 6 * z);

    const double cx = box.left() + w / 2;
    drawCentredText(painter, nameFont, 14 * scale * z, QPointF(cx, box.top() + h * 0.25), node.name,
                    Qt::white);
    drawCentredText(painter, typeFont, 10 * scale * z, QPointF(cx, box.top() + h * 0.5), node.type,
                    toColor(t, 0.8));
    drawCentredText(painter, addressFont, 11 * scale * z, QPointF(cx, box.top() + h * 0.75),
                    node.ip, toColor(addressColor));
    if (frame.rootNodeId && *frame.rootNodeId == node.id)
        drawCentredText(painter, crownFont, 12 * z, QPointF(cx, box.top() - 10 * z), crown,
                        Qt::white);

    if (context.live && frame.mutedNodes.contains(node.id))
        drawMutedMark(painter, box, z);

    if (!context.live && selected && frame.selectedNodes.size() == 1) {
        const bool active = frame.gesture && frame.gesture->isResizingNode &&
                            frame.gesture->resizingNodeId == node.id;
        drawHandle(painter, handleRect(box), active);
    }
    if (dimmed)
        painter.setOpacity(opacity);
}

void CanvasRenderer::drawMutedMark(QPainter& painter, const QRectF& box, double zoom)
{
    // A grey disc with a bell and a slash, 18 units across, inside the top right corner.
    const double d = 18.0 * zoom;
    const QRectF disc(box.right() - d - 4.0 * zoom, box.top() + 4.0 * zoom, d, d);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 60, 60, 230));
    painter.drawEllipse(disc);
    const QPointF c = disc.center();
    const double u = d / 18.0;
    QPainterPath bell;
    bell.moveTo(c + QPointF(-4.5 * u, 3.0 * u));
    bell.lineTo(c + QPointF(-3.5 * u, -1.0 * u));
    bell.quadTo(c + QPointF(0.0, -7.0 * u), c + QPointF(3.5 * u, -1.0 * u));
    bell.lineTo(c + QPointF(4.5 * u, 3.0 * u));
    bell.closeSubpath();
    bell.addEllipse(c + QPointF(0.0, 4.5 * u), 1.3 * u, 1.3 * u);
    painter.setBrush(QColor(230, 230, 230));
    painter.drawPath(bell);
    painter.setPen(QPen(QColor(242, 77, 77), 1.8 * u, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(c + QPointF(-5.5 * u, -5.5 * u), c + QPointF(5.5 * u, 5.5 * u));
}

} // namespace velmora
