// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/map_image.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace velmora {

QImage saturationFiltered(const QImage& image, double amount)
{
    if (image.isNull())
        return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (amount >= 1.0)
        return out;
    const double a = std::clamp(amount, 0.0, 1.0);
    // Fixed point (8 fractional bits) keeps the filter cheap on large plans.
    const int k = static_cast<int>(std::lround(a * 256.0));
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const int r = qRed(p);
            const int g = qGreen(p);
            const int b = qBlue(p);
            const int grey = (r * 54 + g * 183 + b * 19) >> 8; // 0.2126, 0.7152, 0.0722
            const int nr = grey + (((r - grey) * k) >> 8);
            const int ng = grey + (((g - grey) * k) >> 8);
            const int nb = grey + (((b - grey) * k) >> 8);
            line[x] = qRgba(nr, ng, nb, qAlpha(p));
        }
    }
    return out;
}

QSize encodedImageSize(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QSize size = reader.size();
    if (!size.isValid()) {
        const QImage image = reader.read();
        size = image.size();
    }
    return size.isValid() ? size : QSize();
}

const QImage& MapImageCache::decoded(const QByteArray& bytes)
{
    if (bytes.constData() != m_key || bytes.size() != m_keySize) {
        m_bytes = bytes;
        m_key = bytes.constData();
        m_keySize = bytes.size();
        m_decoded = bytes.isEmpty() ? QImage() : QImage::fromData(bytes);
        m_filteredValid = false;
        ++m_decodeCount;
    }
    return m_decoded;
}

const QImage& MapImageCache::filtered(const QByteArray& bytes, double saturation)
{
    decoded(bytes);
    if (!m_filteredValid || saturation != m_filteredSaturation) {
        m_filtered = saturationFiltered(m_decoded, saturation);
        m_filteredSaturation = saturation;
        m_filteredValid = true;
        ++m_filterCount;
    }
    return m_filtered;
}

} // namespace velmora
