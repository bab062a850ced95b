// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Node glows drawn once per colour, box size, intensity and quarter-pixel position and then
// copied: the three translucent rounded layers of a glow cost a path fill each, the copy one
// blend. Positions are rounded down to a quarter pixel, which moves a glow's soft edge by less
// than a quarter pixel. The sprites live within a memory budget.

#include <QColor>
#include <QHash>
#include <QImage>
#include <QRectF>

namespace velmora {

class GlowSprites final {
public:
    static constexpr qint64 budgetBytes = 32 * 1024 * 1024;
    static constexpr double maxSpritePixels = 256.0 * 256.0;

    // Draws the glow of `box` (corner radius `radius`) in `colour` at intensity `i` and zoom
    // `zoom` into an unscaled raster painter; false when the glow is too large for a sprite
    // (the caller draws it directly).
    bool draw(QPainter& painter, const QRectF& box, double radius, const QColor& colour, double i,
              double zoom);

    // The glow itself, as drawn into a sprite and directly.
    static void paintLayers(QPainter& painter, const QRectF& box, double radius,
                            const QColor& colour, double i, double zoom);

    qsizetype count() const { return m_sprites.size(); }

private:
    struct Key {
        QRgb colour;
        qint64 width, height, radius, intensity, zoom;
        int fx, fy;
        bool operator==(const Key&) const = default;
        friend size_t qHash(const Key& k, size_t seed = 0)
        {
            return qHashMulti(seed, k.colour, k.width, k.height, k.radius, k.intensity, k.zoom,
                              k.fx, k.fy);
        }
    };

    QHash<Key, QImage> m_sprites;
    qint64 m_bytes = 0;
};

} // namespace velmora
