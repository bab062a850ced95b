// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/splash_overlay.h"

#include "canvas/splash_animation.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace velmora {

namespace {

// The product name, drawn letter by letter; not translated.
const QString applicationName = QStringLiteral("Velmora");

QColor rgbF(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b),
                            static_cast<float>(std::clamp(a, 0.0, 1.0)));
}

void drawGlowDisc(QPainter& painter, QPointF centre, double radius, const QColor& color,
                  double scale)
{
    QRadialGradient gradient(centre, radius * scale);
    gradient.setColorAt(0.0, color);
    QColor transparent = color;
    transparent.setAlphaF(0.0f);
    gradient.setColorAt(1.0, transparent);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(centre, radius * scale, radius * scale);
}

} // namespace

SplashOverlay::SplashOverlay(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    m_timer->setInterval(16);
    connect(m_timer, &QTimer::timeout, this, &SplashOverlay::tick);
}

void SplashOverlay::start()
{
    m_showSplash = true;
    m_clock.start();
    m_timer->start();
    show();
    raise();
}

void SplashOverlay::finish()
{
    m_timer->stop();
    if (!m_showSplash)
        return;
    m_showSplash = false;
    hide();
    emit finished();
}

void SplashOverlay::tick()
{
    if (static_cast<double>(m_clock.elapsed()) / 1000.0 >= splashEnd) {
        finish();
        return;
    }
    update();
}

void SplashOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double seconds =
        m_clock.isValid() ? static_cast<double>(m_clock.elapsed()) / 1000.0 : 0.0;
    paintAt(painter, size(), seconds);
}

void SplashOverlay::paintAt(QPainter& painter, QSizeF size, double seconds) const
{
    const SplashValues v = splashValuesAt(seconds, static_cast<int>(applicationName.size()));
    if (!v.visible)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setOpacity(v.opacity);
    painter.fillRect(QRectF(QPointF(0, 0), size), rgbF(0.02, 0.02, 0.04));
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    drawGlowDisc(painter, centre, 200, rgbF(0.29, 0.87, 0.5, v.glow * 0.3), 0.8 + v.glow * 0.4);
    drawGlowDisc(painter, centre, 150, rgbF(0.29, 0.56, 0.89, v.glow * 0.2), 0.9 + v.glow * 0.3);

    QFont titleFont;
    titleFont.setPixelSize(56);
    titleFont.setBold(true);
    QFont subtitleFont;
    subtitleFont.setPixelSize(16);
    subtitleFont.setWeight(QFont::Medium);
    const QFontMetricsF titleMetrics(titleFont);
    const QFontMetricsF subtitleMetrics(subtitleFont);
    const QString subtitle = tr("Network Visualization");

    double lettersWidth = 0;
    for (const QChar letter : applicationName)
        lettersWidth += titleMetrics.horizontalAdvance(letter);
    lettersWidth += 2.0 * (applicationName.size() - 1);
    const double titleHeight = titleMetrics.height();
    const double subtitleHeight = subtitleMetrics.height();
    const double dotsHeight = 8.0;
    const double stackHeight = titleHeight + 20 + subtitleHeight + 20 + dotsHeight;

    painter.translate(centre);
    painter.scale(v.scale, v.scale);
    double y = -stackHeight / 2.0;

    // Letters: gradient fill with a soft two-layer glow standing in for the shadows.
    double x = -lettersWidth / 2.0;
    for (qsizetype i = 0; i < applicationName.size(); ++i) {
        const QString letter(applicationName.at(i));
        const double advance = titleMetrics.horizontalAdvance(letter);
        const double top = y + v.letterOffsets.value(i);
        QPainterPath path;
        path.addText(QPointF(x, top + titleMetrics.ascent()), titleFont, letter);
        for (const auto& [opacity, width] : {std::pair{0.5, 40.0}, std::pair{0.8, 20.0}}) {
            if (v.glow <= 0.0)
                break;
            painter.setPen(QPen(rgbF(0.29, 0.87, 0.5, v.glow * opacity * 0.25), width / 4.0,
                                Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(path);
        }
        QLinearGradient fill(QPointF(x, top), QPointF(x + advance, top + titleHeight));
        fill.setColorAt(0.0, rgbF(0.29, 0.87, 0.5));
        fill.setColorAt(1.0, rgbF(0.29, 0.56, 0.89));
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawPath(path);
        x += advance + 2.0;
    }
    y += titleHeight + 20;

    painter.setFont(subtitleFont);
    painter.setPen(rgbF(0.56, 0.56, 0.58));
    painter.drawText(
        QPointF(-subtitleMetrics.horizontalAdvance(subtitle) / 2.0, y + subtitleMetrics.ascent()),
        subtitle);
    y += subtitleHeight + 20;

    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        const bool lit = i * 0.3 + 0.3 < v.glow;
        const double side = lit ? 8.0 : 4.0;
        const QPointF dotCentre((i - 1) * 16.0, y + dotsHeight / 2.0);
        painter.setBrush(rgbF(0.29, 0.87, 0.5, lit ? 1.0 : 0.3));
        painter.drawEllipse(dotCentre, side / 2.0, side / 2.0);
    }
    painter.restore();
}

} // namespace velmora
