// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The canvas on screen: paints the project with CanvasRenderer from the session, the view state,
// the gesture state and the live statuses, repaints when any of them changes, runs the pulse of
// the live glow, and forwards input to a replaceable CanvasInputHandler (by default: pan by
// dragging, pinch and Ctrl+= / Ctrl+- zoom).

#include "canvas/canvas_input_handler.h"
#include "canvas/canvas_renderer.h"
#include "canvas/gesture_state.h"

#include <QHash>
#include <QPointF>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace velmora {

class ProjectSession;
class ViewState;

class CanvasWidget final : public QWidget {
    Q_OBJECT
public:
    static constexpr int pulseIntervalMs = 50;
    static constexpr double pulseStep = 0.1;
    static constexpr double twoPi = 6.283185307179586;
    static constexpr double dragThreshold = 5.0; // a press must move this far to become a drag
    static constexpr double pinchThreshold = 0.01;

    CanvasWidget(ProjectSession* session, ViewState* view, QWidget* parent = nullptr);
    ~CanvasWidget() override;

    ProjectSession* session() const { return m_session; }
    ViewState* viewState() const { return m_view; }

    // Gesture state written by the input handler; call gestureChanged() after writing it.
    GestureState& gestureState() { return m_gesture; }
    void gestureChanged() { update(); }

    // Replaces the built-in panning with a full gesture handler (not owned; null restores it).
    void setInputHandler(CanvasInputHandler* handler);

    void setNodeStatuses(const QHash<qint64, PingStatus>& statuses);
    void setCableStatusFunction(CableStatusFunction function);
    void setSearchMatches(const QSet<qint64>& matches);

    void startPulse();
    void stopPulse();
    bool isPulsing() const { return m_pulseTimer->isActive(); }
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
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool handlePinch(QEvent* event);

    ProjectSession* m_session;
    ViewState* m_view;
    CanvasRenderer m_renderer;
    GestureState m_gesture;
    CanvasInputHandler* m_handler = nullptr;
    QHash<qint64, PingStatus> m_statuses;
    CableStatusFunction m_cableStatus;
    QSet<qint64> m_searchMatches;
    QTimer* m_pulseTimer;
    double m_pulsePhase = 0.0;

    // Built-in panning.
    bool m_pressed = false;
    bool m_panning = false;
    QPointF m_pressPosition;
    // Pinch: product of the native zoom steps since the gesture began.
    double m_nativeMagnification = 1.0;
    double m_lastAppliedMagnification = 1.0;
};

} // namespace velmora
