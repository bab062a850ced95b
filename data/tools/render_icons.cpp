// SPDX-License-Identifier: GPL-3.0-or-later
// Renders an SVG icon to square PNGs: `velmora-render-icon SVG SIZE OUTPUT.png`. The committed
// PNGs under data/ are made with it (target velmora-update-icons), so that every size comes from
// the one SVG drawing.

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool ok = false;
    const int size = arguments.size() == 4 ? arguments.at(2).toInt(&ok) : 0;
    if (!ok || size < 1 || size > 4096) {
        std::fputs("Usage: velmora-render-icon SVG SIZE OUTPUT.png\n", stderr);
        return 64;
    }
    QSvgRenderer renderer(arguments.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "Cannot read SVG %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    if (!image.convertToFormat(QImage::Format_ARGB32).save(arguments.at(3), "PNG")) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(arguments.at(3)));
        return 2;
    }
    return 0;
}
