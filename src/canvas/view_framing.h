// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Framing math of the canvas as plain functions: where zoom and pan must go to centre the map,
// all nodes, one node or a set of nodes in the space left free between the side panes.

#include "model/project_data.h"

#include <QList>
#include <QPointF>
#include <QSize>
#include <QSizeF>

#include <optional>

namespace velmora {

// Widths of the panes lying over the canvas, in screen units.
inline constexpr double leftPaneExpandedWidth = 220.0;
inline constexpr double collapsedPaneWidth = 60.0;
inline constexpr double nodesPaneExpandedWidth = 410.0;  // right column in edit mode
inline constexpr double layersPaneExpandedWidth = 340.0; // right column in live mode
inline constexpr double framingVerticalMargin = 40.0;    // free space above and below content

struct PaneWidths {
    double left = leftPaneExpandedWidth;
    double right = nodesPaneExpandedWidth;
};

PaneWidths paneWidthsFor(bool leftCollapsed, bool liveMode, bool nodesPaneCollapsed,
                         bool layersPaneCollapsed);

struct Framing {
    double zoom = 1.0;
    QPointF pan;
    bool operator==(const Framing&) const = default;
};

// The pan that puts canvas point `centre` in the middle of the free area at zoom `zoom`.
QPointF centringPan(QPointF centre, double zoom, QSizeF canvasSize, PaneWidths panes);

// fitToScreen: the map image when there is one (pixel size times its scale), together with
// every node lying outside it, else the node
// bounding box without node scale, else zoom 1 at pan (0, 0). Not clamped to the zoom limits.
// `mapPixelSize` is the decoded image size; an image that does not decode (empty size) is
// framed as if there were no map.
Framing fitFraming(const ProjectData& project, QSize mapPixelSize, QSizeF canvasSize,
                   PaneWidths panes);

// zoomToNode: centres the node at 1.5 / scale, clamped to the zoom limits.
Framing nodeFraming(const NodeData& node, QSizeF canvasSize, PaneWidths panes);

// zoomToSearchResults: the bounding box of the nodes (scale applied); none for an empty set.
std::optional<Framing> nodesFraming(const QList<NodeData>& nodes, QSizeF canvasSize,
                                    PaneWidths panes);

} // namespace velmora
