// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/node_details.h"

#include "canvas/cable_geometry.h"
#include "canvas/canvas_context_menu.h"
#include "model/project_session.h"
#include "model/topology.h"
#include "monitor/alert_mutes.h"
#include "monitor/ping_manager.h"
#include "panes/pane_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

constexpr int labelWidth = 70;

QString nodeCountText(qint64 count)
{
    return countText(count, NodeDetails::tr("node"));
}

} // namespace

QString statusText(PingStatus status)
{
    switch (status) {
    case PingStatus::online:
        return NodeDetails::tr("Online");
    case PingStatus::offline:
        return NodeDetails::tr("Offline");
    case PingStatus::slow:
        return NodeDetails::tr("Slow");
    case PingStatus::unknown:
        break;
    }
    return NodeDetails::tr("Unknown");
}

QString responseTimeText(double seconds)
{
    return NodeDetails::tr("%1 ms").arg(seconds * 1000.0, 0, 'f', 1);
}

QString unknownReasonText(const QString& address, bool isMonitored)
{
    if (isMonitored)
        return NodeDetails::tr("No reply since monitoring started");
    const QString trimmed = address.trimmed();
    QString reason;
    if (trimmed.isEmpty()) {
        reason = NodeDetails::tr("no address");
    } else if (PingManager::isMonitorableAddress(trimmed)) {
        reason = NodeDetails::tr("added since monitoring started");
    } else {
        // Four numbers that are all zero: the placeholder address, never pinged.
        const QStringList pieces = trimmed.split(u'.', Qt::SkipEmptyParts);
        bool placeholder = pieces.size() == 4;
        for (const QString& piece : pieces) {
            bool ok = false;
            placeholder = placeholder && piece.toUInt(&ok) == 0 && ok;
        }
        reason = placeholder ? NodeDetails::tr("placeholder address")
                             : NodeDetails::tr("not an IPv4 address");
    }
    return NodeDetails::tr("Not monitored: %1").arg(reason);
}

NodeDetails::NodeDetails(ProjectSession* session, QWidget* parent)
    : QWidget(parent), m_session(session), m_rootBadge(new QLabel(tr("ROOT"), this)),
      m_typeSwatch(new QLabel(this)), m_rootButton(new QPushButton(this)),
      m_zoomButton(new QPushButton(tr("Zoom To"), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);

    auto* titleRow = new QHBoxLayout;
    auto* title = new QLabel(tr("Node Details"), this);
    title->setObjectName(u"detailsTitle"_s);
    m_rootBadge->setObjectName(u"rootBadge"_s);
    titleRow->addWidget(title);
    titleRow->addWidget(m_rootBadge);
    titleRow->addStretch();
    layout->addLayout(titleRow);

    m_name = addRow(tr("Name:"));
    m_type = addRow(tr("Type:"));
    // The type row carries an 8 by 8 colour swatch before the type's name.
    m_typeSwatch->setFixedSize(8, 8);
    static_cast<QHBoxLayout*>(m_type.container->layout())->insertWidget(1, m_typeSwatch);
    m_ip = addRow(tr("IP:"));
    m_cables = addRow(tr("Cables:"));
    m_direct = addRow(tr("Direct:"));
    m_network = addRow(tr("Network:"));
    m_hops = addRow(tr("Hops:"));
    m_hops.value->setObjectName(u"detailsHops"_s);
    m_status = addRow(tr("Status:"));
    m_status.value->setObjectName(u"detailsStatus"_s);
    m_response = addRow(tr("Response:"));
    m_reason = addRow(tr("Reason:"));
    m_reason.value->setWordWrap(true);
    m_muted = addRow(tr("Alerts:"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_rootButton);
    buttons->addWidget(m_zoomButton);
    layout->addLayout(buttons);
    setFlatLook(m_rootButton, u"rootButton"_s);
    setFlatLook(m_zoomButton, u"zoomToNode"_s);
    m_muteButton = new QPushButton(tr("Mute Alerts"), this);
    setFlatLook(m_muteButton, u"muteAlerts"_s);
    auto* muteMenu = new QMenu(m_muteButton);
    m_muteButton->setMenu(muteMenu);
    layout->addWidget(m_muteButton);
    connect(muteMenu, &QMenu::aboutToShow, this, [this, muteMenu] {
        muteMenu->clear();
        const NodeData* node = m_nodeId ? findNode(m_session->project(), *m_nodeId) : nullptr;
        if (!m_mutes || !node)
            return;
        addMuteAlertsMenu(muteMenu, *m_mutes, node->ip, QDateTime::currentDateTimeUtc(), [this] {
            refresh();
            emit mutesChanged();
        });
    });

    connect(m_rootButton, &QPushButton::clicked, this, &NodeDetails::toggleRoot);
    connect(m_zoomButton, &QPushButton::clicked, this, [this] {
        if (!m_nodeId)
            return;
        for (const Node& node : m_session->nodes()) {
            if (node.id == *m_nodeId) {
                emit zoomToNodeRequested(node);
                return;
            }
        }
    });
    connect(m_session, &ProjectSession::selectionChanged, this, &NodeDetails::refresh);
    connect(m_session, &ProjectSession::rootChanged, this, &NodeDetails::refresh);
    connect(m_session, &ProjectSession::typesChanged, this, &NodeDetails::refresh);
    connect(m_session->document(), &ProjectDocument::changed, this, &NodeDetails::refresh);
    refresh();
}

NodeDetails::Row NodeDetails::addRow(const QString& label)
{
    Row row;
    row.container = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row.container);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(4);
    row.label = new QLabel(label, row.container);
    row.label->setObjectName(u"detailsLabel"_s);
    row.label->setFixedWidth(labelWidth);
    row.value = new QLabel(row.container);
    row.value->setObjectName(u"detailsValue"_s);
    row.value->setTextFormat(Qt::PlainText); // names and addresses as typed
    row.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rowLayout->addWidget(row.label);
    rowLayout->addWidget(row.value, 1);
    static_cast<QVBoxLayout*>(layout())->addWidget(row.container);
    m_rows.append(row);
    return row;
}

