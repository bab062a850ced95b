// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/view_state.h"

#include "canvas/map_image.h"
#include "model/project_session.h"

#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace velmora {

ViewState::ViewState(ProjectSession* session, QObject* parent)
    : QObject(parent), m_session(session), m_viewAnimation(new QVariantAnimation(this)),
      m_framingTimer(new QTimer(this))
{
    m_viewAnimation->setObjectName(QStringLiteral("viewAnimation"));
    m_viewAnimation->setStartValue(0.0);
    m_viewAnimation->setEndValue(1.0);
    m_viewAnimation->setEasingCurve(QEasingCurve::OutCubic); // 1 - (1 - t)^3
    connect(m_viewAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        // A stopped animation also reports values (when its duration changes); they are stale.
        if (!isAnimatingView())
            return;
        const double e = value.toDouble();
        setZoomPan(m_animationStartZoom + (m_animationEndZoom - m_animationStartZoom) * e,
                   m_animationStartPan + (m_animationEndPan - m_animationStartPan) * e);
    });
    // Only an animation that reaches its end lands exactly on the target and moves the start
    // values of the next pan drag and pinch; one that is stopped leaves them.
    connect(m_viewAnimation, &QVariantAnimation::finished, this, [this] {
        m_zoomStart = m_animationEndZoom;
        m_dragStart = m_animationEndPan;
        setZoomPan(m_animationEndZoom, m_animationEndPan);
    });

    m_framingTimer->setSingleShot(true);
    m_framingTimer->setInterval(contentFramingDelayMs);
    connect(m_framingTimer, &QTimer::timeout, this, [this] {
        if (m_frameOnReady)
            fitToScreen(m_viewSize);
        m_frameOnReady = true;
        setContentReady(true);
    });
    if (m_session)
        connect(m_session, &ProjectSession::viewResetRequested, this,
                &ViewState::onViewResetRequested);
}

void ViewState::setViewSize(QSizeF size)
{
    if (size == m_viewSize)
        return;
    m_viewSize = size;
    emit viewSizeChanged(size);
}

void ViewState::setContentReady(bool ready)
{
    if (ready == m_isContentReady)
        return;
    m_isContentReady = ready;
    emit contentReadyChanged(ready);
}

void ViewState::setZoomPan(double zoom, QPointF pan)
{
    if (zoom == m_zoom && pan == m_pan)
        return;
    m_zoom = zoom;
    m_pan = pan;
    saveViewSettings();
    emit viewChanged();
}

void ViewState::dragPan(QSizeF translation)
{
    setZoomPan(m_zoom, m_dragStart + QPointF(translation.width(), translation.height()));
}

void ViewState::endDragPan()
{
    m_dragStart = m_pan;
}

void ViewState::setView(double zoom, QPointF pan)
{
    stopAnimation();
    m_zoomStart = zoom;
    m_dragStart = pan;
    setZoomPan(zoom, pan);
}

void ViewState::zoomIn()
{
    zoomAbout(m_zoom * zoomStep, visibleCentre());
}

void ViewState::zoomOut()
{
    zoomAbout(m_zoom / zoomStep, visibleCentre());
}

void ViewState::zoomAbout(double zoom, QPointF anchor)
{
    stopAnimation();
    const double z = std::clamp(zoom, minZoom, maxZoom);
    const QPointF pan = anchor - (anchor - m_pan) * (z / m_zoom);
    m_zoomStart = z;
    m_dragStart = pan;
    setZoomPan(z, pan);
}

QPointF ViewState::visibleCentre() const
{
    // The canvas point the framing functions centre lands here at any zoom; take it at zoom 1.
    return centringPan(QPointF(0, 0), 1.0, m_viewSize, m_paneWidths);
}

void ViewState::panBy(QPointF delta)
{
    stopAnimation();
    m_dragStart = m_pan + delta;
    setZoomPan(m_zoom, m_dragStart);
}

void ViewState::wheel(QPoint angleDelta, QPoint pixelDelta, Qt::KeyboardModifiers modifiers,
                      QPointF pointer)
{
    constexpr double notch = 120.0;          // angle units of one wheel click
    constexpr double panPerNotch = gridSize; // screen units one click pans
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    if (shift || angleDelta.x() != 0 || (angleDelta.isNull() && pixelDelta.x() != 0)) {
        QPointF delta =
            !pixelDelta.isNull() ? QPointF(pixelDelta) : QPointF(angleDelta) / notch * panPerNotch;
        // Shift turns a vertical wheel into a horizontal pan.
        if (shift && delta.x() == 0)
            delta = QPointF(delta.y(), 0);
        panBy(delta);
        return;
    }
    if (angleDelta.y() != 0)
        zoomAbout(m_zoom * std::pow(zoomStep, angleDelta.y() / notch), pointer);
}

void ViewState::pinch(double magnification)
{
    setZoomPan(std::clamp(magnification * m_zoomStart, minZoom, maxZoom), m_pan);
}

void ViewState::endPinch()
{
    m_zoomStart = m_zoom;
}

