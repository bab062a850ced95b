// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/canvas_interaction_handler.h"

#include "canvas/canvas_context_menu.h"
#include "canvas/canvas_widget.h"
#include "canvas/map_image.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "model/search.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <memory>

namespace velmora {

CanvasInteractionHandler::CanvasInteractionHandler(CanvasWidget* canvas, ViewState* view,
                                                   ProjectSession* session, QObject* parent)
    : QObject(parent), m_canvas(canvas), m_view(view), m_session(session),
      m_interaction(new CanvasInteraction(session, this, this))
{
    m_interaction->setAppMode(view->appMode());
    connect(view, &ViewState::appModeChanged, m_interaction, &CanvasInteraction::setAppMode);
    connect(m_interaction, &CanvasInteraction::gestureChanged, this,
            &CanvasInteractionHandler::publishGesture);
    connect(session, &ProjectSession::searchTextChanged, this,
            &CanvasInteractionHandler::publishSearchMatches);
    connect(session->document(), &ProjectDocument::changed, this,
            &CanvasInteractionHandler::publishSearchMatches);
    canvas->setInputHandler(this);
    publishGesture();
    publishSearchMatches();
}

CanvasInteractionHandler::~CanvasInteractionHandler()
{
    // The widget may outlive this handler; it must not call into a destroyed one.
    if (m_canvas)
        m_canvas->setInputHandler(nullptr);
}

bool CanvasInteractionHandler::mousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    m_interaction->press(event->position());
    return true;
}

bool CanvasInteractionHandler::mouseMove(QMouseEvent* event)
{
    if (event->buttons().testFlag(Qt::LeftButton)) {
        m_interaction->move(event->position());
        return true;
    }
    // The button is up: if its release went elsewhere, the gesture ends here.
    m_interaction->endLostPress();
    m_interaction->hover(event->position());
    return true;
}

bool CanvasInteractionHandler::mouseRelease(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    m_interaction->release(event->position(), event->modifiers());
    return true;
}

bool CanvasInteractionHandler::mouseDoubleClick(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    m_interaction->doublePress(event->position());
    return true;
}

bool CanvasInteractionHandler::hoverLeave()
{
    m_interaction->hoverEnded();
    return true;
}

bool CanvasInteractionHandler::focusLost()
{
    m_interaction->endLostPress();
    return true;
}

bool CanvasInteractionHandler::contextMenu(QContextMenuEvent* event)
{
    // The menu takes the pointer: a drag under way gets no release, so it ends now.
    m_interaction->endLostPress();
    const std::unique_ptr<QMenu> menu(
        buildCanvasContextMenu(*m_interaction, m_openCustomType, m_canvas));
    if (!menu->isEmpty())
        menu->exec(event->globalPos());
    return true;
}

bool CanvasInteractionHandler::keyPress(QKeyEvent* event)
{
    return m_interaction->keyPress(event->key(), event->modifiers());
}

ViewTransform CanvasInteractionHandler::transform() const
{
    return m_view->transform();
}

void CanvasInteractionHandler::dragPan(QSizeF translation)
{
    m_view->dragPan(translation);
}

void CanvasInteractionHandler::endDragPan()
{
    m_view->endDragPan();
}

QSize CanvasInteractionHandler::mapImageSize() const
{
    const ProjectData& project = m_session->project();
    if (!project.hasMapImage())
        return {};
    return encodedImageSize(*project.map->imageData);
}

void CanvasInteractionHandler::zoomIn()
{
    m_view->zoomIn();
}

void CanvasInteractionHandler::zoomOut()
{
    m_view->zoomOut();
}

void CanvasInteractionHandler::zoomToNodes(const QSet<qint64>& nodeIds)
{
    QList<NodeData> nodes;
    for (const NodeData& node : m_session->project().nodes) {
        if (nodeIds.contains(node.id))
            nodes.append(node);
    }
    m_view->zoomToSearchResults(nodes);
}

void CanvasInteractionHandler::publishGesture()
{
    m_canvas->gestureState() = m_interaction->gesture();
    m_canvas->gestureChanged();
}

void CanvasInteractionHandler::publishSearchMatches()
{
    m_canvas->setSearchMatches(searchResults(*m_session));
}

} // namespace velmora
