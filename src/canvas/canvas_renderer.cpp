// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/canvas_renderer.h"

#include "canvas/cable_geometry.h"
#include "canvas/tile_mask.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <vector>

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

// Copies the image's pixels inside `region` to the same place (all of them for no region).
void copyRegion(QPainter& painter, const QImage& image, const QRegion& region)
{
    if (region.isEmpty()) {
        painter.drawImage(QPoint(0, 0), image);
        return;
    }
    for (const QRect& rect : region)
        painter.drawImage(rect.topLeft(), image, rect);
}

const QString crown = QString::fromUtf8("\xF0\x9F\x91\x91"); // U+1F451

// Images, widgets and pixmaps; never an SVG generator or a PDF writer.
bool isRasterDevice(const QPainter& painter)
{
    const QPaintDevice* device = painter.device();
    if (!device)
        return false;
    const int type = device->devType();
    return type == QInternal::Image || type == QInternal::Widget || type == QInternal::Pixmap;
}

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
    // A partial frame: only `region` is drawn, and items that touch none of `tiles` are skipped.
    QRegion region;
    TileMask tiles;
    // Drawn into an unscaled raster image: cached layers and sprites may be copied in.
    bool raster = false;
    // Drawn into the pool thread's image, of which only `region` is copied out: items that touch
    // the region are drawn whole, without a clip (a clip of many rectangles costs more than the
    // pixels it saves), since whatever they cover outside it is never shown.
    bool scratch = false;
    // Which parts of each node drawNode draws: its glow, the rest, or both.
    static constexpr int glowPart = 1;
    static constexpr int facePart = 2;
    int nodeParts = glowPart | facePart;

    bool isInFrame(const QRectF& box) const
    {
        return box.intersects(viewport) && (region.isEmpty() || tiles.touches(box));
    }

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

CanvasRenderer::FrameContext CanvasRenderer::frameContext(QSizeF size,
                                                          const RenderFrame& frame) const
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
    return context;
}

// Where a node's box is drawn, a node drag's offset included.
QRectF CanvasRenderer::nodeBox(const FrameContext& context, const NodeData& node) const
{
    const RenderFrame& frame = context.frame;
    const double z = frame.view.zoom;
    const double scale = effectiveNodeScale(node.scale);
    QPointF topLeft = frame.view.toScreen(QPointF(node.x, node.y));
    if (context.nodeDragRunning && frame.selectedNodes.contains(node.id))
        topLeft +=
            QPointF(frame.gesture->nodeDragOffset.width(), frame.gesture->nodeDragOffset.height());
    return QRectF(topLeft, QSizeF(nodeWidth * scale * z, nodeHeight * scale * z));
}

QRegion CanvasRenderer::pulseRegion(QSizeF size, const RenderFrame& frame)
{
    if (frame.appMode != AppMode::live || !frame.liveGlowEnabled || !frame.isContentReady)
        return {};
    const FrameContext context = frameContext(size, frame);
    const auto breathes = [](PingStatus status) {
        return status == PingStatus::online || status == PingStatus::slow;
    };
    TileMask tiles(size.toSize());
    const double z = frame.view.zoom;
    if (frame.cableStatus) {
        // The widest stroke is (6 i + 10) x zoom; round caps reach half of it past the ends.
        const double half = 8.0 * z + 2.0;
        for (const CableData& cable : context.project.cables) {
            if (cable.points.size() < 2 || !isConnected(cable.points) ||
                frame.selectedCableIds.contains(cable.id) || !context.isCableVisible(cable) ||
                !breathes(frame.cableStatus(cable.id, cable.points)))
                continue;
            const QList<QPointF> positions = context.geometry.screenPositions(cable.points);
            for (qsizetype k = 0; k + 1 < positions.size(); ++k) {
                // Long segments in tile-sized pieces, so a diagonal marks a band, not its box.
                const QPointF a = positions.at(k);
                const QPointF d = positions.at(k + 1) - a;
                const double length = std::hypot(d.x(), d.y());
                if (!std::isfinite(length))
                    continue;
                const int pieces =
                    std::clamp(static_cast<int>(std::ceil(length / TileMask::tileSize)), 1, 4096);
                for (int p = 0; p < pieces; ++p) {
                    const QRectF piece =
                        QRectF(a + d * (double(p) / pieces), a + d * (double(p + 1) / pieces))
                            .normalized();
                    tiles.mark(piece.adjusted(-half, -half, half, half));
                }
            }
        }
    }
    const double glow = 12.0 * z + 2.0;
    for (const NodeData& node : context.project.nodes) {
        if (!frame.visibleTypes.contains(node.type) ||
            !breathes(frame.nodeStatuses.value(node.id, PingStatus::unknown)))
            continue;
        tiles.mark(nodeBox(context, node).adjusted(-glow, -glow, glow, glow));
    }
    return tiles.region();
}

