// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/live_monitoring.h"

#include "canvas/cable_geometry.h"
#include "canvas/canvas_context_menu.h"
#include "canvas/canvas_widget.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "monitor/alert_center.h"
#include "monitor/desktop_notifier.h"
#include "monitor/ping_manager.h"
#include "panes/alert_banners.h"
#include "panes/alert_history.h"
#include "panes/live_pane.h"
#include "panes/node_details.h"

#include <QGuiApplication>
#include <QSettings>
#include <QVBoxLayout>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace velmora {

LiveMonitoring::LiveMonitoring(ProjectSession* session, ViewState* view, PingManager* pingManager,
                               CanvasWidget* canvas, QWidget* overlayParent,
                               QVBoxLayout* nodeDetailsSlot, QVBoxLayout* liveSlot, QObject* parent)
    : QObject(parent), m_session(session), m_view(view), m_pingManager(pingManager),
      m_canvas(canvas), m_alerts(new AlertCenter(this)), m_notifier(new DesktopNotifier(this)),
      m_livePane(new LivePane), m_nodeDetails(new NodeDetails(session)),
      m_banners(new AlertBanners(m_alerts, overlayParent)),
      m_history(new AlertHistory(m_alerts, overlayParent))
{
    nodeDetailsSlot->addWidget(m_nodeDetails);
    liveSlot->addWidget(m_livePane);

    m_alerts->setNodeSource([this] { return m_session->nodes(); });
    m_alerts->setCableSource([this] { return m_session->cables(); });
    m_alerts->setRootSource([this] { return m_session->rootNodeId(); });
    m_alerts->setStatusSource([this] { return m_pingManager->nodeStatuses(); });
    m_alerts->setApplicationActiveSource(
        [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; });
    m_alerts->setSelectNode([this](qint64 id) { m_session->setSelection({id}, {}, std::nullopt); });
    connect(m_alerts, &AlertCenter::zoomToOutageRequested, this,
            [this](const Node& node) { m_view->zoomToNode(toNodeData(node)); });
    connect(m_alerts, &AlertCenter::systemNotificationRequested, m_notifier,
            &DesktopNotifier::postAlert);
    connect(m_notifier, &DesktopNotifier::activationRequested, this,
            &LiveMonitoring::activationRequested);
    connect(m_nodeDetails, &NodeDetails::zoomToNodeRequested, this,
            [this](const Node& node) { m_view->zoomToNode(toNodeData(node)); });

    connect(m_pingManager, &PingManager::published, this, &LiveMonitoring::onPublished);
    connect(m_session->document(), &ProjectDocument::changed, this, &LiveMonitoring::refreshPanes);
    connect(m_view, &ViewState::appModeChanged, this, &LiveMonitoring::refreshPanes);
    connect(m_view, &ViewState::liveGlowEnabledChanged, this, &LiveMonitoring::refreshPanes);
    connect(m_alerts, &AlertCenter::optionsChanged, this, &LiveMonitoring::refreshPanes);

    connect(m_livePane, &LivePane::optionToggled, this, [this](LiveOption option) {
        switch (option) {
        case LiveOption::liveGlow:
            // Without the glow no pings are sent, so statuses freeze and no alerts arise.
            m_view->setLiveGlowEnabled(!m_view->liveGlowEnabled());
            startOrStopPinging();
            break;
        case LiveOption::inAppAlerts:
            m_alerts->setAlertsEnabled(!m_alerts->alertsEnabled());
            break;
        case LiveOption::backgroundAlerts:
            m_alerts->setSystemNotificationsEnabled(!m_alerts->systemNotificationsEnabled());
            break;
        case LiveOption::autoZoomOutage:
            m_alerts->setAutoZoomToOutage(!m_alerts->autoZoomToOutage());
            break;
        case LiveOption::offlineAfter:
        case LiveOption::groupAlerts:
        case LiveOption::countNeverAnswered:
            toggleAlertPolicy(option);
            break;
        }
        refreshPanes();
    });
    connect(m_livePane, &LivePane::presetChosen, this, [this](PingIntervalPreset preset) {
        // The alert state is kept: the restart only resets statuses to unknown, which raises
        // no alert. With the glow off the interval waits for it to be turned on.
        m_pingManager->setPingInterval(seconds(preset));
        startOrStopPinging();
        refreshPanes();
    });
    connect(m_pingManager, &PingManager::monitoringError, this, [this](const QString& message) {
        if (message != m_warnedMessage) {
            m_warnedMessage = message;
            emit monitoringWarning(message);
        }
        refreshPanes();
    });
    connect(m_history, &AlertHistory::showAlertHistoryChanged, this,
            [this] { layoutOverlays(m_freeArea); });
    connect(m_alerts, &AlertCenter::alertsChanged, this, [this] { layoutOverlays(m_freeArea); });

    {
        QSettings settings;
        m_policy = loadAlertPolicy(settings);
    }
    applyAlertPolicy();
    m_alerts->setMutes(&m_mutes);
    m_nodeDetails->setMutes(&m_mutes);
    connect(m_nodeDetails, &NodeDetails::mutesChanged, this, &LiveMonitoring::refreshMutes);
    m_canvas->setNodeMenuExtension([this](QMenu* menu, qint64 nodeId) {
        if (const NodeData* node = findNode(m_session->project(), nodeId);
            node && !node->ip.trimmed().isEmpty())
            addMuteAlertsMenu(menu, m_mutes, node->ip, QDateTime::currentDateTimeUtc(),
                              [this] { refreshPanes(); });
    });
    connect(m_livePane, &LivePane::statusCountClicked, this, &LiveMonitoring::selectNodesCounted);
    refreshPanes();
}

