// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/right_column.h"

#include "canvas/view_state.h"
#include "panes/layers_pane.h"
#include "panes/nodes_pane.h"
#include "panes/pane_layout_state.h"
#include "panes/pane_style.h"
#include "panes/type_sheets.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

const QString chevronLeft = QString::fromUtf8("\xE2\x80\xB9");  // U+2039
const QString chevronRight = QString::fromUtf8("\xE2\x80\xBA"); // U+203A

} // namespace

RightColumn::RightColumn(ProjectSession* session, ViewState* view, PaneLayoutState* layout,
                         QWidget* parent)
    : QWidget(parent), m_view(view), m_layout(layout), m_nodesArea(new QWidget(this)),
      m_nodesPane(new NodesPane(session, m_nodesArea)), m_nodesCollapse(new QPushButton(this)),
      m_layers(new LayersPane(session, view, layout, this))
{
    setObjectName(QStringLiteral("rightColumn"));
    setAttribute(Qt::WA_StyledBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(10, 8, 10, 0);
    header->addStretch(1);
    m_nodesCollapse->setFixedSize(20, 20);
    styleButton(m_nodesCollapse, QColor(Qt::transparent), paneGrey, 14, 0);
    header->addWidget(m_nodesCollapse);
    column->addLayout(header);
    m_nodesSlot = new QVBoxLayout(m_nodesArea);
    m_nodesSlot->setContentsMargins(0, 0, 0, 0);
    m_nodesSlot->addWidget(m_nodesPane);
    // The nodes pane has its own collapse button and strip; this one stays for its absence.
    m_nodesCollapse->hide();
    column->addWidget(m_nodesArea, 3);
    column->addWidget(m_layers, 2);
    column->addStretch(0);

    connect(m_nodesCollapse, &QPushButton::clicked, this,
            [this] { m_layout->setNodesPaneCollapsed(!m_layout->nodesPaneCollapsed()); });
    connect(m_nodesPane, &NodesPane::nodesPaneCollapsedChanged, layout,
            &PaneLayoutState::setNodesPaneCollapsed);
    connect(m_nodesPane, &NodesPane::customTypeRequested, this,
            [this, session] { openCustomTypeSheet(session, window()); });
    connect(layout, &PaneLayoutState::changed, this, &RightColumn::refresh);
    connect(view, &ViewState::appModeChanged, this, &RightColumn::refresh);
    refresh();
}

int RightColumn::paneWidth() const
{
    return static_cast<int>(m_layout->widths(m_view->appMode()).right);
}

void RightColumn::refresh()
{
    const bool live = m_view->appMode() == AppMode::live;
    const bool nodesCollapsed = m_layout->nodesPaneCollapsed();
    // In edit mode the column is the nodes pane's: collapsing it leaves only the strip.
    m_nodesPane->setNodesPaneCollapsed(nodesCollapsed);
    m_nodesPane->setLiveMode(live);
    m_nodesCollapse->setText(nodesCollapsed ? chevronLeft : chevronRight);
    m_nodesCollapse->setToolTip(nodesCollapsed ? QStringLiteral("Expand Nodes pane")
                                               : QStringLiteral("Collapse Nodes pane"));
    m_nodesArea->setVisible(!live);
    m_layers->setVisible(live || !nodesCollapsed);
}

} // namespace velmora