void CanvasRenderer::drawCanvas(QPainter& painter, QSizeF size, const RenderFrame& frame,
                                const QRegion& region)
{
    FrameContext context = frameContext(size, frame);
    // Cached layers and sprites are copied only where a copy blends as drawing would: into an
    // unscaled raster device under an untransformed, opaque painter (never into a vector file).
    const QPaintDevice* device = painter.device();
    context.raster = painter.paintEngine() &&
                     painter.paintEngine()->type() == QPaintEngine::Raster && device &&
                     device->devicePixelRatioF() == 1.0 && painter.transform().isIdentity() &&
                     painter.opacity() == 1.0 &&
                     painter.compositionMode() == QPainter::CompositionMode_SourceOver;
    if (!region.isEmpty()) {
        context.region = region;
        context.tiles = TileMask(size.toSize());
        context.tiles.mark(region);
    }

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
    // Vector devices (SVG, PDF) are drawn directly, so their boxes and texts stay vectors.
    if (!device || !isRasterDevice(painter) || device->devicePixelRatioF() != 1.0 ||
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
    // The pool thread draws into its own image, of which only the region is copied out.
    FrameContext scratch = context;
    scratch.scratch = true;
    m_workerJob = {size, &scratch};
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
    copyRegion(painter, m_frameImage, context.region);
    return true;
}

void CanvasRenderer::drawFrame(QPainter& painter, QSizeF size, const FrameContext& context)
{
    const RenderFrame& frame = context.frame;
    const ProjectData& project = context.project;
    painter.save();
    m_currentFontKey = -1;
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (context.raster) {
        drawCachedBase(painter, size, context);
    } else {
        if (!context.region.isEmpty())
            painter.setClipRegion(context.region);
        drawBase(painter, size, context);
    }

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
        if (!drawNodesLayered(painter, context)) {
            for (const NodeData& node : project.nodes)
                drawNode(painter, context, node);
        }
    }

    if (!context.live && frame.isContentReady && project.hasMapImage()) {
        const QImage& image = m_mapCache.decoded(*project.map->imageData);
        const QRectF mapRect = mapScreenRect(*project.map, image.size(), frame.view);
        if (!image.isNull())
            drawHandle(painter, handleRect(mapRect), frame.gesture && frame.gesture->isResizingMap);
    }
    painter.restore();
}

void CanvasRenderer::drawBase(QPainter& painter, QSizeF size, const FrameContext& context)
{
    const RenderFrame& frame = context.frame;
    painter.fillRect(context.viewport, toColor(backgroundColor));
    // The darkened background lies under the map and everything else.
    if (context.anySelected)
        painter.fillRect(context.viewport, QColor::fromRgbF(0, 0, 0, 0.3f));

    if (frame.isContentReady && context.project.hasMapImage())
        drawMap(painter, context);
    if (!context.live)
        drawGrid(painter, size, frame.view);
}

// The base changes only with the view, the mode, the selection's darkening and the map, so a
// pulse tick or a status change copies it instead of drawing it. A partial frame copies only its
// region, and then clips what is drawn over it to that region.
void CanvasRenderer::drawCachedBase(QPainter& painter, QSizeF size, const FrameContext& context)
{
    const RenderFrame& frame = context.frame;
    BaseKey key{size.toSize(),      frame.view.zoom, frame.view.pan.x(),
                frame.view.pan.y(), !context.live,   context.anySelected};
    if (frame.isContentReady && context.project.hasMapImage()) {
        const QImage& image =
            m_mapCache.filtered(*context.project.map->imageData, frame.mapSaturation);
        key.mapImage = image.cacheKey();
        key.mapRect = mapScreenRect(*context.project.map, image.size(), frame.view);
        key.mapOpacity = frame.mapOpacity;
    }
    if (m_baseImage.isNull() || !(key == m_baseKey)) {
        m_baseImage = QImage(key.size, QImage::Format_RGB32);
        QPainter basePainter(&m_baseImage);
        drawBase(basePainter, size, context);
        basePainter.end();
        m_baseKey = key;
    }
    copyRegion(painter, m_baseImage, context.region);
    if (!context.region.isEmpty() && !context.scratch)
        painter.setClipRegion(context.region);
}

