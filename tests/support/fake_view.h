// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A view state for driving the canvas controller without a widget: zoom and pan as plain values,
// with a record of the framing requests.

#include "canvas/canvas_interaction.h"

#include <QList>
#include <QSet>

namespace velmora {

class FakeView final : public ViewAccess {
public:
    ViewTransform view;
    QPointF start;
    QSize imageSize;
    int zoomIns = 0;
    int zoomOuts = 0;
    QList<QSet<qint64>> framed;

    ViewTransform transform() const override { return view; }
    void dragPan(QSizeF translation) override
    {
        view.pan = start + QPointF(translation.width(), translation.height());
    }
    void endDragPan() override { start = view.pan; }
    QSize mapImageSize() const override { return imageSize; }
    void zoomIn() override { ++zoomIns; }
    void zoomOut() override { ++zoomOuts; }
    void zoomToNodes(const QSet<qint64>& nodeIds) override { framed.append(nodeIds); }
};

} // namespace velmora
