// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The decoded map image and its saturation-filtered copy, cached so that a frame never decodes
// the project's image bytes again: the decoded image follows the bytes (same shared data, same
// size), the filtered copy follows the bytes and the saturation amount.

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace velmora {

// Saturation filter: amount 1 returns the image unchanged, 0 its grey (Rec. 709 luma) version,
// values between blend linearly. Alpha is kept.
QImage saturationFiltered(const QImage& image, double amount);

// Pixel size of encoded image bytes without decoding the pixels (empty when unreadable).
QSize encodedImageSize(const QByteArray& bytes);

class MapImageCache final {
public:
    // The decoded image for these bytes (null when they do not decode).
    const QImage& decoded(const QByteArray& bytes);
    // The decoded image under the saturation filter, premultiplied for fast drawing.
    const QImage& filtered(const QByteArray& bytes, double saturation);

    int decodeCount() const { return m_decodeCount; }
    int filterCount() const { return m_filterCount; }

private:
    const char* m_key = nullptr;
    qsizetype m_keySize = -1;
    QByteArray m_bytes; // keeps the keyed data alive so its address cannot be reused
    QImage m_decoded;
    QImage m_filtered;
    double m_filteredSaturation = -1.0;
    bool m_filteredValid = false;
    int m_decodeCount = 0;
    int m_filterCount = 0;
};

} // namespace velmora
