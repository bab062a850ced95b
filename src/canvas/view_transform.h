// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The canvas-to-screen transform: screen = canvas x zoom + pan. A plain value so that geometry,
// hit tests and the renderer take it without depending on the widget.

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace velmora {

inline constexpr double minZoom = 0.2;
inline constexpr double maxZoom = 3.0;
inline constexpr double gridSize = 50.0;
inline constexpr double mapHandleSize = 16.0; // screen units, never scaled by zoom

struct ViewTransform {
    double zoom = 1.0;
    QPointF pan;

    QPointF toScreen(QPointF canvas) const { return canvas * zoom + pan; }
    QPointF toCanvas(QPointF screen) const { return (screen - pan) / zoom; }
    QRectF toScreen(const QRectF& canvas) const
    {
        return QRectF(toScreen(canvas.topLeft()), canvas.size() * zoom);
    }
};

} // namespace velmora
