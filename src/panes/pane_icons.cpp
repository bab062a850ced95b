// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/pane_icons.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velmora {

namespace {

// Draws `symbol` in the unit square; the painter is scaled to the icon's size.
void drawSymbol(QPainter& painter, PaneSymbol symbol, const QColor& color)
{
    QPen pen(color, 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (symbol) {
    case PaneSymbol::tag: {
        QPainterPath tag;
        tag.addPolygon(QPolygonF{{0.08, 0.5}, {0.38, 0.2}, {0.9, 0.2}, {0.9, 0.8}, {0.38, 0.8}});
        tag.closeSubpath();
        tag.addEllipse(QPointF(0.36, 0.5), 0.08, 0.08); // the hole, left open by odd-even fill
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(tag);
        break;
    }
    case PaneSymbol::pencil: {
        painter.translate(0.5, 0.5);
        painter.rotate(-45);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRect(QRectF(-0.22, -0.1, 0.6, 0.2));
        painter.drawPolygon(QPolygonF{{-0.27, -0.1}, {-0.45, 0.0}, {-0.27, 0.1}});
        break;
    }
    case PaneSymbol::document:
        painter.drawPolygon(
            QPolygonF{{0.2, 0.06}, {0.6, 0.06}, {0.82, 0.28}, {0.82, 0.94}, {0.2, 0.94}});
        painter.drawPolyline(QPolygonF{{0.6, 0.06}, {0.6, 0.28}, {0.82, 0.28}});
        for (double y : {0.48, 0.63, 0.78})
            painter.drawLine(QPointF(0.32, y), QPointF(0.7, y));
        break;
    case PaneSymbol::trash:
        painter.drawLine(QPointF(0.15, 0.24), QPointF(0.85, 0.24));
        painter.drawPolyline(QPolygonF{{0.38, 0.24}, {0.4, 0.1}, {0.6, 0.1}, {0.62, 0.24}});
        painter.drawPolygon(QPolygonF{{0.24, 0.24}, {0.3, 0.92}, {0.7, 0.92}, {0.76, 0.24}});
        painter.drawLine(QPointF(0.43, 0.4), QPointF(0.44, 0.78));
        painter.drawLine(QPointF(0.57, 0.4), QPointF(0.56, 0.78));
        break;
    case PaneSymbol::cable:
        painter.drawPolyline(QPolygonF{{0.18, 0.8}, {0.5, 0.62}, {0.5, 0.38}, {0.82, 0.2}});
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QPointF(0.18, 0.8), 0.12, 0.12);
        painter.drawEllipse(QPointF(0.82, 0.2), 0.12, 0.12);
        break;
    case PaneSymbol::xmark:
        painter.drawLine(QPointF(0.22, 0.22), QPointF(0.78, 0.78));
        painter.drawLine(QPointF(0.78, 0.22), QPointF(0.22, 0.78));
        break;
    case PaneSymbol::search:
        painter.drawEllipse(QPointF(0.42, 0.42), 0.26, 0.26);
        pen.setWidthF(0.13);
        painter.setPen(pen);
        painter.drawLine(QPointF(0.62, 0.62), QPointF(0.86, 0.86));
        break;
    }
}

// Icons are painted on the main thread only; their pixmaps go with the application.
template <typename T> T cached(const QString& key, const std::function<T()>& build)
{
    static QHash<QString, T> store;
    static const bool released = [] {
        qAddPostRoutine([] { store.clear(); });
        return true;
    }();
    Q_UNUSED(released)
    auto it = store.constFind(key);
    if (it == store.cend())
        it = store.insert(key, build());
    return *it;
}

} // namespace

QIcon cachedIcon(const QString& key, const std::function<QIcon()>& build)
{
    return cached(key, build);
}

QPixmap cachedPixmap(const QString& key, const std::function<QPixmap()>& build)
{
    return cached(key, build);
}

QIcon symbolIcon(PaneSymbol symbol, const QColor& color, int size)
{
    const QString key = QStringLiteral("symbol/%1/%2/%3")
                            .arg(static_cast<int>(symbol))
                            .arg(color.rgba(), 0, 16)
                            .arg(size);
    return cachedIcon(key, [&] {
        QPixmap pixmap(size * 2, size * 2);
        pixmap.setDevicePixelRatio(2.0);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size, size);
        drawSymbol(painter, symbol, color);
        painter.end();
        return QIcon(pixmap);
    });
}

} // namespace velmora
