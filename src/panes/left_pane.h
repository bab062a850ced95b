// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The left pane over the canvas (220 wide, a 60-wide strip when collapsed): the header with the
// application's name and the collapse buttons, the mode switch, the zoom controls, the map
// layer section, and slots that the read-outs, node details, cables and live sections fill.

#include <QWidget>

class QBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace velmora {

class MapLayerSection;
class ModeSwitch;
class PaneLayoutState;
class ProjectSession;
class ViewState;
class ZoomControls;

class LeftPane final : public QWidget {
    Q_OBJECT
public:
    LeftPane(ProjectSession* session, ViewState* view, PaneLayoutState* layout,
             QWidget* parent = nullptr);

    ModeSwitch* modeSwitch() const { return m_modeSwitch; }
    ZoomControls* zoomControls() const { return m_zoomControls; }
    MapLayerSection* mapLayerSection() const { return m_mapLayer; }
    QPushButton* collapseButton() const { return m_collapse; }
    QPushButton* collapseAllButton() const { return m_collapseAll; }

    // Containers, in pane order, for the sections other parts of the window provide.
    QVBoxLayout* readoutsSlot() const { return m_readoutsSlot; }
    QVBoxLayout* nodeDetailsSlot() const { return m_nodeDetailsSlot; }
    QVBoxLayout* cablesSlot() const { return m_cablesSlot; }
    QVBoxLayout* liveSlot() const { return m_liveSlot; }

    // The width the window gives the pane; it places the pane (and animates it there).
    int paneWidth() const;

signals:
    // The collapse-or-expand-all button: the window flips all panes, animated.
    void collapseAllRequested();

private:
    void refresh();

    ViewState* m_view;
    PaneLayoutState* m_layout;
    QLabel* m_title;
    QPushButton* m_collapse;
    QPushButton* m_collapseAll;
    QWidget* m_body;
    ModeSwitch* m_modeSwitch;
    ZoomControls* m_zoomControls;
    MapLayerSection* m_mapLayer;
    QVBoxLayout* m_readoutsSlot;
    QVBoxLayout* m_nodeDetailsSlot;
    QVBoxLayout* m_cablesSlot;
    QVBoxLayout* m_liveSlot;
    QBoxLayout* m_headerRow;
    QWidget* m_scroll;
};

} // namespace velmora
