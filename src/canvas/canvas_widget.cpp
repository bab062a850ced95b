// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/canvas_widget.h"

#include "canvas/canvas_context_menu.h"
#include "canvas/canvas_interaction.h"
#include "canvas/hit_test.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "model/search.h"

#include <QContextMenuEvent>
#include <QGestureEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPinchGesture>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>
#include <memory>

namespace velmora {

CanvasWidget::CanvasWidget(ProjectSession* session, ViewState* view, QWidget* parent)
    : QWidget(parent), m_session(session), m_view(view),
      m_interaction(new CanvasInteraction(session, view, this)), m_pulseTimer(new QTimer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    grabGesture(Qt::PinchGesture);
    m_pulseTimer->setInterval(pulseIntervalMs);
    connect(m_pulseTimer, &QTimer::timeout, this, &CanvasWidget::advancePulse);

    const auto repaint = [this] { update(); };
    const auto findMatches = [this] {
        m_searchMatches = searchResults(*m_session);
        update();
    };
    connect(session->document(), &ProjectDocument::changed, this, findMatches);
    connect(session, &ProjectSession::searchTextChanged, this, findMatches);
    connect(session, &ProjectSession::selectionChanged, this, repaint);
    connect(session, &ProjectSession::typesChanged, this, repaint);
    connect(session, &ProjectSession::rootChanged, this, repaint);
    connect(view, &ViewState::viewChanged, this, repaint);
    connect(view, &ViewState::contentReadyChanged, this, repaint);
    connect(view, &ViewState::mapAppearanceChanged, this, repaint);
    connect(view, &ViewState::appModeChanged, this, repaint);
    connect(view, &ViewState::liveGlowEnabledChanged, this, repaint);
    connect(m_interaction, &CanvasInteraction::gestureChanged, this, repaint);
    m_searchMatches = searchResults(*m_session);
}

CanvasWidget::~CanvasWidget() = default;

void CanvasWidget::setNodeStatuses(const QHash<qint64, PingStatus>& statuses)
{
    // Every publication brings the map again; an unchanged one changes no pixel.
    if (statuses == m_statuses)
        return;
    m_statuses = statuses;
    update();
}

void CanvasWidget::setMutedNodes(const QSet<qint64>& nodeIds)
{
    if (nodeIds == m_mutedNodes)
        return;
    m_mutedNodes = nodeIds;
    update();
}

void CanvasWidget::setStaleNodes(const QSet<qint64>& nodes)
{
    m_staleNodes = nodes;
    update();
}

void CanvasWidget::setCableStatusFunction(CableStatusFunction function)
{
    m_cableStatus = std::move(function);
    update();
}

void CanvasWidget::startPulse()
{
    m_pulseTimer->start();
}

bool CanvasWidget::isPulsing() const
{
    return m_pulseTimer->isActive();
}

void CanvasWidget::stopPulse()
{
    m_pulseTimer->stop();
    m_pulsePhase = 0.0;
    update();
}

void CanvasWidget::advancePulse()
{
    m_pulsePhase += pulseStep;
    if (m_pulsePhase > twoPi)
        m_pulsePhase = 0.0;
    // Only the breathing glows change from one tick to the next.
    if (isVisible())
        update(m_renderer.pulseRegion(size(), renderFrame()));
}

RenderFrame CanvasWidget::renderFrame() const
{
    RenderFrame frame;
    frame.project = &m_session->project();
    frame.view = m_view->transform();
    frame.appMode = m_view->appMode();
    frame.isContentReady = m_view->isContentReady();
    frame.gesture = &m_interaction->gesture();
    frame.selectedNodes = m_session->selectedNodes();
    frame.selectedCableIds = m_session->selectedCableIds();
    frame.typeColorMap = m_session->typeColorMap();
    frame.visibleTypes = m_session->visibleTypes();
    frame.rootNodeId = m_session->rootNodeId();
    frame.searchMatches = m_searchMatches;
    frame.searchText = m_session->searchText();
    frame.nodeStatuses = m_statuses;
    frame.mutedNodes = m_mutedNodes;
    frame.staleNodes = m_staleNodes;
    frame.cableStatus = m_cableStatus;
    frame.liveGlowEnabled = m_view->liveGlowEnabled();
    frame.pulsePhase = m_pulsePhase;
    frame.mapOpacity = m_view->mapOpacity();
    frame.mapSaturation = m_view->mapSaturation();
    return frame;
}

void CanvasWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRegion& region = event->region();
    const bool whole = region.rectCount() == 1 && region.boundingRect().contains(rect());
    m_renderer.drawCanvas(painter, size(), renderFrame(), whole ? QRegion() : region);
}

void CanvasWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_view->setViewSize(size());
}

bool CanvasWidget::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture || event->type() == QEvent::Gesture) {
        if (handlePinch(event))
            return true;
    }
    if (event->type() == QEvent::ToolTip) {
        // Live mode's own text (status, latency, loss) where it gives one; otherwise the full
        // name and type of the node under the pointer, which the box shows cut to its width.
        const auto* help = static_cast<QHelpEvent*>(event);
        const ProjectData& project = m_session->project();
        const std::optional<qsizetype> hit = nodeAt(help->pos(), project, m_view->transform());
        QString text;
        if (hit) {
            const NodeData& node = project.nodes.at(*hit);
            if (m_nodeToolTip)
                text = m_nodeToolTip(node.id);
            if (text.isEmpty())
                text = node.name + u'\n' + node.type;
        }
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        m_view->wheel(wheel->angleDelta(), wheel->pixelDelta(), wheel->modifiers(),
                      wheel->position());
        return true;
    }
    return QWidget::event(event);
}

bool CanvasWidget::handlePinch(QEvent* event)
{
    // Changes smaller than 0.01 in magnification are not reported, as with a pinch recogniser
    // that has that minimum.
    const auto apply = [this](double magnification) {
        if (std::abs(magnification - m_lastAppliedMagnification) < pinchThreshold)
            return;
        m_lastAppliedMagnification = magnification;
        m_view->pinch(magnification);
    };
    if (event->type() == QEvent::NativeGesture) {
        auto* native = static_cast<QNativeGestureEvent*>(event);
        switch (native->gestureType()) {
        case Qt::BeginNativeGesture:
            m_nativeMagnification = 1.0;
            m_lastAppliedMagnification = 1.0;
            return true;
        case Qt::ZoomNativeGesture:
            m_nativeMagnification *= 1.0 + native->value();
            apply(m_nativeMagnification);
            return true;
        case Qt::EndNativeGesture:
            m_view->endPinch();
            m_nativeMagnification = 1.0;
            m_lastAppliedMagnification = 1.0;
            return true;
        default:
            return false;
        }
    }
    auto* gestureEvent = static_cast<QGestureEvent*>(event);
    auto* pinch = static_cast<QPinchGesture*>(gestureEvent->gesture(Qt::PinchGesture));
    if (!pinch)
        return false;
    if (pinch->state() == Qt::GestureStarted)
        m_lastAppliedMagnification = 1.0;
    apply(pinch->totalScaleFactor());
    if (pinch->state() == Qt::GestureFinished || pinch->state() == Qt::GestureCanceled) {
        m_view->endPinch();
        m_lastAppliedMagnification = 1.0;
    }
    gestureEvent->accept(pinch);
    return true;
}

void CanvasWidget::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton)
        m_interaction->press(event->position());
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons().testFlag(Qt::LeftButton)) {
        m_interaction->move(event->position());
        return;
    }
    // The button is up: if its release went elsewhere, the gesture ends here.
    m_interaction->endLostPress();
    m_interaction->hover(event->position());
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_interaction->release(event->position(), event->modifiers());
}

void CanvasWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_interaction->doublePress(event->position());
}

void CanvasWidget::leaveEvent(QEvent* event)
{
    m_interaction->hoverEnded();
    QWidget::leaveEvent(event);
}

void CanvasWidget::focusOutEvent(QFocusEvent* event)
{
    // A gesture whose release will not arrive ends as that release would.
    m_interaction->endLostPress();
    QWidget::focusOutEvent(event);
}

void CanvasWidget::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu takes the pointer: a drag under way gets no release, so it ends now.
    m_interaction->endLostPress();
    const std::unique_ptr<QMenu> menu(
        buildCanvasContextMenu(*m_interaction, m_openCustomType, this, m_nodeMenuExtension));
    if (!menu->isEmpty())
        menu->exec(event->globalPos());
}

} // namespace velmora
