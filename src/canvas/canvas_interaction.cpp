// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas/canvas_interaction.h"

#include "canvas/view_state.h"
#include "model/node_operations.h"
#include "model/project_session.h"
#include "model/search.h"

#include <QDesktopServices>
#include <QLineF>

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

bool usableZoom(double zoom)
{
    return std::isfinite(zoom) && zoom > 0.0;
}

std::optional<Cable> cableAt(const ProjectData& project, qsizetype index)
{
    if (index < 0 || index >= project.cables.size())
        return std::nullopt;
    return toCable(project.cables[index]);
}

bool cableNodesExist(const Cable& cable, const ProjectData& project)
{
    return std::all_of(cable.points.cbegin(), cable.points.cend(), [&](const CablePoint& point) {
        return !point.nodeId ||
               std::any_of(project.nodes.cbegin(), project.nodes.cend(),
                           [&](const NodeData& node) { return node.id == *point.nodeId; });
    });
}

} // namespace

CanvasInteraction::CanvasInteraction(ProjectSession* session, ViewState* view, QObject* parent)
    : QObject(parent), m_session(session), m_view(view),
      m_urlOpener([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    // A cable under construction does not outlive a node it is attached to (deleted, or its
    // addition undone): finishing it would store a cable on a missing node, or on a later node
    // that is given the same id again.
    connect(session->document(), &ProjectDocument::changed, this, [this] {
        if (m_gesture.currentCable &&
            !cableNodesExist(*m_gesture.currentCable, m_session->project()))
            cancelCableDrawing();
    });
}

CableGeometry CanvasInteraction::cableGeometry() const
{
    return CableGeometry(m_session->project(), transform(), m_gesture,
                         SelectionSets{m_session->selectedNodes(), m_session->selectedCableIds()});
}

AppMode CanvasInteraction::appMode() const
{
    return m_view->appMode();
}

ViewTransform CanvasInteraction::transform() const
{
    return m_view->transform();
}

// ---------------------------------------------------------------------------------------------
// Search bar

void CanvasInteraction::setShowSearchBar(bool shown)
{
    if (shown == m_showSearchBar)
        return;
    m_showSearchBar = shown;
    emit searchBarShownChanged(shown);
}

void CanvasInteraction::closeSearch()
{
    setShowSearchBar(false);
    m_session->setSearchText(QString());
}

void CanvasInteraction::selectSearchResults()
{
    velmora::selectSearchResults(*m_session);
}

void CanvasInteraction::zoomToSearchResults()
{
    const QSet<qint64> matches = searchResults(*m_session);
    QList<NodeData> nodes;
    for (const NodeData& node : m_session->project().nodes) {
        if (matches.contains(node.id))
            nodes.append(node);
    }
    m_view->zoomToSearchResults(nodes); // frames and selects them; nothing without a match
}

// ---------------------------------------------------------------------------------------------
// Raw pointer input: a press becomes a drag once the pointer has moved 5 units from it; a
// release without a drag is a click. The second press of a double click reports the double
// click and its release is no further click.

void CanvasInteraction::press(QPointF p)
{
    endLostPress();
    m_pressPosition = p;
    m_lastPointer = p;
    m_pressIsDrag = false;
    m_pressIsDoubleClick = false;
}

void CanvasInteraction::move(QPointF p)
{
    if (!m_pressPosition) {
        // A move without a press of ours (the press went elsewhere) is only a hover.
        hover(p);
        return;
    }
    m_lastPointer = p;
    const QPointF delta = p - *m_pressPosition;
    if (!m_pressIsDrag) {
        if (std::hypot(delta.x(), delta.y()) < dragThreshold)
            return;
        m_pressIsDrag = true;
    }
    dragChanged(*m_pressPosition, QSizeF(delta.x(), delta.y()));
}

void CanvasInteraction::release(QPointF p, Qt::KeyboardModifiers modifiers)
{
    if (!m_pressPosition)
        return;
    const QPointF start = *m_pressPosition;
    const bool wasDrag = m_pressIsDrag;
    const bool wasDoubleClick = m_pressIsDoubleClick;
    m_pressPosition.reset();
    m_pressIsDrag = false;
    m_pressIsDoubleClick = false;
    if (wasDrag) {
        const QPointF delta = p - start;
        dragEnded(QSizeF(delta.x(), delta.y()));
    } else if (!wasDoubleClick) {
        click(p, modifiers);
    }
}

void CanvasInteraction::endLostPress()
{
    const QPointF start = m_pressPosition.value_or(m_lastPointer);
    m_pressPosition.reset();
    m_pressIsDrag = false;
    m_pressIsDoubleClick = false;
    if (m_gesture.isDragging) {
        const QPointF delta = m_lastPointer - start;
        dragEnded(QSizeF(delta.x(), delta.y()));
    }
}

void CanvasInteraction::doublePress(QPointF p)
{
    press(p);
    // While a cable is drawn every click places a point: a quick second click on the same node
    // finishes the cable there instead of opening the node's address.
    if (m_gesture.isDrawingCable)
        return;
    m_pressIsDoubleClick = true;
    doubleClick(p);
}

void CanvasInteraction::hover(QPointF p)
{
    if (!m_gesture.isDrawingCable)
        return;
    m_gesture.cablePreviewPoint = p;
    emit gestureChanged();
}

void CanvasInteraction::hoverEnded()
{
    if (!m_gesture.cablePreviewPoint)
        return;
    m_gesture.cablePreviewPoint.reset();
    emit gestureChanged();
}

// ---------------------------------------------------------------------------------------------
// Click and double click

void CanvasInteraction::click(QPointF p, Qt::KeyboardModifiers modifiers)
{
    if (m_gesture.isDrawingCable) {
        addCablePoint(p);
        return;
    }
    emit canvasClicked();

    const ProjectData& project = m_session->project();
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    QSet<qint64> nodes = m_session->selectedNodes();
    QSet<qint64> cables = m_session->selectedCableIds();
    const auto toggled = [](QSet<qint64> set, qint64 id) {
        if (!set.remove(id))
            set.insert(id);
        return set;
    };

    const std::optional<qsizetype> hit = nodeAt(p, project, transform());
    if (!isEdit()) {
        // Live mode: nodes only; cables cannot be selected.
        if (hit) {
            const qint64 id = project.nodes[*hit].id;
            if (shift)
                nodes.insert(id);
            else if (ctrl)
                nodes = toggled(nodes, id);
            else
                nodes = {id};
        } else {
            nodes.clear();
        }
        m_session->setSelection(nodes, {}, std::nullopt);
        return;
    }

    if (hit) {
        const qint64 id = project.nodes[*hit].id;
        if (shift) {
            nodes.insert(id);
        } else if (ctrl) {
            nodes = toggled(nodes, id);
        } else if (!nodes.contains(id)) {
            nodes = {id};
            cables.clear();
        }
        m_session->setSelection(nodes, cables, std::nullopt);
        return;
    }

    const std::optional<qsizetype> cableIndex = cableGeometry().segmentAt(p);
    if (!cableIndex) {
        m_session->clearSelection();
        return;
    }
    const Cable cable = toCable(project.cables[*cableIndex]);
    if (shift) {
        cables.insert(cable.id);
    } else if (ctrl) {
        cables = toggled(cables, cable.id);
    } else if (!cables.contains(cable.id)) {
        nodes.clear();
        cables = {cable.id};
    }
    m_session->setSelection(nodes, cables, cable);
}

void CanvasInteraction::doubleClick(QPointF p)
{
    const ProjectData& project = m_session->project();
    if (const std::optional<qsizetype> hit = nodeAt(p, project, transform()))
        openInBrowser(project.nodes[*hit].id);
}

void CanvasInteraction::openInBrowser(qint64 nodeId)
{
    const NodeData* node = findNode(m_session->project(), nodeId);
    if (!node)
        return;
    // The address is used unchanged; text that does not form a URL with a host opens nothing.
    const QUrl url(QStringLiteral("http://") + node->ip, QUrl::StrictMode);
    if (url.isValid() && !url.host().isEmpty() && m_urlOpener)
        m_urlOpener(url);
}

// ---------------------------------------------------------------------------------------------
// Drags: exactly one of node resize, map resize, point drag, node drag or pan, chosen at the
// first call and kept until the release.

void CanvasInteraction::dragChanged(QPointF start, QSizeF translation)
{
    if (!m_gesture.isDragging) {
        m_gesture.isDragging = true;
        // Resizes, cable drawing and point drags only begin on the first call.
        if (startDrag(start)) {
            emit gestureChanged();
            return;
        }
    }
    continueDrag(translation);
    emit gestureChanged();
}

bool CanvasInteraction::startDrag(QPointF s)
{
    const ProjectData& project = m_session->project();
    const ViewTransform t = transform();

    if (const auto handle = nodeHandleAt(s, project, t, appMode())) {
        // One snapshot per resize, holding the project as it was before the first change.
        m_session->pushUndoSnapshot();
        const NodeData& node = m_session->project().nodes[*handle];
        m_gesture.isResizingNode = true;
        m_gesture.resizingNodeId = node.id;
        m_gesture.nodeResizeStart = effectiveNodeScale(node.scale);
        return true;
    }
    if (isEdit() && project.hasMapImage() &&
        mapHandleHit(s, project, QSizeF(m_view->mapImageSize()), t)) {
        m_session->pushUndoSnapshot();
        m_gesture.isResizingMap = true;
        m_gesture.mapResizeStart = effectiveMapScale(m_session->project().map->scale);
        return true;
    }
    if (m_gesture.isDrawingCable) {
        addCablePoint(s);
        return true;
    }
    if (isEdit()) {
        if (const auto ref = cableGeometry().pointAt(s)) {
            const QString& type = project.cables[ref->cableIndex].points[ref->pointIndex].type;
            if (type == cablePointTypeFree || type == cablePointTypeNode) {
                beginPointDrag(*ref);
                return true;
            }
        }
    }

    m_gesture.draggedNode.reset();
    if (!isEdit())
        return false; // live mode: every other drag pans
    if (const auto hit = nodeAt(s, project, t)) {
        const Node node = toNode(project.nodes[*hit]);
        if (!m_session->selectedNodes().contains(node.id))
            m_session->setSelection({node.id}, {}, std::nullopt);
        m_gesture.draggedNode = node;
    }
    return false;
}

void CanvasInteraction::continueDrag(QSizeF translation)
{
    const double f = resizeFactor(QPointF(translation.width(), translation.height()));
    if (m_gesture.isResizingMap) {
        setMapScale(*m_session,
                    std::clamp(f * m_gesture.mapResizeStart, minMapResizeScale, maxMapResizeScale));
        return;
    }
    if (m_gesture.isResizingNode) {
        if (m_gesture.resizingNodeId)
            setNodeScale(
                *m_session, *m_gesture.resizingNodeId,
                std::clamp(f * m_gesture.nodeResizeStart, minNodeResizeScale, maxNodeResizeScale));
        return;
    }
    if (m_gesture.isPointDragActive()) {
        m_gesture.draggingPointOffset = translation;
        return;
    }
    if (!m_gesture.draggedNode) {
        if (!m_gesture.isDrawingCable)
            m_view->dragPan(translation);
        return;
    }
    m_gesture.nodeDragOffset = translation;
}

void CanvasInteraction::dragEnded(QSizeF translation)
{
    Q_UNUSED(translation)
    if (!m_gesture.isDragging)
        return;
    if (m_gesture.isResizingNode) {
        m_gesture.isResizingNode = false;
        m_gesture.resizingNodeId.reset();
    } else if (m_gesture.isResizingMap) {
        m_gesture.isResizingMap = false;
    } else if (m_gesture.isPointDragActive()) {
        commitPointDrag();
    } else if (!m_gesture.draggedNode) {
        if (!m_gesture.isDrawingCable)
            m_view->endDragPan();
    } else {
        const double zoom = transform().zoom;
        const QSizeF offset = m_gesture.nodeDragOffset;
        // Clear the preview first so that nothing is drawn shifted twice after the move.
        m_gesture.draggedNode.reset();
        m_gesture.nodeDragOffset = QSizeF();
        if (usableZoom(zoom))
            moveSelection(*m_session, QPointF(offset.width() / zoom, offset.height() / zoom));
        else
            m_session->pushUndoSnapshot();
    }
    m_gesture.draggedNode.reset();
    m_gesture.nodeDragOffset = QSizeF();
    m_gesture.isDragging = false;
    emit gestureChanged();
}

// ---------------------------------------------------------------------------------------------
// Commands

void CanvasInteraction::escape()
{
    if (m_showSearchBar)
        closeSearch();
    else if (m_gesture.isDrawingCable)
        cancelCableDrawing();
    else
        m_session->clearSelection();
}

// ---------------------------------------------------------------------------------------------
// Cable drawing

void CanvasInteraction::toggleCableDrawing()
{
    if (m_gesture.isDrawingCable) {
        cancelCableDrawing();
        return;
    }
    if (!m_session->hasRoomForIds(0, 1))
        return;
    m_gesture.isDrawingCable = true;
    m_gesture.currentCable = Cable{m_session->project().nextCableId, {}};
    m_session->setSelection({}, m_session->selectedCableIds(), std::nullopt);
    emit gestureChanged();
}

void CanvasInteraction::cancelCableDrawing()
{
    m_gesture.isDrawingCable = false;
    m_gesture.currentCable.reset();
    m_gesture.cablePreviewPoint.reset();
    emit gestureChanged();
}

void CanvasInteraction::addCablePoint(QPointF p)
{
    if (!m_gesture.isDrawingCable || !m_gesture.currentCable)
        return;
    const ProjectData& project = m_session->project();
    const ViewTransform t = transform();
    Cable& cable = *m_gesture.currentCable;
    const QPointF q = t.toCanvas(p);
    const std::optional<qsizetype> hit = nodeAt(p, project, t);

    if (!hit) {
        // A cable always starts on a node; later clicks on empty canvas add bends.
        if (cable.points.isEmpty() || !std::isfinite(q.x()) || !std::isfinite(q.y()))
            return;
        cable.points.append(CablePoint{.type = cablePointTypeFree, .x = q.x(), .y = q.y()});
        emit gestureChanged();
        return;
    }

    const NodeData& node = project.nodes[*hit];
    // The first point faces the click, every later node point faces the previous point. The
    // centre is taken from the base box size, without the node's scale.
    const QPointF r = cable.points.isEmpty() ? q : anchorPosition(cable.points.last(), project);
    const QPointF centre(node.x + nodeWidth / 2.0, node.y + nodeHeight / 2.0);
    double angle = std::atan2(r.y() - centre.y(), r.x() - centre.x());
    if (!std::isfinite(angle))
        angle = 0.0;
    cable.points.append(
        CablePoint{.type = cablePointTypeNode, .nodeId = node.id, .anchorAngle = angle});

    if (cable.points.size() > 1 && cable.points.first().type == cablePointTypeNode) {
        if (!m_session->hasRoomForIds(0, 1)) { // the counter grew meanwhile (redo, paste)
            cancelCableDrawing();
            return;
        }
        CableData data = toCableData(cable);
        m_session->pushUndoSnapshot();
        m_session->document()->modify([&](ProjectData& target) {
            // The id was taken when drawing began; if the project has meanwhile given it to
            // another cable (paste, undo), take a fresh one so that ids stay unique.
            const bool taken = std::any_of(target.cables.cbegin(), target.cables.cend(),
                                           [&](const CableData& c) { return c.id == data.id; });
            if (taken)
                data.id = target.nextCableId;
            target.nextCableId = std::max(target.nextCableId + 1, data.id + 1);
            target.cables.append(data);
        });
        m_gesture.currentCable.reset();
        m_gesture.cablePreviewPoint.reset();
        m_gesture.isDrawingCable = false;
    }
    emit gestureChanged();
}

// ---------------------------------------------------------------------------------------------
// Cable point drags

void CanvasInteraction::beginPointDrag(CablePointRef ref)
{
    const std::optional<Cable> cable = cableAt(m_session->project(), ref.cableIndex);
    if (!cable)
        return;
    m_gesture.draggingCableIndex = ref.cableIndex;
    m_gesture.draggingPointIndex = ref.pointIndex;
    m_gesture.draggingPointOffset = QSizeF();
    m_gesture.draggedNode.reset();
    m_session->setSelection({}, {cable->id}, cable);
    emit gestureChanged();
}

void CanvasInteraction::commitPointDrag()
{
    const ViewTransform t = transform();
    const QSizeF offset = m_gesture.draggingPointOffset;
    const qsizetype ci = m_gesture.draggingCableIndex.value_or(-1);
    const qsizetype pi = m_gesture.draggingPointIndex.value_or(-1);
    m_gesture.draggingCableIndex.reset();
    m_gesture.draggingPointIndex.reset();
    m_gesture.draggingPointOffset = QSizeF();

    m_session->pushUndoSnapshot();
    const ProjectData& project = m_session->project();
    if (ci < 0 || ci >= project.cables.size() || pi < 0 || pi >= project.cables[ci].points.size() ||
        !usableZoom(t.zoom))
        return;
    CablePointData point = project.cables[ci].points[pi];
    const NodeData* node = point.type != cablePointTypeFree && point.nodeId
                               ? findNode(project, *point.nodeId)
                               : nullptr;
    if (node) {
        // The point stays on its node and slides along the outline towards the drop position.
        const QPointF dropped =
            t.toScreen(anchorPosition(point, project)) + QPointF(offset.width(), offset.height());
        const QPointF centre = t.toScreen(nodeCentre(*node));
        const double angle = std::atan2(dropped.y() - centre.y(), dropped.x() - centre.x());
        point.anchorAngle = std::isfinite(angle) ? angle : 0.0;
    } else {
        point.x += offset.width() / t.zoom;
        point.y += offset.height() / t.zoom;
    }
    m_session->document()->modify(
        [&](ProjectData& target) { target.cables[ci].points[pi] = point; });
}

} // namespace velmora
