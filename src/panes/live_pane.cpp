// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/live_pane.h"

#include "canvas/canvas_renderer.h"
#include "panes/pane_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

QColor colorOf(PingStatus status)
{
    return toColor(statusColor(status));
}

QString optionTitle(LiveOption option)
{
    switch (option) {
    case LiveOption::liveGlow:
        return u"Live Glow"_s;
    case LiveOption::inAppAlerts:
        return u"In-App Alerts"_s;
    case LiveOption::backgroundAlerts:
        return u"Background Alerts"_s;
    case LiveOption::autoZoomOutage:
        return u"Auto-Zoom Outage"_s;
    }
    return {};
}

constexpr LiveOption allOptions[] = {LiveOption::liveGlow, LiveOption::inAppAlerts,
                                     LiveOption::backgroundAlerts, LiveOption::autoZoomOutage};

QPixmap iconCanvas(int size)
{
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

LiveCounts countStatuses(const QList<Node>& nodes, const QHash<qint64, PingStatus>& statuses)
{
    LiveCounts counts;
    for (const Node& node : nodes) {
        switch (statuses.value(node.id, PingStatus::unknown)) {
        case PingStatus::online:
            ++counts.online;
            break;
        case PingStatus::offline:
            ++counts.offline;
            break;
        case PingStatus::slow:
            ++counts.slow;
            break;
        case PingStatus::unknown:
            ++counts.unknown;
            break;
        }
    }
    return counts;
}

PingIntervalPreset recommendedPreset(qsizetype nodeCount)
{
    if (nodeCount < 25)
        return PingIntervalPreset::fast;
    if (nodeCount < 75)
        return PingIntervalPreset::normal;
    if (nodeCount < 150)
        return PingIntervalPreset::relaxed;
    if (nodeCount < 300)
        return PingIntervalPreset::slow;
    return PingIntervalPreset::verySlow;
}

QString bandText(PingIntervalPreset preset)
{
    switch (preset) {
    case PingIntervalPreset::fast:
        return u"< 25 nodes"_s;
    case PingIntervalPreset::normal:
        return u"25-75 nodes"_s;
    case PingIntervalPreset::relaxed:
        return u"75-150 nodes"_s;
    case PingIntervalPreset::slow:
        return u"150-300 nodes"_s;
    case PingIntervalPreset::verySlow:
        return u"300+ nodes"_s;
    }
    return {};
}

QString presetMenuText(PingIntervalPreset preset)
{
    return displayName(preset) + u" \u2013 "_s + bandText(preset);
}

bool LiveOptions::value(LiveOption option) const
{
    switch (option) {
    case LiveOption::liveGlow:
        return liveGlowEnabled;
    case LiveOption::inAppAlerts:
        return alertsEnabled;
    case LiveOption::backgroundAlerts:
        return systemNotificationsEnabled;
    case LiveOption::autoZoomOutage:
        return autoZoomToOutage;
    }
    return false;
}

QIcon gearIcon(const QColor& color)
{
    constexpr int size = 12;
    QPixmap pixmap = iconCanvas(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const QPointF centre(size / 2.0, size / 2.0);
    QPainterPath gear;
    constexpr int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double angle = i * std::numbers::pi / teeth;
        const double radius = i % 2 == 0 ? 6.0 : 4.6;
        const QPointF p = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
        if (i == 0)
            gear.moveTo(p);
        else
            gear.lineTo(p);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, 1.8, 1.8); // odd-even fill leaves the hole
    painter.drawPath(gear);
    return QIcon(pixmap);
}

QIcon chevronUpDownIcon(const QColor& color)
{
    constexpr int size = 10;
    QPixmap pixmap = iconCanvas(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF{{2.5, 4.0}, {5.0, 1.5}, {7.5, 4.0}});
    painter.drawPolyline(QPolygonF{{2.5, 6.0}, {5.0, 8.5}, {7.5, 6.0}});
    return QIcon(pixmap);
}

LivePane::LivePane(QWidget* parent)
    : QWidget(parent), m_gearButton(new QToolButton(this)), m_notice(new QLabel(this)),
      m_optionsBox(new QWidget(this)), m_intervalButton(new QToolButton(this)),
      m_intervalMenu(new QMenu(this)), m_recommendation(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(u"Live Monitoring"_s, this);
    styleLabel(title, Qt::white, 11, 600);
    m_gearButton->setIcon(gearIcon(paneGrey));
    m_gearButton->setIconSize(QSize(12, 12));
    m_gearButton->setAutoRaise(true);
    m_gearButton->setToolTip(u"Live Mode Options"_s);
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_gearButton);
    layout->addLayout(header);
    connect(m_gearButton, &QToolButton::clicked, this,
            [this] { setShowLiveOptions(!m_showLiveOptions); });

    const std::pair<QString, PingStatus> rows[] = {{u"Online:"_s, PingStatus::online},
                                                   {u"Offline:"_s, PingStatus::offline},
                                                   {u"Slow:"_s, PingStatus::slow},
                                                   {u"Unknown:"_s, PingStatus::unknown}};
    for (const auto& [label, status] : rows) {
        auto* row = new QHBoxLayout;
        auto* dot = new QLabel(this);
        dot->setFixedSize(8, 8);
        dot->setStyleSheet(
            u"QLabel { background: %1; border-radius: 4px; }"_s.arg(cssColor(colorOf(status))));
        auto* name = new QLabel(label, this);
        styleLabel(name, paneGrey, 11);
        auto* value = new QLabel(u"0"_s, this);
        styleLabel(value, colorOf(status), 11, 600);
        row->addWidget(dot);
        row->addWidget(name);
        row->addStretch();
        row->addWidget(value);
        layout->addLayout(row);
        m_countValues.insert(label, value);
    }
    styleLabel(m_notice, paneGrey, 10);
    m_notice->setWordWrap(true);
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command to copy
    m_notice->hide();
    layout->addWidget(m_notice);

    auto* optionsLayout = new QVBoxLayout(m_optionsBox);
    optionsLayout->setContentsMargins(0, 4, 0, 4);
    optionsLayout->setSpacing(2);
    auto* optionsTitle = new QLabel(u"Live Mode Options"_s, m_optionsBox);
    styleLabel(optionsTitle, Qt::white, 12);
    optionsLayout->addWidget(optionsTitle);
    for (LiveOption option : allOptions) {
        auto* button = new QPushButton(m_optionsBox);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(u"QPushButton { border: none; background: transparent; }"_s);
        button->setAccessibleName(optionTitle(option));
        auto* rowLayout = new QHBoxLayout(button);
        rowLayout->setContentsMargins(0, 2, 0, 2);
        auto* name = new QLabel(optionTitle(option), button);
        styleLabel(name, Qt::white, 11);
        auto* badge = new QLabel(button);
        for (QLabel* label : {name, badge})
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        rowLayout->addWidget(name);
        rowLayout->addStretch();
        rowLayout->addWidget(badge);
        button->setMinimumHeight(20);
        optionsLayout->addWidget(button);
        m_optionButtons.insert(option, button);
        m_optionBadges.insert(option, badge);
        connect(button, &QPushButton::clicked, this,
                [this, option] { emit optionToggled(option); });
    }
    layout->addWidget(m_optionsBox);

    auto* intervalTitle = new QLabel(u"Ping Interval"_s, this);
    styleLabel(intervalTitle, paneGrey, 11);
    layout->addWidget(intervalTitle);
    m_intervalButton->setPopupMode(QToolButton::InstantPopup);
    m_intervalButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_intervalButton->setLayoutDirection(Qt::RightToLeft); // chevrons after the label
    m_intervalButton->setIcon(chevronUpDownIcon(paneGrey));
    m_intervalButton->setMenu(m_intervalMenu);
    m_intervalButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_intervalButton->setStyleSheet(
        u"QToolButton { color: white; background: rgb(45, 45, 48); border: 1px solid"
        " rgb(70, 70, 70); border-radius: 4px; padding: 3px 6px; font-size: 11px; }"
        "QToolButton::menu-indicator { image: none; width: 0px; }"_s);
    m_intervalButton->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_intervalButton);
    for (PingIntervalPreset preset : allPingIntervalPresets()) {
        QAction* action = m_intervalMenu->addAction(presetMenuText(preset));
        connect(action, &QAction::triggered, this, [this, preset] { emit presetChosen(preset); });
    }
    styleLabel(m_recommendation, paneGrey, 10);
    layout->addWidget(m_recommendation);

    setStatuses({}, {});
    setOptions({});
    setPingInterval(3.0);
    updateOptionsVisibility();
}

