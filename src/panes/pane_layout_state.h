// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which side panes are collapsed. Pure view state: never saved, no undo. The widths the canvas
// frames between follow from it and the window mode.

#include "canvas/hit_test.h"
#include "canvas/view_framing.h"

#include <QObject>

namespace velmora {

class PaneLayoutState final : public QObject {
    Q_OBJECT
public:
    explicit PaneLayoutState(QObject* parent = nullptr) : QObject(parent) {}

    bool leftPaneCollapsed() const { return m_left; }
    bool nodesPaneCollapsed() const { return m_nodes; }
    bool layersPaneCollapsed() const { return m_layers; }
    bool helpPaneCollapsed() const { return m_help; }
    void setLeftPaneCollapsed(bool collapsed);
    void setNodesPaneCollapsed(bool collapsed);
    void setLayersPaneCollapsed(bool collapsed);
    void setHelpPaneCollapsed(bool collapsed);

    // Left, nodes, layers and help pane, in this order.
    void setAllPanes(bool collapsed);
    // All count as collapsed when the left, nodes and help panes are, and in live mode also the
    // layers pane.
    bool allPanesCollapsed(AppMode mode) const;

    PaneWidths widths(AppMode mode) const
    {
        return paneWidthsFor(m_left, mode == AppMode::live, m_nodes, m_layers);
    }

signals:
    void changed();

private:
    void set(bool& field, bool value);

    bool m_left = false;
    bool m_nodes = false;
    bool m_layers = false;
    bool m_help = false;
};

} // namespace velmora
