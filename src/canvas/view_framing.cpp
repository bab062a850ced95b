// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/view_framing.h"

#include "canvas/cable_geometry.h"
#include "canvas/view_transform.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmora {

namespace {

double freeWidth(QSizeF size, PaneWidths panes)
{
    return size.width() - panes.left - panes.right;
}

double freeHeight(QSizeF size)
{
    return size.height() - 2.0 * framingVerticalMargin;
}

// A zoom computed from a window smaller than its panes (or from degenerate content) is not a
// usable zoom; such a framing keeps zoom 1 instead of writing a negative or infinite value.
double usableZoom(double z)
{
    return (std::isfinite(z) && z > 0.0) ? z : 1.0;
}

} // namespace

PaneWidths paneWidthsFor(bool leftCollapsed, bool liveMode, bool nodesPaneCollapsed,
                         bool layersPaneCollapsed)
{
    PaneWidths widths;
    widths.left = leftCollapsed ? collapsedPaneWidth : leftPaneExpandedWidth;
    if (liveMode)
        widths.right = layersPaneCollapsed ? collapsedPaneWidth : layersPaneExpandedWidth;
    else
        widths.right = nodesPaneCollapsed ? collapsedPaneWidth : nodesPaneExpandedWidth;
    return widths;
}

QPointF centringPan(QPointF centre, double zoom, QSizeF canvasSize, PaneWidths panes)
{
    return QPointF(panes.left + freeWidth(canvasSize, panes) * 0.5 - centre.x() * zoom,
                   freeHeight(canvasSize) * 0.5 + framingVerticalMargin - centre.y() * zoom);
}

Framing fitFraming(const ProjectData& project, QSize mapPixelSize, QSizeF canvasSize,
                   PaneWidths panes)
{
    const double wFree = freeWidth(canvasSize, panes);
    const double hFree = freeHeight(canvasSize);
    if (project.hasMapImage() && !mapPixelSize.isEmpty()) {
        const double scale = effectiveMapScale(project.map->scale);
        // The map, grown to take in every node lying (even partly) outside it, so that nodes
        // off the floor plan are not framed out of reach.
        QRectF box(project.map->positionX, project.map->positionY, mapPixelSize.width() * scale,
                   mapPixelSize.height() * scale);
        const QRectF map = box;
        for (const NodeData& node : project.nodes) {
            const QRectF rect(node.x, node.y, nodeWidth, nodeHeight);
            if (std::isfinite(node.x) && std::isfinite(node.y) && !map.contains(rect))
                box = box.united(rect);
        }
        const double w = box.width();
        const double h = box.height();
        const double z = usableZoom(std::min(std::min(wFree / w, hFree / h), 1.0) * 0.9);
        return {z, centringPan(box.center(), z, canvasSize, panes)};
    }
    if (!project.nodes.isEmpty()) {
        double minX = std::numeric_limits<double>::infinity();
        double minY = minX;
        double maxX = -minX;
        double maxY = -minX;
        for (const NodeData& node : project.nodes) {
            minX = std::min(minX, node.x);
            minY = std::min(minY, node.y);
            maxX = std::max(maxX, node.x + nodeWidth);
            maxY = std::max(maxY, node.y + nodeHeight);
        }
        const double bw = maxX - minX;
        const double bh = maxY - minY;
        double z = 1.0;
        if (bw > 0 && bh > 0)
            z = usableZoom(std::min({wFree / bw, hFree / bh, 1.5}) * 0.85);
        const QPointF centre(minX + bw * 0.5, minY + bh * 0.5);
        return {z, centringPan(centre, z, canvasSize, panes)};
    }
    return {1.0, QPointF(0, 0)};
}

Framing nodeFraming(const NodeData& node, QSizeF canvasSize, PaneWidths panes)
{
    const double scale = effectiveNodeScale(node.scale);
    const QPointF centre(node.x + nodeWidth * scale * 0.5, node.y + nodeHeight * scale * 0.5);
    const double z = std::clamp(1.5 / scale, minZoom, maxZoom);
    return {z, centringPan(centre, z, canvasSize, panes)};
}

std::optional<Framing> nodesFraming(const QList<NodeData>& nodes, QSizeF canvasSize,
                                    PaneWidths panes)
{
    if (nodes.isEmpty())
        return std::nullopt;
    double minX = std::numeric_limits<double>::infinity();
    double minY = minX;
    double maxX = -minX;
    double maxY = -minX;
    for (const NodeData& node : nodes) {
        const double scale = effectiveNodeScale(node.scale);
        minX = std::min(minX, node.x);
        minY = std::min(minY, node.y);
        maxX = std::max(maxX, node.x + nodeWidth * scale);
        maxY = std::max(maxY, node.y + nodeHeight * scale);
    }
    const double bw = maxX - minX;
    const double bh = maxY - minY;
    double z = 1.0;
    if (bw > 0 && bh > 0)
        z = usableZoom(
            std::min({freeWidth(canvasSize, panes) / bw, freeHeight(canvasSize) / bh, 2.0}) * 0.8);
    const QPointF centre(minX + bw * 0.5, minY + bh * 0.5);
    return Framing{z, centringPan(centre, z, canvasSize, panes)};
}

} // namespace velmora
