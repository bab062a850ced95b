// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The canvas on screen: forwards pointer input, pinch and the context menu to its
// CanvasInteraction, paints the project with CanvasRenderer from the session, the view state,
// the gesture state and the live statuses, repaints when any of them changes, and runs the pulse
// of the live glow.

#include "canvas/canvas_context_menu.h"
#include "canvas/canvas_renderer.h"

#include <QHash>
#include <QSet>
#include <QWidget>

#include <functional>

class QTimer;

namespace velmora {

class CanvasInteraction;
class ProjectSession;
class ViewState;

class CanvasWidget final : public QWidget {
    Q_OBJECT
public:
    static constexpr int pulseIntervalMs = 50;
    static constexpr double pulseStep = 0.1;
    static constexpr double twoPi = 6.283185307179586;
    static constexpr double pinchThreshold = 0.01;

    CanvasWidget(ProjectSession* session, ViewState* view, QWidget* parent = nullptr);
    ~CanvasWidget() override;

    ProjectSession* session() const { return m_session; }
    ViewState* viewState() const { return m_view; }
    CanvasInteraction* interaction() const { return m_interaction; }

    // Runs for "Custom..." in the context menu's "Set Type".
    void setCustomTypeSheetOpener(std::function<void()> open)
    {
        m_openCustomType = std::move(open);
    }

    void setNodeStatuses(const QHash<qint64, PingStatus>& statuses);
    // Nodes whose alerts are muted carry a small mark in live mode.
    void setMutedNodes(const QSet<qint64>& nodeIds);
    // Adds to the context menu of a single node.
    void setNodeMenuExtension(NodeMenuExtension extension)
    {
        m_nodeMenuExtension = std::move(extension);
    }
    const NodeMenuExtension& nodeMenuExtension() const { return m_nodeMenuExtension; }
    void setCableStatusFunction(CableStatusFunction function);

    void startPulse();
    void stopPulse();
    bool isPulsing() const;
    double pulsePhase() const { return m_pulsePhase; }
    void advancePulse(); // one tick: +0.1, back to 0 past 2 pi

    // Everything the renderer needs for the current state.
    RenderFrame renderFrame() const;
    CanvasRenderer& renderer() { return m_renderer; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool handlePinch(QEvent* event);

    ProjectSession* m_session;
    ViewState* m_view;
    CanvasInteraction* m_interaction;
    std::function<void()> m_openCustomType;
    CanvasRenderer m_renderer;
    QHash<qint64, PingStatus> m_statuses;
    QSet<qint64> m_mutedNodes;
    NodeMenuExtension m_nodeMenuExtension;
    CableStatusFunction m_cableStatus;
    QSet<qint64> m_searchMatches;
    QTimer* m_pulseTimer;
    double m_pulsePhase = 0.0;

    // Pinch: product of the native zoom steps since the gesture began.
    double m_nativeMagnification = 1.0;
    double m_lastAppliedMagnification = 1.0;
};

} // namespace velmora
