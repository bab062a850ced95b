// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Live mode of one window, wired together: the alert logic and desktop notifications driven by
// the ping manager's publications, the "Live Monitoring" section, the node details block, the
// alert banners and the alert history. The window creates one and calls applyMode() in its
// mode switch, and layoutOverlays() when it lays out.

#include "canvas/hit_test.h"
#include "monitor/alert_mutes.h"
#include "monitor/alert_settings.h"
#include "monitor/ping_status.h"

#include <QObject>
#include <QRect>

class QVBoxLayout;
class QWidget;

namespace velmora {

class AlertBanners;
class AlertCenter;
class AlertHistory;
class CanvasWidget;
class DesktopNotifier;
class LivePane;
enum class LiveOption;
class NodeDetails;
class PingManager;
class ProjectSession;
class ViewState;

class LiveMonitoring final : public QObject {
    Q_OBJECT
public:
    // `overlayParent` hosts the banners and the history over the canvas; the live section and
    // the node details go into the two given left-pane layouts.
    LiveMonitoring(ProjectSession* session, ViewState* view, PingManager* pingManager,
                   CanvasWidget* canvas, QWidget* overlayParent, QVBoxLayout* nodeDetailsSlot,
                   QVBoxLayout* liveSlot, QObject* parent);

    AlertCenter* alertCenter() const { return m_alerts; }
    DesktopNotifier* notifier() const { return m_notifier; }
    LivePane* livePane() const { return m_livePane; }
    NodeDetails* nodeDetails() const { return m_nodeDetails; }
    AlertBanners* banners() const { return m_banners; }
    AlertHistory* history() const { return m_history; }
    AlertMutes& mutes() { return m_mutes; }
    const AlertPolicy& alertPolicy() const { return m_policy; }

    // The live part of the mode switch, run after the view's mode is set: stop the view
    // animation, reset the alert bookkeeping, ask for notification permission when going live,
    // then ping and pulse in live mode with "Live Glow" on, and stop both otherwise.
    void applyMode(AppMode mode);

    // Places the history button at the top right of `freeArea` (the canvas between the panes)
    // and the banner stack below it.
    void layoutOverlays(const QRect& freeArea);

signals:
    // The user activated one of our desktop notifications.
    void activationRequested();
    // No ICMP socket may be opened: what to run to allow it. Once per window for each reason,
    // however often monitoring starts; the live pane keeps showing it meanwhile.
    void monitoringWarning(const QString& message);

private:
    // Pinging (and the glow's pulse) runs exactly while the window is live with "Live Glow"
    // on; a start restarts monitoring.
    void startOrStopPinging();
    void onPublished();
    void refreshPanes();

    ProjectSession* m_session;
    ViewState* m_view;
    PingManager* m_pingManager;
    CanvasWidget* m_canvas;
    AlertCenter* m_alerts;
    DesktopNotifier* m_notifier;
    LivePane* m_livePane;
    NodeDetails* m_nodeDetails;
    AlertBanners* m_banners;
    AlertHistory* m_history;
    QRect m_freeArea;
    QString m_warnedMessage; // the monitoring warning already given

    // Per-user alert options and mutes (QSettings), applied to the ping manager and alerts.
    void applyAlertPolicy();
    void toggleAlertPolicy(LiveOption option);
    void selectNodesCounted(PingStatus status);
    void refreshMutes();
    AlertPolicy m_policy;
    AlertMutes m_mutes;
};

} // namespace velmora
