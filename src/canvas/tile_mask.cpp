// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/tile_mask.h"

#include <algorithm>
#include <cmath>

namespace velmora {

TileMask::TileMask(QSize frame)
    : m_frame(frame), m_columns(std::max(0, (frame.width() + tileSize - 1) / tileSize)),
      m_rows(std::max(0, (frame.height() + tileSize - 1) / tileSize)),
      m_tiles(static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows), 0)
{
}

bool TileMask::span(const QRectF& box, int& c0, int& c1, int& r0, int& r1) const
{
    if (m_columns == 0 || m_rows == 0 || !(box.width() >= 0) || !(box.height() >= 0) ||
        !(box.right() >= 0) || !(box.bottom() >= 0) || !(box.left() < m_frame.width()) ||
        !(box.top() < m_frame.height()))
        return false; // also false for NaN coordinates
    const auto tile = [](double v, int count) {
        return std::clamp(static_cast<int>(std::floor(std::clamp(v, -1.0, 1.0e7) / tileSize)), 0,
                          count - 1);
    };
    c0 = tile(box.left(), m_columns);
    c1 = tile(box.right(), m_columns);
    r0 = tile(box.top(), m_rows);
    r1 = tile(box.bottom(), m_rows);
    return true;
}

void TileMask::mark(const QRectF& box)
{
    int c0, c1, r0, r1;
    if (!span(box, c0, c1, r0, r1))
        return;
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            unsigned char& tile = m_tiles[static_cast<size_t>(r) * m_columns + c];
            m_marked += tile == 0;
            tile = 1;
        }
    }
}

void TileMask::mark(const QRegion& region)
{
    for (const QRect& rect : region)
        mark(QRectF(rect.adjusted(0, 0, -1, -1)));
}

bool TileMask::touches(const QRectF& box) const
{
    int c0, c1, r0, r1;
    if (m_marked == 0 || !span(box, c0, c1, r0, r1))
        return false;
    for (int r = r0; r <= r1; ++r) {
        const unsigned char* row = m_tiles.data() + static_cast<size_t>(r) * m_columns;
        if (std::any_of(row + c0, row + c1 + 1, [](unsigned char t) { return t != 0; }))
            return true;
    }
    return false;
}

QRegion TileMask::region() const
{
    // One band per tile row, spans neither overlapping nor touching, sorted: the form
    // QRegion::setRects takes without any merging work.
    std::vector<QRect> rects;
    for (int r = 0; r < m_rows; ++r) {
        const unsigned char* row = m_tiles.data() + static_cast<size_t>(r) * m_columns;
        const int top = r * tileSize;
        const int height = std::min(tileSize, m_frame.height() - top);
        for (int c = 0; c < m_columns;) {
            if (!row[c]) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < m_columns && row[c])
                ++c;
            const int left = start * tileSize;
            rects.emplace_back(left, top, std::min(c * tileSize, m_frame.width()) - left, height);
        }
    }
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

} // namespace velmora