// Whether no node's glow reaches the drawing of another node (its box, highlight and crown):
// then the nodes may be drawn in any order, their glows first.
bool CanvasRenderer::nodesApart(const FrameContext& context) const
{
    const RenderFrame& frame = context.frame;
    const double z = frame.view.zoom;
    // A glow reaches 12 x zoom out and a highlight 4 x zoom: boxes grown by half of the sum
    // (and a pixel each for antialiasing) overlap exactly when one could reach the other.
    const double half = 8.0 * z + 1.0;
    const QRectF reach = context.viewport.adjusted(-half, -half, half, half);
    std::vector<QRectF> boxes;
    for (const NodeData& node : context.project.nodes) {
        if (!frame.visibleTypes.contains(node.type))
            continue;
        QRectF box = nodeBox(context, node).adjusted(-half, -half, half, half);
        if (frame.rootNodeId && *frame.rootNodeId == node.id)
            box.setTop(box.top() - 24.0 * z); // the crown
        if (!std::isfinite(box.left()) || !std::isfinite(box.top()))
            return false;
        if (box.intersects(reach))
            boxes.push_back(box);
    }
    std::sort(boxes.begin(), boxes.end(),
              [](const QRectF& a, const QRectF& b) { return a.left() < b.left(); });
    for (size_t i = 0; i < boxes.size(); ++i) {
        for (size_t j = i + 1; j < boxes.size() && boxes[j].left() < boxes[i].right(); ++j) {
            if (boxes[j].top() < boxes[i].bottom() && boxes[i].top() < boxes[j].bottom())
                return false;
        }
    }
    return true;
}

