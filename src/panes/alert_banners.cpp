// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/alert_banners.h"

#include "monitor/alert_center.h"
#include "panes/pane_icons.h"
#include "panes/pane_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace velmora {

QColor alertTypeColor(AlertType type)
{
    switch (type) {
    case AlertType::offline:
        return paneColor::alertRed;
    case AlertType::online:
        return paneColor::liveAccent;
    case AlertType::slow:
        return paneColor::amber;
    }
    return Qt::gray;
}

namespace {

QPixmap drawAlertTypePixmap(AlertType type, int size)
{
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = alertTypeColor(type);
    const double s = size;
    const double stroke = s / 10.0;
    painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap));
    // Three arcs over a dot, centred low in the square.
    const QPointF base(type == AlertType::slow ? s * 0.42 : s / 2.0, s * 0.82);
    for (int i = 1; i <= 3; ++i) {
        const double r = s * 0.2 * i;
        painter.drawArc(QRectF(base.x() - r, base.y() - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(base, stroke, stroke);
    if (type == AlertType::offline) {
        painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(s * 0.15, s * 0.12), QPointF(s * 0.85, s * 0.88));
    } else if (type == AlertType::slow) {
        painter.setPen(QPen(color, stroke * 1.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(s * 0.9, s * 0.15), QPointF(s * 0.9, s * 0.62));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(s * 0.9, s * 0.82), stroke * 0.7, stroke * 0.7);
    }
    painter.end();
    return pixmap;
}

QIcon drawCloseIcon(const QColor& color, int size)
{
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap));
    const double m = size * 0.2;
    painter.drawLine(QPointF(m, m), QPointF(size - m, size - m));
    painter.drawLine(QPointF(size - m, m), QPointF(m, size - m));
    return QIcon(pixmap);
}

} // namespace

// Banners are rebuilt whenever the alert list changes; their symbols are painted once and shared,
// so flapping hosts do not fill the pixmap cache with copies.
QPixmap alertTypePixmap(AlertType type, int size)
{
    return cachedPixmap(u"alert/%1/%2"_s.arg(static_cast<int>(type)).arg(size),
                        [=] { return drawAlertTypePixmap(type, size); });
}

QIcon closeIcon(const QColor& color, int size)
{
    return cachedIcon(u"close/%1/%2"_s.arg(color.rgba(), 0, 16).arg(size),
                      [&] { return drawCloseIcon(color, size); });
}

QWidget* makeAlertRow(const NetworkAlert& alert, const QString& message, const QString& time,
                      QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 8, 6, 8);
    layout->setSpacing(8);
    auto* icon = new QLabel(row);
    icon->setPixmap(alertTypePixmap(alert.type, 18));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* title = new QLabel(alertTitle(alert), row);
    title->setObjectName(u"alertTitle"_s);
    auto* body = new QLabel(message, row);
    body->setObjectName(u"alertMessage"_s);
    body->setVisible(!message.isEmpty());
    auto* age = new QLabel(time, row);
    age->setObjectName(u"alertTime"_s);
    for (QLabel* label : {title, body}) {
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText); // node names and addresses as typed
    }
    texts->addWidget(title);
    texts->addWidget(body);
    texts->addWidget(age);
    layout->addLayout(texts, 1);
    return row;
}

AlertBanners::AlertBanners(AlertCenter* center, QWidget* parent)
    : QWidget(parent), m_center(center), m_layout(new QVBoxLayout(this)),
      m_ageTimer(new QTimer(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(8);
    setFixedWidth(bannerWidth);
    m_ageTimer->setInterval(15000);
    connect(m_ageTimer, &QTimer::timeout, this, &AlertBanners::refresh);
    connect(m_center, &AlertCenter::alertsChanged, this, &AlertBanners::refresh);
    refresh();
}

void AlertBanners::refresh()
{
    while (QLayoutItem* item = m_layout->takeAt(0)) {
        if (QWidget* widget = item->widget())
            widget->deleteLater();
        delete item;
    }
    m_shown.clear();
    const QDateTime now = m_center->now();
    for (const NetworkAlert& alert : m_center->visibleAlerts(maxBanners)) {
        auto* banner = new QWidget(this);
        banner->setObjectName(u"alertBanner"_s);
        banner->setAttribute(Qt::WA_StyledBackground);
        banner->setFixedWidth(bannerWidth);
        const QColor accent = alertTypeColor(alert.type);
        banner->setStyleSheet(
            u"QWidget#alertBanner { background: rgba(30, 30, 32, 242);"
            " border: 1px solid %1; border-left: 4px solid %2;"
            " border-radius: 8px; }"_s.arg(
                u"rgba(%1, %2, %3, 110)"_s.arg(accent.red()).arg(accent.green()).arg(accent.blue()),
                accent.name()));
        auto* layout = new QHBoxLayout(banner);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(makeAlertRow(alert, m_center->alertMessage(alert),
                                       relativeTimeText(alert.timestamp, now), banner),
                          1);
        auto* close = new QToolButton(banner);
        close->setObjectName(u"closeBanner"_s);
        close->setIcon(closeIcon(paneColor::grey));
        close->setAutoRaise(true);
        close->setToolTip(tr("Dismiss"));
        layout->addWidget(close, 0, Qt::AlignTop);
        const QUuid id = alert.id;
        connect(close, &QToolButton::clicked, m_center, [this, id] { m_center->dismissAlert(id); });
        m_layout->addWidget(banner);
        // Shown now, not on the layout's deferred show, so the size below counts it.
        banner->show();
        m_shown.append(alert.id);
    }
    setVisible(!m_shown.isEmpty());
    if (m_shown.isEmpty())
        m_ageTimer->stop();
    else if (!m_ageTimer->isActive())
        m_ageTimer->start();
    resize(bannerWidth, m_shown.isEmpty() ? 0 : sizeHint().height());
}

} // namespace velmora
