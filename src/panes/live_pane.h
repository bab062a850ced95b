// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Live Monitoring" section of the left pane in live mode: node counts per status, the four
// live-mode options with ON/OFF badges, the ping-interval menu and the interval recommended for
// the project's size. The pane only shows state and reports choices; its owner applies them.

#include "model/editing_types.h"
#include "monitor/ping_interval_preset.h"
#include "monitor/ping_status.h"

#include <QHash>
#include <QIcon>
#include <QWidget>

class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

namespace velmora {

struct LiveCounts {
    qsizetype online = 0;
    qsizetype offline = 0;
    qsizetype slow = 0;
    qsizetype unknown = 0; // unknown, or no entry at all (nodes that are not monitored)

    bool operator==(const LiveCounts&) const = default;
};

// Counts over every node of the project, so the four always add up to the node count.
LiveCounts countStatuses(const QList<Node>& nodes, const QHash<qint64, PingStatus>& statuses);

// fast under 25 nodes, normal under 75, relaxed under 150, slow under 300, else verySlow.
PingIntervalPreset recommendedPreset(qsizetype nodeCount);
// "< 25 nodes", "25-75 nodes", "75-150 nodes", "150-300 nodes", "300+ nodes".
QString bandText(PingIntervalPreset preset);
// "Normal (3s) – 25-75 nodes".
QString presetMenuText(PingIntervalPreset preset);

enum class LiveOption {
    liveGlow,
    inAppAlerts,
    backgroundAlerts,
    autoZoomOutage,
    offlineAfter,
    groupAlerts,
    countNeverAnswered,
};

struct LiveOptions {
    bool liveGlowEnabled = true;
    bool alertsEnabled = true;
    bool systemNotificationsEnabled = true;
    bool autoZoomToOutage = true;
    // Kept per user; the defaults are the plain one-failure rule without grouping.
    int offlineAfter = 1; // failed pings before a node is offline: 1, 2, 3 or 5
    bool groupAlerts = false;
    bool countNeverAnsweredAsOffline = false;

    // Whether the option differs from "off" (offlineAfter: more than one failed ping).
    bool value(LiveOption option) const;
};

// A small painted icon: the gear of the options button (12 units) and the up/down chevrons of
// the interval menu.
QIcon gearIcon(const QColor& color);
QIcon chevronUpDownIcon(const QColor& color);

class LivePane final : public QWidget {
    Q_OBJECT
public:
    explicit LivePane(QWidget* parent = nullptr);

    void setStatuses(const QList<Node>& nodes, const QHash<qint64, PingStatus>& statuses);
    void setOptions(const LiveOptions& options);
    void setPingInterval(double seconds);
    // A line under the counts saying why nothing is pinged (empty hides it).
    void setNotice(const QString& text);
    QString noticeText() const;

    bool showLiveOptions() const { return m_showLiveOptions; }
    void setShowLiveOptions(bool shown);

    LiveCounts counts() const { return m_counts; }
    // The count shown for a status.
    QString statusCountText(PingStatus status) const;
    QString recommendationText() const;
    QString intervalButtonText() const;
    QStringList intervalMenuTexts() const;
    QString optionBadgeText(LiveOption option) const;
    QPushButton* statusCountButton(PingStatus status) const { return m_countButtons.value(status); }
    QPushButton* optionButton(LiveOption option) const { return m_optionButtons.value(option); }
    QToolButton* optionsToggleButton() const { return m_gearButton; }
    QMenu* intervalMenu() const { return m_intervalMenu; }

signals:
    // A count row was clicked: select and frame the nodes counted there.
    void statusCountClicked(velmora::PingStatus status);
    // The user activated an option row; the owner flips the option and calls setOptions().
    void optionToggled(velmora::LiveOption option);
    // A preset was chosen in the menu (also the current one: it restarts monitoring).
    void presetChosen(velmora::PingIntervalPreset preset);

private:
    void updateOptionsVisibility();

    LiveCounts m_counts;
    bool m_showLiveOptions = false;
    QToolButton* m_gearButton;
    QHash<PingStatus, QLabel*> m_countValues;
    QHash<PingStatus, QPushButton*> m_countButtons;
    QLabel* m_notice;
    QWidget* m_optionsBox;
    QHash<LiveOption, QPushButton*> m_optionButtons;
    QHash<LiveOption, QLabel*> m_optionBadges;
    QToolButton* m_intervalButton;
    QMenu* m_intervalMenu;
    QLabel* m_recommendation;
};

} // namespace velmora
