// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/alert_history.h"

#include "monitor/alert_center.h"
#include "panes/alert_banners.h"
#include "panes/pane_style.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace velmora {

QIcon bellIcon(const QColor& color, int size)
{
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const double s = size;
    QPainterPath bell;
    bell.moveTo(s * 0.5, s * 0.1);
    bell.cubicTo(s * 0.78, s * 0.1, s * 0.8, s * 0.35, s * 0.8, s * 0.55);
    bell.lineTo(s * 0.92, s * 0.75);
    bell.lineTo(s * 0.08, s * 0.75);
    bell.lineTo(s * 0.2, s * 0.55);
    bell.cubicTo(s * 0.2, s * 0.35, s * 0.22, s * 0.1, s * 0.5, s * 0.1);
    painter.drawPath(bell);
    painter.drawEllipse(QPointF(s * 0.5, s * 0.84), s * 0.1, s * 0.1);
    return QIcon(pixmap);
}

AlertHistory::AlertHistory(AlertCenter* center, QWidget* parent)
    : QWidget(parent), m_center(center), m_button(new QToolButton(this)),
      m_badge(new QLabel(m_button)), m_panel(new QWidget(this)), m_list(new QVBoxLayout),
      m_clearAll(new QPushButton(tr("Clear All"), m_panel)), m_ageTimer(new QTimer(this))
{
    m_ageTimer->setInterval(30000);
    connect(m_ageTimer, &QTimer::timeout, this, &AlertHistory::refresh);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_button->setObjectName(u"alertsButton"_s);
    m_button->setText(tr("Alerts"));
    m_button->setIcon(bellIcon(Qt::white));
    m_button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_button->setCheckable(true);
    m_badge->setObjectName(u"alertsBadge"_s);
    m_badge->setAlignment(Qt::AlignCenter);
    m_badge->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(m_button, 0, Qt::AlignRight);
    connect(m_button, &QToolButton::clicked, this,
            [this] { setShowAlertHistory(!m_showAlertHistory); });

    m_panel->setObjectName(u"alertHistoryPanel"_s);
    m_panel->setAttribute(Qt::WA_StyledBackground);
    m_panel->setFixedWidth(AlertBanners::bannerWidth + 20);
    auto* panelLayout = new QVBoxLayout(m_panel);
    auto* header = new QHBoxLayout;
    auto* title = new QLabel(tr("Alerts"), m_panel);
    title->setObjectName(u"alertsTitle"_s);
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_clearAll);
    setFlatLook(m_clearAll, u"clearAlerts"_s);
    panelLayout->addLayout(header);
    auto* scroll = new QScrollArea(m_panel);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* listHost = new QWidget(scroll);
    listHost->setLayout(m_list);
    m_list->setContentsMargins(0, 0, 0, 0);
    m_list->setSpacing(2);
    scroll->setWidget(listHost);
    scroll->setMinimumHeight(240);
    panelLayout->addWidget(scroll);
    layout->addWidget(m_panel);

    connect(m_clearAll, &QPushButton::clicked, m_center, &AlertCenter::clearAll);
    connect(m_center, &AlertCenter::alertsChanged, this, &AlertHistory::refresh);
    m_panel->setVisible(false);
    refresh();
}

void AlertHistory::setShowAlertHistory(bool shown)
{
    m_showAlertHistory = shown;
    m_button->setChecked(shown);
    m_panel->setVisible(shown);
    if (shown) {
        refresh();
        m_ageTimer->start();
    } else {
        m_ageTimer->stop();
    }
    adjustSize();
    emit showAlertHistoryChanged(shown);
}

int AlertHistory::alertsButtonHeight() const
{
    return m_button->sizeHint().height();
}

QString AlertHistory::badgeText() const
{
    return m_badge->isHidden() ? QString() : m_badge->text();
}

void AlertHistory::refresh()
{
    const QList<NetworkAlert>& alerts = m_center->alerts();
    m_badge->setText(QString::number(alerts.size()));
    m_badge->setVisible(!alerts.isEmpty());
    m_badge->adjustSize();
    m_badge->move(m_button->sizeHint().width() - m_badge->width() - 2, 1);

    while (QLayoutItem* item = m_list->takeAt(0)) {
        if (QWidget* widget = item->widget())
            widget->deleteLater();
        delete item;
    }
    m_clearAll->setEnabled(!alerts.isEmpty());
    if (alerts.isEmpty()) {
        auto* empty = new QLabel(tr("No alerts"));
        empty->setObjectName(u"noAlerts"_s);
        empty->setAlignment(Qt::AlignCenter);
        m_list->addWidget(empty);
        m_list->addStretch();
        return;
    }
    // Only build rows while the panel is open; the badge is all a closed panel shows.
    if (!m_showAlertHistory)
        return;
    const QDateTime now = m_center->now();
    for (const NetworkAlert& alert : alerts) {
        QWidget* row = makeAlertRow(alert, m_center->alertMessage(alert),
                                    historyTimeText(alert, now), nullptr);
        row->setObjectName(u"alertHistoryRow"_s);
        if (!alert.nodeIds.isEmpty()) {
            row->setProperty("nodeId", alert.nodeIds.first());
            row->setCursor(Qt::PointingHandCursor);
            row->installEventFilter(this);
        }
        m_list->addWidget(row);
    }
    m_list->addStretch();
}

bool AlertHistory::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched->property("nodeId").isValid()) {
        emit alertNodeChosen(watched->property("nodeId").toLongLong());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QStringList AlertHistory::listedTexts() const
{
    QStringList texts;
    for (int i = 0; i < m_list->count(); ++i) {
        QWidget* widget = m_list->itemAt(i)->widget();
        if (!widget)
            continue;
        if (widget->objectName() == u"noAlerts"_s) {
            texts.append(static_cast<QLabel*>(widget)->text());
        } else if (auto* title = widget->findChild<QLabel*>(u"alertTitle"_s)) {
            texts.append(title->text());
        }
    }
    return texts;
}

} // namespace velmora
