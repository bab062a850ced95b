// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The right column over the canvas: the nodes pane in edit mode (410 wide, a 60-wide strip when
// collapsed) with the layers pane under it; in live mode the layers pane alone (340 wide, 60
// when collapsed).

#include <QWidget>

namespace velmora {

class LayersPane;
class NodesPane;
class PaneLayoutState;
class ProjectSession;
class ViewState;

class RightColumn final : public QWidget {
    Q_OBJECT
public:
    RightColumn(ProjectSession* session, ViewState* view, PaneLayoutState* layout,
                QWidget* parent = nullptr);

    LayersPane* layersPane() const { return m_layers; }
    // The nodes pane of edit mode; its collapse state is the layout's.
    NodesPane* nodesPane() const { return m_nodesPane; }
    int paneWidth() const;

private:
    void refresh();

    ViewState* m_view;
    PaneLayoutState* m_layout;
    QWidget* m_nodesArea;
    NodesPane* m_nodesPane;
    LayersPane* m_layers;
};

} // namespace velmora
