// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's view: zoom and pan with their gesture start values, the canvas size, the smooth
// view animation, map appearance, the pane widths framing centres between, and the window mode.
// Zoom, pan and map appearance are written into the project's ViewSettings (without undo).

#include "canvas/app_mode.h"
#include "canvas/view_framing.h"
#include "canvas/view_transform.h"
#include "model/project_data.h"

#include <QObject>
#include <QPointF>
#include <QSizeF>

class QTimer;
class QVariantAnimation;

namespace velmora {

class ProjectSession;

class ViewState final : public QObject {
    Q_OBJECT
public:
    static constexpr double zoomStep = 1.25;
    static constexpr double animationDuration = 0.5; // seconds, for every framing animation
    static constexpr int contentFramingDelayMs = 100;

    explicit ViewState(ProjectSession* session, QObject* parent = nullptr);

    ProjectSession* session() const { return m_session; }

    double zoom() const { return m_zoom; }
    QPointF pan() const { return m_pan; }
    QPointF dragStart() const { return m_dragStart; }
    double zoomStart() const { return m_zoomStart; }
    QSizeF viewSize() const { return m_viewSize; }
    bool isContentReady() const { return m_isContentReady; }
    bool isAnimatingView() const;
    ViewTransform transform() const { return {m_zoom, m_pan}; }

    void setViewSize(QSizeF size);
    // Pixel size of the project's map image; empty without one or when it does not decode.
    QSize mapImageSize() const;
    void setContentReady(bool ready);

    // Panning by dragging empty canvas: pan = dragStart + translation while the drag runs.
    void dragPan(QSizeF translation);
    void endDragPan(); // dragStart = pan
    // Sets zoom and pan at once (and their start values), e.g. a reset.
    void setView(double zoom, QPointF pan);

    // The buttons and Ctrl+= / Ctrl+-: one zoom step about the visible centre (the middle of the
    // canvas between the panes), so the content there stays there.
    void zoomIn();
    void zoomOut();
    // Sets the zoom (clamped to the limits) keeping the content under screen point `anchor`
    // where it is; zoomStart and dragStart follow.
    void zoomAbout(double zoom, QPointF anchor);
    // The screen point in the middle of the canvas left free between the panes.
    QPointF visibleCentre() const;
    // Moves the pan by `delta` screen units; dragStart follows.
    void panBy(QPointF delta);
    // A mouse wheel or touchpad scroll (angle in eighths of a degree, pixels when the device
    // gives them) at screen point `pointer`: vertical turns zoom about the pointer, one step per
    // notch; Shift or a horizontal scroll pans instead.
    void wheel(QPoint angleDelta, QPoint pixelDelta, Qt::KeyboardModifiers modifiers,
               QPointF pointer);
    void pinch(double magnification); // zoom = clamp(magnification x zoomStart)
    void endPinch();                  // zoomStart = zoom

    PaneWidths paneWidths() const { return m_paneWidths; }
    void setPaneWidths(PaneWidths widths) { m_paneWidths = widths; }

    void fitToScreen(QSizeF size);
    void zoomToNode(const NodeData& node);
    // Frames the matching nodes and makes them the selection (cables deselected).
    void zoomToSearchResults(const QList<NodeData>& matches);
    // Moves zoom and pan to the target over `duration` seconds with a cubic ease-out, replacing
    // a running animation from wherever the view is now. A target within 0.01 zoom and 1 unit
    // of pan starts nothing (a running animation stays stopped where it was). The animation
    // (object name "viewAnimation") ticks with Qt's animation timer, 60 times a second;
    // setCurrentTime() on it steps it by hand.
    void animateView(double targetZoom, QPointF targetPan, double duration);
    void stopAnimation();

    void loadViewSettings();
    void saveViewSettings();

    // The window has been shown: take its canvas size, restore the stored view and, 0.1 s
    // later, frame the content when the stored pan is exactly (0, 0); then content is ready.
    void windowShown(QSizeF canvasSize);
    // New content (a map image, imported nodes): stop drawing content, frame it 0.1 s later
    // without animation and draw again.
    void scheduleContentFraming();

    double mapOpacity() const { return m_mapOpacity; }
    double mapSaturation() const { return m_mapSaturation; }
    void setMapOpacity(double opacity);
    void setMapSaturation(double saturation);

    AppMode appMode() const { return m_appMode; }
    void setAppMode(AppMode mode);
    bool liveGlowEnabled() const { return m_liveGlowEnabled; }
    void setLiveGlowEnabled(bool enabled);

signals:
    void viewChanged(); // zoom or pan
    void contentReadyChanged(bool ready);
    void mapAppearanceChanged();
    void appModeChanged(velmora::AppMode mode);
    void liveGlowEnabledChanged(bool enabled);
    void viewSizeChanged(QSizeF size);

private:
    void applyFraming(double zoom, QPointF pan);
    void setZoomPan(double zoom, QPointF pan);
    void onViewResetRequested();

    ProjectSession* m_session;
    double m_zoom = 1.0;
    QPointF m_pan;
    QPointF m_dragStart;
    double m_zoomStart = 1.0;
    QSizeF m_viewSize;
    bool m_isContentReady = false;
    PaneWidths m_paneWidths;

    // Runs its value from 0 to 1 along the ease-out curve.
    QVariantAnimation* m_viewAnimation;
    double m_animationStartZoom = 1.0;
    double m_animationEndZoom = 1.0;
    QPointF m_animationStartPan;
    QPointF m_animationEndPan;

    QTimer* m_framingTimer;
    bool m_frameOnReady = true;

    double m_mapOpacity = 1.0;
    double m_mapSaturation = 1.0;
    AppMode m_appMode = AppMode::edit;
    bool m_liveGlowEnabled = true;
};

} // namespace velmora