void ViewState::applyFraming(double zoom, QPointF pan)
{
    if (!m_isContentReady) {
        stopAnimation();
        m_zoomStart = zoom;
        m_dragStart = pan;
        setZoomPan(zoom, pan);
    } else {
        animateView(zoom, pan, animationDuration);
    }
}

QSize ViewState::mapImageSize() const
{
    const ProjectData& project = m_session->project();
    return project.hasMapImage() ? encodedImageSize(*project.map->imageData) : QSize();
}

void ViewState::fitToScreen(QSizeF size)
{
    const Framing framing = fitFraming(m_session->project(), mapImageSize(), size, m_paneWidths);
    applyFraming(framing.zoom, framing.pan);
}

void ViewState::zoomToNode(const NodeData& node)
{
    const Framing framing = nodeFraming(node, m_viewSize, m_paneWidths);
    animateView(framing.zoom, framing.pan, animationDuration);
}

void ViewState::zoomToSearchResults(const QList<NodeData>& matches)
{
    const std::optional<Framing> framing = nodesFraming(matches, m_viewSize, m_paneWidths);
    if (!framing)
        return;
    animateView(framing->zoom, framing->pan, animationDuration);
    QSet<qint64> ids;
    for (const NodeData& node : matches)
        ids.insert(node.id);
    m_session->setSelection(ids, {}, std::nullopt);
}

bool ViewState::isAnimatingView() const
{
    return m_viewAnimation->state() != QAbstractAnimation::Stopped;
}

void ViewState::animateView(double targetZoom, QPointF targetPan, double duration)
{
    stopAnimation();
    if (std::abs(m_zoom - targetZoom) < 0.01 && std::abs(m_pan.x() - targetPan.x()) < 1.0 &&
        std::abs(m_pan.y() - targetPan.y()) < 1.0)
        return;
    m_animationStartZoom = m_zoom;
    m_animationEndZoom = targetZoom;
    m_animationStartPan = m_pan;
    m_animationEndPan = targetPan;
    // Restarted from its stopped state, the animation begins at time 0 of the full duration.
    m_viewAnimation->setDuration(std::max(0, int(std::lround(duration * 1000.0))));
    m_viewAnimation->start();
}

void ViewState::stopAnimation()
{
    m_viewAnimation->stop();
}

void ViewState::loadViewSettings()
{
    const ViewSettings& stored = m_session->project().viewSettings;
    // A zoom of zero, below zero or not a number cannot be drawn; such a file opens at zoom 1.
    m_zoom = (std::isfinite(stored.zoom) && stored.zoom > 0.0) ? stored.zoom : 1.0;
    m_zoomStart = m_zoom;
    m_pan = (std::isfinite(stored.panX) && std::isfinite(stored.panY))
                ? QPointF(stored.panX, stored.panY)
                : QPointF(0, 0);
    m_dragStart = m_pan;
    m_mapOpacity = stored.mapOpacity;
    m_mapSaturation = stored.mapSaturation;
    emit viewChanged();
    emit mapAppearanceChanged();
}

void ViewState::saveViewSettings()
{
    ViewSettings settings;
    settings.zoom = m_zoom;
    settings.panX = m_pan.x();
    settings.panY = m_pan.y();
    settings.mapOpacity = m_mapOpacity;
    settings.mapSaturation = m_mapSaturation;
    if (!std::isfinite(settings.zoom) || !std::isfinite(settings.panX) ||
        !std::isfinite(settings.panY))
        return; // never write a meaningless view into the project
    if (m_session->project().viewSettings == settings)
        return;
    m_session->document()->modify([&](ProjectData& project) { project.viewSettings = settings; });
}

void ViewState::windowShown(QSizeF canvasSize)
{
    setViewSize(canvasSize);
    loadViewSettings();
    const ViewSettings& stored = m_session->project().viewSettings;
    m_frameOnReady = stored.panX == 0.0 && stored.panY == 0.0;
    m_framingTimer->start();
}

void ViewState::scheduleContentFraming()
{
    stopAnimation();
    setContentReady(false);
    m_frameOnReady = true;
    m_framingTimer->start();
}

void ViewState::setMapOpacity(double opacity)
{
    if (opacity == m_mapOpacity)
        return;
    m_mapOpacity = opacity;
    saveViewSettings();
    emit mapAppearanceChanged();
}

void ViewState::setMapSaturation(double saturation)
{
    if (saturation == m_mapSaturation)
        return;
    m_mapSaturation = saturation;
    saveViewSettings();
    emit mapAppearanceChanged();
}

void ViewState::setAppMode(AppMode mode)
{
    // Switching modes stops a running view animation, even when the mode stays the same.
    stopAnimation();
    if (mode == m_appMode)
        return;
    m_appMode = mode;
    emit appModeChanged(mode);
}

void ViewState::setLiveGlowEnabled(bool enabled)
{
    if (enabled == m_liveGlowEnabled)
        return;
    m_liveGlowEnabled = enabled;
    emit liveGlowEnabledChanged(enabled);
}

void ViewState::onViewResetRequested()
{
    stopAnimation();
    m_zoomStart = 1.0;
    m_dragStart = QPointF(0, 0);
    setZoomPan(1.0, QPointF(0, 0));
}

} // namespace velmora
