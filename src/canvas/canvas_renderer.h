// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws one frame of the canvas into a QPainter from plain values: the project, the view
// transform, the mode, selection and gesture state, type colours and visibility, search
// highlight, live statuses and the pulse. Used by the canvas widget, the CLI and tests alike.

#include "canvas/gesture_state.h"
#include "canvas/glow_sprites.h"
#include "canvas/hit_test.h"
#include "canvas/map_image.h"
#include "canvas/view_transform.h"
#include "model/editing_types.h"
#include "model/type_colors.h"
#include "monitor/ping_status.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QRegion>
#include <QSet>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>
#include <semaphore>

class QPainter;

namespace velmora {

// Status of a cable from the statuses of the nodes its points are attached to.
using CableStatusFunction =
    std::function<PingStatus(qint64 cableId, const QList<CablePoint>& points)>;

struct RenderFrame {
    const ProjectData* project = nullptr;
    ViewTransform view;
    AppMode appMode = AppMode::edit;
    bool isContentReady = true;
    const GestureState* gesture = nullptr; // none: no gesture runs
    QSet<qint64> selectedNodes;
    QSet<qint64> selectedCableIds;
    QMap<QString, Rgb> typeColorMap;
    QSet<QString> visibleTypes;
    std::optional<qint64> rootNodeId;
    QSet<qint64> searchMatches;
    QString searchText;
    QHash<qint64, PingStatus> nodeStatuses; // a node without an entry is unknown
    QSet<qint64> staleNodes;                // statuses kept but no longer confirmed: grey outline
    CableStatusFunction cableStatus;        // none: every cable is unknown
    QSet<qint64> mutedNodes;                // alerts muted: marked in live mode
    bool liveGlowEnabled = true;
    double pulsePhase = 0.0;
    double mapOpacity = 1.0;
    double mapSaturation = 1.0;
};

inline QColor toColor(const Rgb& rgb, double opacity = 1.0)
{
    return QColor::fromRgbF(static_cast<float>(rgb.red), static_cast<float>(rgb.green),
                            static_cast<float>(rgb.blue), static_cast<float>(opacity));
}

Rgb statusColor(PingStatus status);
// |sin(phase)| for reachable nodes (they breathe), a steady 0.7 for the others.
double pulseIntensity(PingStatus status, double pulsePhase);

class CanvasRenderer final {
public:
    CanvasRenderer();

    // With a region, only the pixels inside it are drawn; the rest of the device keeps what it
    // holds (the frame before, on screen). Items outside the region are not drawn at all.
    void drawCanvas(QPainter& painter, QSizeF size, const RenderFrame& frame,
                    const QRegion& region = {});

    // The pixels the next pulse tick changes: around the glow of every node and the strokes of
    // every cable drawn in a breathing status (online, slow). Empty when nothing breathes.
    // Asks the cable status of the cables it colours, as drawing does.
    QRegion pulseRegion(QSizeF size, const RenderFrame& frame);

    MapImageCache& mapCache() { return m_mapCache; }

private:
    struct FrameContext;
    FrameContext frameContext(QSizeF size, const RenderFrame& frame) const;
    QRectF nodeBox(const FrameContext& context, const NodeData& node) const;
    void drawBase(QPainter& painter, QSizeF size, const FrameContext& context);
    void drawCachedBase(QPainter& painter, QSizeF size, const FrameContext& context);
    bool drawOnWorker(QPainter& painter, QSizeF size, const FrameContext& context);
    void drawFrame(QPainter& painter, QSizeF size, const FrameContext& context);
    void drawMap(QPainter& painter, const FrameContext& context);
    void drawGrid(QPainter& painter, QSizeF size, const ViewTransform& view);
    void drawCable(QPainter& painter, const FrameContext& context, qint64 id,
                   const QList<CablePointData>& points, bool isPreview);
    void drawNode(QPainter& painter, const FrameContext& context, const NodeData& node);
    // The muted mark: a small crossed-out bell at the node's top right corner.
    static void drawMutedMark(QPainter& painter, const QRectF& box, double zoom);
    bool drawNodesLayered(QPainter& painter, const FrameContext& context);
    bool nodesApart(const FrameContext& context) const;
    void drawCentredText(QPainter& painter, int fontKind, double pixelSize, QPointF centre,
                         const QString& text, const QColor& color);
    void drawHandle(QPainter& painter, const QRectF& handle, bool active);
    // A node's name or type cut to the box's width with "…" (drawn at `unitPixelSize` per unit
    // of node scale); the full text shows in node details and the hover tooltip.
    const QString& fittedLabel(int fontKind, const QString& text, double unitPixelSize);

    MapImageCache m_mapCache;
    QImage m_frameImage; // the frame drawn on a pool thread
    struct WorkerJob {
        QSizeF size;
        const FrameContext* context = nullptr;
    } m_workerJob;
    std::binary_semaphore m_workerJobReady{0};
    std::binary_semaphore m_workerFrameDone{0};
    // Background, map and grid: redrawn only when one of them or the view changes.
    struct BaseKey {
        QSize size;
        double zoom = 0.0;
        double panX = 0.0;
        double panY = 0.0;
        bool grid = false;
        bool darkened = false;
        qint64 mapImage = 0;
        QRectF mapRect;
        double mapOpacity = 0.0;
        bool operator==(const BaseKey&) const = default;
    };
    QImage m_baseImage;
    BaseKey m_baseKey;
    GlowSprites m_glowSprites;
    // Everything of the nodes but their glows, in live mode with the glow: redrawn only when
    // what it shows changes (shared containers compare by their data first: a cheap test).
    struct FaceKey {
        QSize size;
        double zoom = 0.0;
        double panX = 0.0;
        double panY = 0.0;
        const void* nodes = nullptr; // the list's data, kept alive by m_faceNodes
        QMap<QString, Rgb> typeColorMap;
        QSet<QString> visibleTypes;
        QSet<qint64> selectedNodes;
        QSet<qint64> selectedCableIds;
        QSet<qint64> searchMatches;
        QString searchText;
        std::optional<qint64> rootNodeId;
        QHash<qint64, PingStatus> nodeStatuses;
        QSet<qint64> mutedNodes;
        bool operator==(const FaceKey&) const = default;
    };
    QImage m_faceImage;
    FaceKey m_faceKey;
    QList<NodeData> m_faceNodes;
    bool m_facesApart = false;
    QImage m_gridColumn; // one vertical grid line, premultiplied grid colour
    QImage m_gridBand;   // a band of rows crossed by every vertical grid line
    QList<int> m_gridBandColumns;
    QFont m_fonts[4]; // name, type, address, crown
    QHash<QString, double> m_advanceCache[4];
    QHash<QString, QString> m_fittedLabels[2]; // name and type fonts: text -> elided text
    double m_baselineShift[4] = {};
    QHash<qint64, QFont> m_sizedFonts;
    qint64 m_currentFontKey = -1;
};

} // namespace velmora
