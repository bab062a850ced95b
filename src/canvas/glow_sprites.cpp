// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/glow_sprites.h"

#include <QPainter>

#include <cmath>

namespace velmora {

namespace {

// Grown on every side by `grow` x zoom x i, corner radius grown by `radius` x zoom x i, at
// opacity `opacity` x i; outermost first.
struct GlowLayer {
    double grow, radius, opacity;
};
constexpr GlowLayer glowLayers[] = {{12, 8, 0.15}, {6, 4, 0.25}, {3, 2, 0.35}};

qint64 fixed(double v)
{
    return std::llround(v * 4096.0);
}

} // namespace

void GlowSprites::paintLayers(QPainter& painter, const QRectF& box, double radius,
                              const QColor& colour, double i, double zoom)
{
    painter.setPen(Qt::NoPen);
    for (const GlowLayer& layer : glowLayers) {
        const double g = layer.grow * zoom * i;
        const double r = radius + layer.radius * zoom * i;
        QColor c = colour;
        c.setAlphaF(static_cast<float>(layer.opacity * i));
        painter.setBrush(c);
        const QRectF rect = box.adjusted(-g, -g, g, g);
        // Rounded corners under a pixel look like plain ones.
        if (r < 1.0)
            painter.drawRect(rect);
        else
            painter.drawRoundedRect(rect, r, r);
    }
}

bool GlowSprites::draw(QPainter& painter, const QRectF& box, double radius, const QColor& colour,
                       double i, double zoom)
{
    const double g = glowLayers[0].grow * zoom * i;
    const QRectF outer = box.adjusted(-g, -g, g, g);
    if (!(outer.width() * outer.height() <= maxSpritePixels) || !std::isfinite(outer.left()) ||
        !std::isfinite(outer.top()) || std::abs(outer.left()) > 1e6 || std::abs(outer.top()) > 1e6)
        return false;
    // The sprite's pixel origin and the glow's quarter-pixel offset from it.
    const double qx = std::floor(outer.left() * 4.0) / 4.0;
    const double qy = std::floor(outer.top() * 4.0) / 4.0;
    const int ox = static_cast<int>(std::floor(qx));
    const int oy = static_cast<int>(std::floor(qy));
    const Key key{colour.rgba(),
                  fixed(box.width()),
                  fixed(box.height()),
                  fixed(radius),
                  fixed(i),
                  fixed(zoom),
                  static_cast<int>((qx - ox) * 4.0),
                  static_cast<int>((qy - oy) * 4.0)};
    auto it = m_sprites.constFind(key);
    if (it == m_sprites.cend()) {
        const QPointF offset(qx - ox + g, qy - oy + g); // the box's place in the sprite
        QImage sprite(static_cast<int>(std::ceil(offset.x() + box.width() + g)) + 1,
                      static_cast<int>(std::ceil(offset.y() + box.height() + g)) + 1,
                      QImage::Format_ARGB32_Premultiplied);
        sprite.fill(Qt::transparent);
        QPainter spritePainter(&sprite);
        spritePainter.setRenderHint(QPainter::Antialiasing, true);
        paintLayers(spritePainter, QRectF(offset, box.size()), radius, colour, i, zoom);
        spritePainter.end();
        if (m_bytes + sprite.sizeInBytes() > budgetBytes) {
            m_sprites.clear();
            m_bytes = 0;
        }
        m_bytes += sprite.sizeInBytes();
        it = m_sprites.insert(key, sprite);
    }
    painter.drawImage(QPoint(ox, oy), *it);
    return true;
}

} // namespace velmora
