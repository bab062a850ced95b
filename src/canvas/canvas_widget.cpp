// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/canvas_widget.h"

#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QGestureEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPinchGesture>

#include <cmath>

namespace velmora {

CanvasWidget::CanvasWidget(ProjectSession* session, ViewState* view, QWidget* parent)
    : QWidget(parent), m_session(session), m_view(view), m_pulseTimer(new QTimer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    grabGesture(Qt::PinchGesture);
    m_pulseTimer->setInterval(pulseIntervalMs);
    connect(m_pulseTimer, &QTimer::timeout, this, &CanvasWidget::advancePulse);

    const auto repaint = [this] { update(); };
    connect(session->document(), &ProjectDocument::changed, this, repaint);
    connect(session, &ProjectSession::selectionChanged, this, repaint);
    connect(session, &ProjectSession::typesChanged, this, repaint);
    connect(session, &ProjectSession::rootChanged, this, repaint);
    connect(session, &ProjectSession::searchTextChanged, this, repaint);
    connect(view, &ViewState::viewChanged, this, repaint);
    connect(view, &ViewState::contentReadyChanged, this, repaint);
    connect(view, &ViewState::mapAppearanceChanged, this, repaint);
    connect(view, &ViewState::appModeChanged, this, repaint);
    connect(view, &ViewState::liveGlowEnabledChanged, this, repaint);
}

CanvasWidget::~CanvasWidget() = default;

// Out of line: inlined into callers, GCC's -Wnull-dereference misreads this plain store.
void CanvasWidget::setInputHandler(CanvasInputHandler* handler)
{
    m_handler = handler;
}

void CanvasWidget::setNodeStatuses(const QHash<qint64, PingStatus>& statuses)
{
    m_statuses = statuses;
    update();
}

void CanvasWidget::setCableStatusFunction(CableStatusFunction function)
{
    m_cableStatus = std::move(function);
    update();
}

void CanvasWidget::setSearchMatches(const QSet<qint64>& matches)
{
    m_searchMatches = matches;
    update();
}

void CanvasWidget::startPulse()
{
    m_pulseTimer->start();
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
    update();
}

RenderFrame CanvasWidget::renderFrame() const
{
    RenderFrame frame;
    frame.project = &m_session->project();
    frame.view = m_view->transform();
    frame.appMode = m_view->appMode();
    frame.isContentReady = m_view->isContentReady();
    frame.gesture = &m_gesture;
    frame.selectedNodes = m_session->selectedNodes();
    frame.selectedCableIds = m_session->selectedCableIds();
    frame.typeColorMap = m_session->typeColorMap();
    frame.visibleTypes = m_session->visibleTypes();
    frame.rootNodeId = m_session->rootNodeId();
    frame.searchMatches = m_searchMatches;
    frame.searchText = m_session->searchText();
    frame.nodeStatuses = m_statuses;
    frame.cableStatus = m_cableStatus;
    frame.liveGlowEnabled = m_view->liveGlowEnabled();
    frame.pulsePhase = m_pulsePhase;
    frame.mapOpacity = m_view->mapOpacity();
    frame.mapSaturation = m_view->mapSaturation();
    return frame;
}

void CanvasWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_renderer.drawCanvas(painter, size(), renderFrame());
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
    if (m_handler && m_handler->mousePress(event))
        return;
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_panning = false;
        m_pressPosition = event->position();
    }
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_handler && m_handler->mouseMove(event))
        return;
    if (!m_pressed)
        return;
    const QPointF translation = event->position() - m_pressPosition;
    if (!m_panning && std::hypot(translation.x(), translation.y()) < dragThreshold)
        return;
    m_panning = true;
    m_view->dragPan(QSizeF(translation.x(), translation.y()));
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_handler && m_handler->mouseRelease(event))
        return;
    if (event->button() != Qt::LeftButton)
        return;
    if (m_panning)
        m_view->endDragPan();
    m_pressed = false;
    m_panning = false;
}

void CanvasWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_handler && m_handler->mouseDoubleClick(event))
        return;
    QWidget::mouseDoubleClickEvent(event);
}

void CanvasWidget::leaveEvent(QEvent* event)
{
    if (m_handler)
        m_handler->hoverLeave();
    QWidget::leaveEvent(event);
}

void CanvasWidget::focusOutEvent(QFocusEvent* event)
{
    // A gesture whose release will not arrive ends as that release would.
    if (m_handler) {
        m_handler->focusLost();
    } else if (m_pressed) {
        if (m_panning)
            m_view->endDragPan();
        m_pressed = false;
        m_panning = false;
    }
    QWidget::focusOutEvent(event);
}

void CanvasWidget::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_handler && m_handler->contextMenu(event))
        return;
    QWidget::contextMenuEvent(event);
}

void CanvasWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        switch (event->key()) {
        case Qt::Key_Equal:
        case Qt::Key_Plus:
            m_view->zoomIn();
            return;
        case Qt::Key_Minus:
            m_view->zoomOut();
            return;
        default:
            break;
        }
    }
    if (m_handler && m_handler->keyPress(event))
        return;
    QWidget::keyPressEvent(event);
}

} // namespace velmora
