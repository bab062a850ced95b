// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which part of a frame is drawn again, kept as square tiles: boxes are marked on the grid of
// tiles, the marked tiles become the repaint region (few rectangles however many boxes), and
// items are culled against it at the cost of a few tile look-ups.

#include <QRect>
#include <QRegion>
#include <QSize>

#include <vector>

namespace velmora {

class TileMask final {
public:
    static constexpr int tileSize = 32;

    TileMask() = default; // covers nothing
    explicit TileMask(QSize frame);

    // Marks every tile the box touches (the part inside the frame).
    void mark(const QRectF& box);
    void mark(const QRegion& region);

    bool isEmpty() const { return m_marked == 0; }
    bool touches(const QRectF& box) const;
    // The marked tiles as rows of spans, cut to the frame.
    QRegion region() const;

private:
    // Tile columns and rows the box covers, clamped to the grid; false when it misses the frame.
    bool span(const QRectF& box, int& c0, int& c1, int& r0, int& r1) const;

    QSize m_frame;
    int m_columns = 0;
    int m_rows = 0;
    int m_marked = 0;
    std::vector<unsigned char> m_tiles;
};

} // namespace velmora