void NodeDetails::setLiveState(bool isLive, const QHash<qint64, PingStatus>& statuses,
                               const QHash<qint64, double>& responseTimes)
{
    m_isLive = isLive;
    m_statuses = statuses;
    m_responseTimes = responseTimes;
    refresh();
}

void NodeDetails::refresh()
{
    // Shown only for exactly one selected id, and then the first node in project order that
    // carries it (none when the selected node no longer exists).
    m_nodeId.reset();
    std::optional<Node> shown;
    if (m_session->selectedNodes().size() == 1) {
        for (const Node& node : m_session->nodes()) {
            if (m_session->selectedNodes().contains(node.id)) {
                shown = node;
                break;
            }
        }
    }
    setVisible(shown.has_value());
    if (!shown)
        return;
    const Node& node = *shown;
    m_nodeId = node.id;

    const QList<Cable> cables = m_session->cables();
    const std::optional<qint64> root = m_session->rootNodeId();
    const bool isRoot = root == node.id;

    m_rootBadge->setVisible(isRoot);
    m_name.value->setText(node.name);
    m_type.value->setText(node.type);
    const auto typeColor = m_session->typeColorMap().constFind(node.type);
    const QColor swatch = typeColor == m_session->typeColorMap().cend()
                              ? QColor(Qt::gray)
                              : rgbColor(typeColor->red, typeColor->green, typeColor->blue);
    m_typeSwatch->setStyleSheet(
        u"QLabel { background: %1; border-radius: 2px; }"_s.arg(cssColor(swatch)));
    m_ip.value->setText(node.ip);
    m_cables.value->setText(QString::number(cablesAtNode(cables, node.id).size()));
    m_direct.value->setText(nodeCountText(directNeighbors(cables, node.id).size()));
    m_network.value->setText(nodeCountText(networkSize(cables, node.id)));

    const std::optional<int> hops = hopsFromRoot(cables, root, node.id);
    m_hops.container->setVisible(hops.has_value());
    if (hops)
        m_hops.value->setText(tr("%1 from root").arg(*hops));

    m_status.container->setVisible(m_isLive);
    const PingStatus status = m_statuses.value(node.id, PingStatus::unknown);
    m_status.value->setText(statusText(status));
    setLookState(m_status.value, "status", pingStatusName(status));
    const auto latency = m_responseTimes.constFind(node.id);
    const bool hasLatency = m_isLive && latency != m_responseTimes.cend();
    m_response.container->setVisible(hasLatency);
    if (hasLatency)
        m_response.value->setText(responseTimeText(*latency));

    m_rootButton->setText(isRoot ? tr("Clear Root") : tr("Set as Root"));
    refreshAlertRows(node, status);
}

void NodeDetails::refreshAlertRows(const Node& node, PingStatus status)
{
    const bool unknown = m_isLive && status == PingStatus::unknown;
    m_reason.container->setVisible(unknown);
    if (unknown)
        m_reason.value->setText(unknownReasonText(node.ip, m_statuses.contains(node.id)));
    const QString muted =
        m_mutes ? m_mutes->muteText(node.ip, QDateTime::currentDateTimeUtc()) : QString();
    m_muted.container->setVisible(m_isLive && !muted.isEmpty());
    m_muted.value->setText(muted);
    m_muteButton->setVisible(m_isLive && m_mutes && !node.ip.trimmed().isEmpty());
    m_muteButton->setText(muted.isEmpty() ? tr("Mute Alerts") : tr("Unmute Alerts"));
}

void NodeDetails::toggleRoot()
{
    if (!m_nodeId)
        return;
    // Root changes are view state: no undo snapshot.
    if (m_session->rootNodeId() == m_nodeId)
        m_session->clearRoot();
    else
        m_session->setRoot(*m_nodeId);
}

std::optional<QString> NodeDetails::rowValue(const QString& label) const
{
    if (isHidden())
        return std::nullopt;
    for (const Row& row : m_rows) {
        if (row.label->text() == label)
            return row.container->isHidden() ? std::nullopt : std::optional(row.value->text());
    }
    return std::nullopt;
}

bool NodeDetails::hasRootBadge() const
{
    return !isHidden() && !m_rootBadge->isHidden();
}

QString NodeDetails::rootButtonText() const
{
    return m_rootButton->text();
}

} // namespace velmora
