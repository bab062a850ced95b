// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/right_column.h"

#include "canvas/view_state.h"
#include "panes/layers_pane.h"
#include "panes/nodes_pane.h"
#include "panes/pane_layout_state.h"
#include "panes/type_sheets.h"

#include <QVBoxLayout>

namespace velmora {

RightColumn::RightColumn(ProjectSession* session, ViewState* view, PaneLayoutState* layout,
                         QWidget* parent)
    : QWidget(parent), m_view(view), m_layout(layout), m_nodesArea(new QWidget(this)),
      m_nodesPane(new NodesPane(session, m_nodesArea)),
      m_layers(new LayersPane(session, view, layout, this))
{
    setObjectName(QStringLiteral("rightColumn"));
    setAttribute(Qt::WA_StyledBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(0);
    auto* nodesSlot = new QVBoxLayout(m_nodesArea);
    nodesSlot->setContentsMargins(0, 0, 0, 0);
    nodesSlot->addWidget(m_nodesPane);
    column->addWidget(m_nodesArea, 3);
    column->addWidget(m_layers, 2);
    column->addStretch(0);

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
    m_nodesArea->setVisible(!live);
    m_layers->setVisible(live || !nodesCollapsed);
}

} // namespace velmora
