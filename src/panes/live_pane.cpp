// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/live_pane.h"

#include "panes/node_details.h"
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

QString optionTitle(LiveOption option)
{
    switch (option) {
    case LiveOption::liveGlow:
        return LivePane::tr("Live Glow");
    case LiveOption::inAppAlerts:
        return LivePane::tr("In-App Alerts");
    case LiveOption::backgroundAlerts:
        return LivePane::tr("Background Alerts");
    case LiveOption::autoZoomOutage:
        return LivePane::tr("Auto-Zoom Outage");
    case LiveOption::offlineAfter:
        return LivePane::tr("Offline after N failed pings");
    case LiveOption::groupAlerts:
        return LivePane::tr("Group alerts behind a failed node");
    case LiveOption::countNeverAnswered:
        return LivePane::tr("Count never-answered as offline");
    case LiveOption::keepMonitoringWhenClosed:
        return LivePane::tr("Keep monitoring when the window is closed");
    }
    return {};
}

constexpr LiveOption allOptions[] = {
    LiveOption::liveGlow,           LiveOption::inAppAlerts,
    LiveOption::backgroundAlerts,   LiveOption::autoZoomOutage,
    LiveOption::offlineAfter,       LiveOption::groupAlerts,
    LiveOption::countNeverAnswered, LiveOption::keepMonitoringWhenClosed};
constexpr PingStatus allStatuses[] = {PingStatus::online, PingStatus::offline, PingStatus::slow,
                                      PingStatus::unknown};

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
        return LivePane::tr("< 25 nodes");
    case PingIntervalPreset::normal:
        return LivePane::tr("25-75 nodes");
    case PingIntervalPreset::relaxed:
        return LivePane::tr("75-150 nodes");
    case PingIntervalPreset::slow:
        return LivePane::tr("150-300 nodes");
    case PingIntervalPreset::verySlow:
        return LivePane::tr("300+ nodes");
    }
    return {};
}

