// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/pane_layout_state.h"

namespace velmora {

void PaneLayoutState::set(bool& field, bool value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
}

void PaneLayoutState::setLeftPaneCollapsed(bool collapsed)
{
    set(m_left, collapsed);
}

void PaneLayoutState::setNodesPaneCollapsed(bool collapsed)
{
    set(m_nodes, collapsed);
}

void PaneLayoutState::setLayersPaneCollapsed(bool collapsed)
{
    set(m_layers, collapsed);
}

void PaneLayoutState::setHelpPaneCollapsed(bool collapsed)
{
    set(m_help, collapsed);
}

void PaneLayoutState::setAllPanes(bool collapsed)
{
    const bool before[] = {m_left, m_nodes, m_layers, m_help};
    m_left = m_nodes = m_layers = m_help = collapsed;
    if (before[0] != collapsed || before[1] != collapsed || before[2] != collapsed ||
        before[3] != collapsed)
        emit changed();
}

bool PaneLayoutState::allPanesCollapsed(AppMode mode) const
{
    return m_left && m_nodes && m_help && (mode != AppMode::live || m_layers);
}

} // namespace velmora
