// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/node_details.h"

#include "canvas/canvas_renderer.h"
#include "model/project_session.h"
#include "model/topology.h"
#include "panes/pane_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

const QColor amber = rgbColor(0.98, 0.75, 0.14);
constexpr int labelWidth = 70;

// " node" for exactly one, " nodes" otherwise.
QString nodeCountText(qint64 count)
{
    return QString::number(count) + (count == 1 ? u" node"_s : u" nodes"_s);
}

} // namespace

QString statusText(PingStatus status)
{
    switch (status) {
    case PingStatus::online:
        return u"Online"_s;
    case PingStatus::offline:
        return u"Offline"_s;
    case PingStatus::slow:
        return u"Slow"_s;
    case PingStatus::unknown:
        break;
    }
    return u"Unknown"_s;
}

QString responseTimeText(double seconds)
{
    return QString::asprintf("%.1f ms", seconds * 1000.0);
}

NodeDetails::NodeDetails(ProjectSession* session, QWidget* parent)
    : QWidget(parent), m_session(session), m_rootBadge(new QLabel(u"ROOT"_s, this)),
      m_typeSwatch(new QLabel(this)), m_rootButton(new QPushButton(this)),
      m_zoomButton(new QPushButton(u"Zoom To"_s, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);

    auto* titleRow = new QHBoxLayout;
    auto* title = new QLabel(u"Node Details"_s, this);
    styleLabel(title, Qt::white, 11, 600);
    m_rootBadge->setStyleSheet(
        u"QLabel { color: black; background: %1; font-weight: 700;"
        " font-size: 9px; border-radius: 3px; padding: 1px 4px; }"_s.arg(cssColor(amber)));
    titleRow->addWidget(title);
    titleRow->addWidget(m_rootBadge);
    titleRow->addStretch();
    layout->addLayout(titleRow);

    m_name = addRow(u"Name:"_s);
    m_type = addRow(u"Type:"_s);
    // The type row carries an 8 by 8 colour swatch before the type's name.
    m_typeSwatch->setFixedSize(8, 8);
    static_cast<QHBoxLayout*>(m_type.container->layout())->insertWidget(1, m_typeSwatch);
    m_ip = addRow(u"IP:"_s);
    m_cables = addRow(u"Cables:"_s);
    m_direct = addRow(u"Direct:"_s);
    m_network = addRow(u"Network:"_s);
    m_hops = addRow(u"Hops:"_s);
    styleLabel(m_hops.value, amber, 11);
    m_status = addRow(u"Status:"_s);
    m_response = addRow(u"Response:"_s);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_rootButton);
    buttons->addWidget(m_zoomButton);
    layout->addLayout(buttons);
    styleButton(m_rootButton, rgbColor(0.25, 0.25, 0.25), amber, 11, 4);
    styleButton(m_zoomButton, rgbColor(0.25, 0.25, 0.25), Qt::white, 11, 4);

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
    row.label->setFixedWidth(labelWidth);
    styleLabel(row.label, paneGrey, 11);
    row.value = new QLabel(row.container);
    row.value->setTextFormat(Qt::PlainText); // names and addresses as typed
    row.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    styleLabel(row.value, Qt::white, 11);
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
        m_hops.value->setText(QString::number(*hops) + u" from root"_s);

    m_status.container->setVisible(m_isLive);
    const PingStatus status = m_statuses.value(node.id, PingStatus::unknown);
    m_status.value->setText(statusText(status));
    styleLabel(m_status.value, toColor(statusColor(status)), 11);
    const auto latency = m_responseTimes.constFind(node.id);
    const bool hasLatency = m_isLive && latency != m_responseTimes.cend();
    m_response.container->setVisible(hasLatency);
    if (hasLatency)
        m_response.value->setText(responseTimeText(*latency));

    m_rootButton->setText(isRoot ? u"Clear Root"_s : u"Set as Root"_s);
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
