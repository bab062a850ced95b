// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The node details block of the left pane: shown while exactly one node is selected, with its
// name, type, address, how it is cabled (cables, direct links, network size, hops from the
// root), its live status and response time, and the root and "Zoom To" buttons. Everything is
// recomputed from the project on every refresh; nothing is cached.

#include "model/editing_types.h"
#include "monitor/ping_status.h"

#include <QHash>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace velmora {

class ProjectSession;

// "Online", "Offline", "Slow", "Unknown".
QString statusText(PingStatus status);
// "12.3 ms" for 0.012345 s.
QString responseTimeText(double seconds);
// Why a node reads "Unknown" in live mode: "No reply since monitoring started" when it is
// pinged (`isMonitored`), else "Not monitored: " and the reason its address gives.
QString unknownReasonText(const QString& address, bool isMonitored);

class AlertMutes;

class NodeDetails final : public QWidget {
    Q_OBJECT
public:
    explicit NodeDetails(ProjectSession* session, QWidget* parent = nullptr);

    // The live rows appear only while `isLive`; statuses and response times (seconds) come from
    // the ping manager's published maps.
    void setLiveState(bool isLive, const QHash<qint64, PingStatus>& statuses,
                      const QHash<qint64, double>& responseTimes);
    void refresh();
    // Where the "Mute Alerts" button reads and keeps mutes (none: no button). Must outlive us.
    void setMutes(AlertMutes* mutes) { m_mutes = mutes; }

    std::optional<qint64> shownNodeId() const { return m_nodeId; }
    // The value of the row with this label ("Name:", "Hops:", ...); none while the row is absent.
    std::optional<QString> rowValue(const QString& label) const;
    bool hasRootBadge() const;
    QString rootButtonText() const;

signals:
    void zoomToNodeRequested(const velmora::Node& node);
    // A node's alerts were muted or unmuted here.
    void mutesChanged();

private:
    struct Row {
        QWidget* container = nullptr;
        QLabel* label = nullptr;
        QLabel* value = nullptr;
    };
    Row addRow(const QString& label);
    void toggleRoot();

    ProjectSession* m_session;
    bool m_isLive = false;
    QHash<qint64, PingStatus> m_statuses;
    QHash<qint64, double> m_responseTimes;
    std::optional<qint64> m_nodeId;

    QLabel* m_rootBadge;
    QLabel* m_typeSwatch;
    QList<Row> m_rows;
    Row m_name, m_type, m_ip, m_cables, m_direct, m_network, m_hops, m_status, m_response;
    QPushButton* m_rootButton;
    QPushButton* m_zoomButton;
    // Live mode: why a node is unknown, its mute, and the "Mute Alerts" button.
    void refreshAlertRows(const Node& node, PingStatus status);
    AlertMutes* m_mutes = nullptr;
    Row m_reason, m_muted;
    QPushButton* m_muteButton = nullptr;
};

} // namespace velmora