void LiveMonitoring::applyAlertPolicy()
{
    m_pingManager->setOfflineAfter(m_policy.offlineAfter);
    m_pingManager->setCountNeverAnsweredAsOffline(m_policy.countNeverAnsweredAsOffline);
    m_alerts->setGroupAlerts(m_policy.groupAlerts);
}

void LiveMonitoring::toggleAlertPolicy(LiveOption option)
{
    if (option == LiveOption::offlineAfter)
        m_policy.offlineAfter = nextOfflineAfter(m_policy.offlineAfter);
    else if (option == LiveOption::groupAlerts)
        m_policy.groupAlerts = !m_policy.groupAlerts;
    else
        m_policy.countNeverAnsweredAsOffline = !m_policy.countNeverAnsweredAsOffline;
    QSettings settings;
    saveAlertPolicy(settings, m_policy);
    applyAlertPolicy();
}

void LiveMonitoring::selectNodesCounted(PingStatus status)
{
    // The count's nodes (unknown includes nodes without a status), framed as "Zoom To" frames
    // search matches, and selected.
    const QHash<qint64, PingStatus>& statuses = m_pingManager->nodeStatuses();
    QList<NodeData> counted;
    for (const NodeData& node : m_session->project().nodes) {
        if (statuses.value(node.id, PingStatus::unknown) == status)
            counted.append(node);
    }
    m_view->zoomToSearchResults(counted);
}

void LiveMonitoring::refreshMutes()
{
    const QSet<QString> muted = m_mutes.mutedAddresses(QDateTime::currentDateTimeUtc());
    QSet<qint64> ids;
    if (!muted.isEmpty()) {
        for (const NodeData& node : m_session->project().nodes) {
            if (muted.contains(node.ip.trimmed()))
                ids.insert(node.id);
        }
    }
    m_canvas->setMutedNodes(ids);
}

void LiveMonitoring::applyMode(AppMode mode)
{
    m_view->stopAnimation();
    m_alerts->resetForModeChange();
    if (mode == AppMode::live)
        m_notifier->requestPermission();
    startOrStopPinging();
}

void LiveMonitoring::startOrStopPinging()
{
    if (m_view->appMode() == AppMode::live && m_view->liveGlowEnabled()) {
        m_pingManager->startMonitoring(m_session->nodes());
        m_canvas->startPulse();
    } else {
        m_pingManager->stopMonitoring();
        m_canvas->stopPulse();
    }
}

void LiveMonitoring::onPublished()
{
    // A start that could open a socket: permission has come, a later loss is news again.
    if (m_pingManager->monitoringErrorMessage().isEmpty())
        m_warnedMessage.clear();
    m_alerts->handleStatusChanges(m_session->nodes(), m_pingManager->nodeStatuses(),
                                  m_view->appMode() == AppMode::live);
    refreshPanes();
}

void LiveMonitoring::refreshPanes()
{
    const bool live = m_view->appMode() == AppMode::live;
    m_livePane->setVisible(live);
    m_livePane->setStatuses(m_session->nodes(), m_pingManager->nodeStatuses());
    m_livePane->setPingInterval(m_pingManager->pingInterval());
    LiveOptions options;
    options.liveGlowEnabled = m_view->liveGlowEnabled();
    options.alertsEnabled = m_alerts->alertsEnabled();
    options.systemNotificationsEnabled = m_alerts->systemNotificationsEnabled();
    options.autoZoomToOutage = m_alerts->autoZoomToOutage();
    options.offlineAfter = m_policy.offlineAfter;
    options.groupAlerts = m_policy.groupAlerts;
    options.countNeverAnsweredAsOffline = m_policy.countNeverAnsweredAsOffline;
    m_livePane->setOptions(options);
    QString notice = m_pingManager->monitoringErrorMessage();
    if (!options.liveGlowEnabled)
        notice = tr("Live Glow is off: no pings are sent.");
    m_livePane->setNotice(notice);
    m_nodeDetails->setLiveState(live, m_pingManager->nodeStatuses(),
                                m_pingManager->responseTimes());
    refreshMutes(); // a timed mute ends by itself
}

void LiveMonitoring::layoutOverlays(const QRect& freeArea)
{
    m_freeArea = freeArea;
    if (freeArea.isEmpty())
        return;
    constexpr int margin = 12;
    m_history->adjustSize();
    const QSize historySize = m_history->sizeHint();
    m_history->setGeometry(freeArea.right() - margin - historySize.width() + 1,
                           freeArea.top() + margin, historySize.width(), historySize.height());
    m_history->raise();
    const int bannerTop = freeArea.top() + margin + m_history->alertsButtonHeight() + 8;
    m_banners->setGeometry(freeArea.right() - margin - AlertBanners::bannerWidth + 1, bannerTop,
                           AlertBanners::bannerWidth, m_banners->sizeHint().height());
    m_banners->raise();
    // An open history lies over the banners.
    if (m_history->showAlertHistory())
        m_history->raise();
}

} // namespace velmora
