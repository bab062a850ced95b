// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a running pointer gesture has changed on screen but not yet in the project: node drag
// offset, resizes, cable point drag and the cable under construction. The interaction logic
// writes it; the renderer and hit tests read it.

#include "model/editing_types.h"

#include <QPointF>
#include <QSizeF>

#include <optional>

namespace velmora {

struct GestureState {
    bool isDragging = false;
    std::optional<Node> draggedNode; // while set, the drag moves the selection
    QSizeF nodeDragOffset;           // screen units
    bool isResizingNode = false;
    std::optional<qint64> resizingNodeId;
    double nodeResizeStart = 1.0;
    bool isResizingMap = false;
    double mapResizeStart = 1.0;

    // Cable point drag: indices into the project's cable list and that cable's points.
    std::optional<qsizetype> draggingCableIndex;
    std::optional<qsizetype> draggingPointIndex;
    QSizeF draggingPointOffset; // screen units

    // Cable drawing: the cable under construction is not part of the project yet.
    bool isDrawingCable = false;
    std::optional<Cable> currentCable;
    std::optional<QPointF> cablePreviewPoint; // screen units

    bool isPointDragActive() const { return draggingCableIndex && draggingPointIndex; }
};

} // namespace velmora