QString presetMenuText(PingIntervalPreset preset)
{
    return LivePane::tr("%1 \u2013 %2").arg(displayName(preset), bandText(preset));
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
    case LiveOption::offlineAfter:
        return offlineAfter > 1;
    case LiveOption::groupAlerts:
        return groupAlerts;
    case LiveOption::countNeverAnswered:
        return countNeverAnsweredAsOffline;
    case LiveOption::keepMonitoringWhenClosed:
        return keepMonitoringWhenClosed;
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
    auto* title = new QLabel(tr("Live Monitoring"), this);
    title->setObjectName(u"liveTitle"_s);
    m_gearButton->setIcon(gearIcon(paneColor::grey));
    m_gearButton->setIconSize(QSize(12, 12));
    m_gearButton->setAutoRaise(true);
    m_gearButton->setToolTip(tr("Live Mode Options"));
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_gearButton);
    layout->addLayout(header);
    connect(m_gearButton, &QToolButton::clicked, this,
            [this] { setShowLiveOptions(!m_showLiveOptions); });

    for (PingStatus status : allStatuses) {
        // Each count row is a flat button: a click selects and frames the nodes it counts.
        auto* rowButton = new QPushButton(this);
        setFlatLook(rowButton, u"statusRow"_s);
        rowButton->setAccessibleName(statusText(status));
        auto* row = new QHBoxLayout(rowButton);
        row->setContentsMargins(0, 0, 0, 0);
        auto* dot = new QLabel(this);
        dot->setObjectName(u"statusDot"_s);
        dot->setProperty("status", pingStatusName(status));
        dot->setFixedSize(8, 8);
        auto* name = new QLabel(tr("%1:").arg(statusText(status)), this);
        name->setObjectName(u"statusName"_s);
        auto* value = new QLabel(u"0"_s, this);
        value->setObjectName(u"statusCount"_s);
        value->setProperty("status", pingStatusName(status));
        row->addWidget(dot);
        row->addWidget(name);
        row->addStretch();
        row->addWidget(value);
        for (QLabel* label : {dot, name, value})
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(rowButton);
        m_countValues.insert(status, value);
        m_countButtons.insert(status, rowButton);
        connect(rowButton, &QPushButton::clicked, this,
                [this, status] { emit statusCountClicked(status); });
    }
    m_notice->setObjectName(u"liveNotice"_s);
    m_notice->setWordWrap(true);
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command to copy
    m_notice->hide();
    layout->addWidget(m_notice);

    auto* optionsLayout = new QVBoxLayout(m_optionsBox);
    optionsLayout->setContentsMargins(0, 4, 0, 4);
    optionsLayout->setSpacing(2);
    auto* optionsTitle = new QLabel(tr("Live Mode Options"), m_optionsBox);
    optionsTitle->setObjectName(u"liveOptionsTitle"_s);
    optionsLayout->addWidget(optionsTitle);
    for (LiveOption option : allOptions) {
        auto* button = new LabelRowButton(m_optionsBox);
        setFlatLook(button, u"liveOption"_s);
        button->setAccessibleName(optionTitle(option));
        auto* rowLayout = new QHBoxLayout(button);
        rowLayout->setContentsMargins(0, 2, 0, 2);
        auto* name = new QLabel(optionTitle(option), button);
        name->setObjectName(u"liveOptionName"_s);
        name->setWordWrap(true); // the longer titles take two lines in the narrow pane
        auto* badge = new QLabel(button);
        badge->setObjectName(u"optionBadge"_s);
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

    auto* intervalTitle = new QLabel(tr("Ping Interval"), this);
    intervalTitle->setObjectName(u"intervalTitle"_s);
    layout->addWidget(intervalTitle);
    m_intervalButton->setObjectName(u"intervalButton"_s);
    m_intervalButton->setPopupMode(QToolButton::InstantPopup);
    m_intervalButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_intervalButton->setLayoutDirection(Qt::RightToLeft); // chevrons after the label
    m_intervalButton->setIcon(chevronUpDownIcon(paneColor::grey));
    m_intervalButton->setMenu(m_intervalMenu);
    m_intervalButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_intervalButton->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_intervalButton);
    for (PingIntervalPreset preset : allPingIntervalPresets()) {
        QAction* action = m_intervalMenu->addAction(presetMenuText(preset));
        connect(action, &QAction::triggered, this, [this, preset] { emit presetChosen(preset); });
    }
    m_recommendation->setObjectName(u"recommendation"_s);
    layout->addWidget(m_recommendation);

    setStatuses({}, {});
    setOptions({});
    setPingInterval(3.0);
    updateOptionsVisibility();
}

void LivePane::setStatuses(const QList<Node>& nodes, const QHash<qint64, PingStatus>& statuses)
{
    m_counts = countStatuses(nodes, statuses);
    m_countValues.value(PingStatus::online)->setText(QString::number(m_counts.online));
    m_countValues.value(PingStatus::offline)->setText(QString::number(m_counts.offline));
    m_countValues.value(PingStatus::slow)->setText(QString::number(m_counts.slow));
    m_countValues.value(PingStatus::unknown)->setText(QString::number(m_counts.unknown));
    m_recommendation->setText(
        tr("Recommended: %1").arg(displayName(recommendedPreset(nodes.size()))));
}

void LivePane::setOptions(const LiveOptions& options)
{
    for (LiveOption option : allOptions) {
        const bool on = options.value(option);
        QLabel* badge = m_optionBadges.value(option);
        // The failed-ping count reads as its number; the others as ON or OFF.
        if (option == LiveOption::offlineAfter)
            badge->setText(QString::number(options.offlineAfter));
        else
            badge->setText(on ? tr("ON") : tr("OFF"));
        setLookState(badge, "on", on);
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

void LivePane::addOptionRow(QWidget* row)
{
    row->setParent(m_optionsBox);
    m_optionsBox->layout()->addWidget(row);
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

QString LivePane::statusCountText(PingStatus status) const
{
    return m_countValues.value(status)->text();
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