// In live mode with the glow, the pulse changes only the glows: the rest of every node is drawn
// once into a layer, kept while the view, the nodes, their statuses, types, selection, search
// and root stay the same, and copied over the glows of each frame. Only while the nodes lie
// apart (nodesApart), so that the order in which they cover each other cannot show.
bool CanvasRenderer::drawNodesLayered(QPainter& painter, const FrameContext& context)
{
    const RenderFrame& frame = context.frame;
    if (!context.raster || !context.live || !frame.liveGlowEnabled || context.nodeDragRunning)
        return false;
    const FaceKey key{context.viewport.size().toSize(),
                      frame.view.zoom,
                      frame.view.pan.x(),
                      frame.view.pan.y(),
                      context.project.nodes.constData(),
                      frame.typeColorMap,
                      frame.visibleTypes,
                      frame.selectedNodes,
                      frame.selectedCableIds,
                      frame.searchMatches,
                      frame.searchText,
                      frame.rootNodeId,
                      frame.nodeStatuses,
                      frame.mutedNodes};
    if (m_faceImage.isNull() || !(key == m_faceKey)) {
        m_faceKey = key;
        m_faceNodes = context.project.nodes;
        m_facesApart = nodesApart(context);
        if (m_facesApart) {
            if (m_faceImage.size() != key.size)
                m_faceImage = QImage(key.size, QImage::Format_ARGB32_Premultiplied);
            m_faceImage.fill(Qt::transparent);
            QPainter facePainter(&m_faceImage);
            facePainter.setRenderHint(QPainter::Antialiasing, true);
            FrameContext faces = context;
            faces.region = QRegion();
            faces.nodeParts = FrameContext::facePart;
            m_currentFontKey = -1;
            for (const NodeData& node : context.project.nodes)
                drawNode(facePainter, faces, node);
            facePainter.end();
            m_currentFontKey = -1;
        }
    }
    if (!m_facesApart)
        return false;
    FrameContext glows = context;
    glows.nodeParts = FrameContext::glowPart;
    for (const NodeData& node : context.project.nodes)
        drawNode(painter, glows, node);
    copyRegion(painter, m_faceImage, context.region);
    return true;
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
    const bool blit = isRasterDevice(painter) && painter.transform().isIdentity() &&
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
    if (!context.isInFrame(positions.boundingRect().adjusted(-margin, -margin, margin, margin)))
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
            const double widths[] = {(6 * i + 10) * z, (3 * i + 6) * z, (2 * i + 3) * z};
            const double opacities[] = {0.15 * i, 0.25 * i, 1.0};
            // Strokes under a pixel are one-pixel lines over the same pixels at opacity x width
            // (strokePolyline); layers of one colour blend to the same result in any order, so
            // those are drawn as one line of their combined opacity, after the wider ones.
            double through = 1.0;
            for (int k = 0; k < 3; ++k) {
                if (widths[k] < 1.0)
                    through *= 1.0 - opacities[k] * widths[k];
                else
                    strokePolyline(painter, positions, toColor(c, opacities[k]), widths[k]);
            }
            if (through < 1.0)
                strokePolyline(painter, positions, toColor(c), 1.0 - through);
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

const QString& CanvasRenderer::fittedLabel(int fontKind, const QString& text, double unitPixelSize)
{
    // Text and box scale together with zoom and node scale, so the cut is made once at the
    // reference size: the box's width less a margin each side, in reference font units.
    constexpr double sideMargin = 8.0;
    QHash<QString, QString>& cache = m_fittedLabels[fontKind];
    auto it = cache.constFind(text);
    if (it == cache.cend()) {
        if (cache.size() > 50000)
            cache.clear();
        const double width = (nodeWidth - 2 * sideMargin) * referencePixelSize / unitPixelSize;
        it = cache.insert(text,
                          QFontMetricsF(m_fonts[fontKind]).elidedText(text, Qt::ElideRight, width));
    }
    return *it;
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
    const QRectF box = nodeBox(context, node);
    const double w = box.width();
    const double h = box.height();
    const double r = cornerRadius * scale * z;
    // Glow reaches 12 x zoom out, the crown 22 x zoom above the box.
    const double margin = 24.0 * z + 4.0;
    if (!context.isInFrame(box.adjusted(-margin, -margin, margin, margin)))
        return;

    // Every step below sets the pen, brush and font it draws with; only the opacity needs putting
    // back (a full save and restore per node costs more than a small node's drawing).
    const double opacity = painter.opacity();
    const bool dimmed = context.anySelected && !selected;
    if (dimmed)
        painter.setOpacity(dimmedOpacity);

    const bool statusStyle = context.live && frame.liveGlowEnabled;
    const PingStatus status = frame.nodeStatuses.value(node.id, PingStatus::unknown);
    if (statusStyle && (context.nodeParts & FrameContext::glowPart)) {
        const QColor c = toColor(statusColor(status));
        const double i = pulseIntensity(status, frame.pulsePhase);
        // A copied sprite blends as the three layers would only at full opacity.
        if (!(context.raster && !dimmed && m_glowSprites.draw(painter, box, r, c, i, z)))
            GlowSprites::paintLayers(painter, box, r, c, i, z);
    }
    if (!(context.nodeParts & FrameContext::facePart)) {
        painter.setOpacity(opacity);
        return;
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(toColor(nodeBodyColor));
    fillRoundedRect(painter, box, r);

    const auto typeIt = frame.typeColorMap.constFind(node.type);
    const Rgb t = typeIt != frame.typeColorMap.cend() ? *typeIt : colorPalette[0];
    const bool stale = statusStyle && frame.staleNodes.contains(node.id);
    const Rgb border = stale         ? statusColor(PingStatus::unknown)
                       : statusStyle ? statusColor(status)
                                     : t;
    strokeRoundedRect(painter, box, r, toColor(border), (selected ? 3 : 2) * z);
    if (selected)
        strokeRoundedRect(painter, box, r, toColor(border, 0.4), 8 * z);
    else if (!frame.searchText.isEmpty() && frame.searchMatches.contains(node.id))
        strokeRoundedRect(painter, box, r, toColor(searchHighlightColor, 0.6), 6 * z);

    const double cx = box.left() + w / 2;
    // On screen and in pictures names are cut to the box; an SVG or PDF export keeps them whole,
    // so the exported file can be searched for every node's name.
    const bool wholeLabels = !isRasterDevice(painter);
    drawCentredText(painter, nameFont, 14 * scale * z, QPointF(cx, box.top() + h * 0.25),
                    wholeLabels ? node.name : fittedLabel(nameFont, node.name, 14), Qt::white);
    drawCentredText(painter, typeFont, 10 * scale * z, QPointF(cx, box.top() + h * 0.5),
                    wholeLabels ? node.type : fittedLabel(typeFont, node.type, 10),
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