void LivePane::setStatuses(const QList<Node>& nodes, const QHash<qint64, PingStatus>& statuses)
{
    m_counts = countStatuses(nodes, statuses);
    m_countValues.value(u"Online:"_s)->setText(QString::number(m_counts.online));
    m_countValues.value(u"Offline:"_s)->setText(QString::number(m_counts.offline));
    m_countValues.value(u"Slow:"_s)->setText(QString::number(m_counts.slow));
    m_countValues.value(u"Unknown:"_s)->setText(QString::number(m_counts.unknown));
    m_recommendation->setText(u"Recommended: "_s + displayName(recommendedPreset(nodes.size())));
}

void LivePane::setOptions(const LiveOptions& options)
{
    m_options = options;
    for (LiveOption option : allOptions) {
        const bool on = options.value(option);
        QLabel* badge = m_optionBadges.value(option);
        badge->setText(on ? u"ON"_s : u"OFF"_s);
        const QColor text = on ? rgbColor(0.29, 0.87, 0.5) : paneGrey;
        const QColor background = on ? rgbColor(0.17, 0.42, 0.29) : rgbColor(0.25, 0.25, 0.25);
        badge->setStyleSheet(u"QLabel { color: %1; background: %2; font-size: 10px;"
                             " font-weight: 600; border-radius: 3px; padding: 1px 5px; }"_s.arg(
                                 cssColor(text), cssColor(background)));
    }
}

void LivePane::setPingInterval(double seconds)
{
    m_intervalButton->setText(pingIntervalLabel(seconds));
}

void LivePane::setNotice(const QString& text)
{
    m_notice->setText(text);
    m_notice->setVisible(!text.isEmpty());
}

QString LivePane::noticeText() const
{
    return m_notice->text();
}

void LivePane::setShowLiveOptions(bool shown)
{
    m_showLiveOptions = shown;
    updateOptionsVisibility();
}

void LivePane::updateOptionsVisibility()
{
    m_optionsBox->setVisible(m_showLiveOptions);
}

QString LivePane::countText(const QString& label) const
{
    const QLabel* value = m_countValues.value(label);
    return value ? value->text() : QString();
}

QString LivePane::recommendationText() const
{
    return m_recommendation->text();
}

QString LivePane::intervalButtonText() const
{
    return m_intervalButton->text();
}

QStringList LivePane::intervalMenuTexts() const
{
    QStringList texts;
    for (const QAction* action : m_intervalMenu->actions())
        texts.append(action->text());
    return texts;
}

QString LivePane::optionBadgeText(LiveOption option) const
{
    return m_optionBadges.value(option)->text();
}

} // namespace velmora
