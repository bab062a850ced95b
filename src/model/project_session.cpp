// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/project_session.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

bool cableTouchesNode(const CableData& cable, qint64 nodeId)
{
    return std::any_of(cable.points.cbegin(), cable.points.cend(),
                       [nodeId](const CablePointData& p) { return p.nodeId == nodeId; });
}

// Removes the node and every cable with a point naming it. A cable is removed whole even when
// it also runs to other nodes: cables are never shortened or detached.
void removeNodeAndItsCables(ProjectData& project, qint64 nodeId)
{
    project.cables.removeIf([nodeId](const CableData& c) { return cableTouchesNode(c, nodeId); });
    project.nodes.removeIf([nodeId](const NodeData& n) { return n.id == nodeId; });
}

qsizetype indexOfNode(const ProjectData& project, qint64 nodeId)
{
    for (qsizetype i = 0; i < project.nodes.size(); ++i) {
        if (project.nodes.at(i).id == nodeId)
            return i;
    }
    return -1;
}

// The copy of a node made by paste and duplicate; takes its identifier from the counter.
NodeData copyOfNode(ProjectData& project, const NodeData& source)
{
    NodeData copy = source;
    copy.id = ProjectSession::allocateNodeId(project);
    copy.name = nextCopyName(source.name);
    copy.ip = nextAddress(source.ip);
    copy.x = source.x + ProjectSession::pasteOffset;
    copy.y = source.y + ProjectSession::pasteOffset;
    return copy;
}

} // namespace

ProjectSession::ProjectSession(ProjectDocument* document, QObject* parent)
    : QObject(parent), m_document(document)
{
    Q_ASSERT(document);
}

// ---------------------------------------------------------------------------------------------
// Selection

void ProjectSession::setSelectedNodes(QSet<qint64> ids)
{
    setSelection(std::move(ids), m_selectedCableIds, m_selectedCable);
}

void ProjectSession::setSelectedCable(std::optional<Cable> cable)
{
    setSelection(m_selectedNodes, m_selectedCableIds, std::move(cable));
}

void ProjectSession::setSelection(QSet<qint64> nodes, QSet<qint64> cableIds,
                                  std::optional<Cable> cable)
{
    if (nodes == m_selectedNodes && cableIds == m_selectedCableIds && cable == m_selectedCable)
        return;
    m_selectedNodes = std::move(nodes);
    m_selectedCableIds = std::move(cableIds);
    m_selectedCable = std::move(cable);
    emit selectionChanged();
}

void ProjectSession::clearSelection()
{
    setSelection({}, {}, std::nullopt);
}

void ProjectSession::selectAll()
{
    QSet<qint64> all;
    for (const NodeData& node : project().nodes)
        all.insert(node.id);
    setSelectedNodes(std::move(all));
}

// ---------------------------------------------------------------------------------------------
// Undo history

void ProjectSession::pushUndoSnapshot()
{
    // A copy of ProjectData shares its lists and the image bytes with the live project; only
    // what a later edit changes gets detached.
    m_undoStack.append(project());
    m_redoStack.clear();
    while (m_undoStack.size() > maxUndoEntries)
        m_undoStack.removeFirst();
    emit undoStateChanged();
}

void ProjectSession::undo()
{
    if (m_undoStack.isEmpty())
        return;
    ProjectData restored = m_undoStack.takeLast();
    m_redoStack.append(project());
    m_document->setProjectData(std::move(restored));
    ensureTypeColors();
    emit undoStateChanged();
}

void ProjectSession::redo()
{
    if (m_redoStack.isEmpty())
        return;
    ProjectData restored = m_redoStack.takeLast();
    // No trimming: every redo entry came off the undo stack, so it cannot grow past the limit.
    m_undoStack.append(project());
    m_document->setProjectData(std::move(restored));
    ensureTypeColors();
    emit undoStateChanged();
}

qint64 ProjectSession::allocateNodeId(ProjectData& project)
{
    Q_ASSERT(roomForIds(project, 1, 0));
    return project.nextNodeId++;
}

qint64 ProjectSession::allocateCableId(ProjectData& project)
{
    Q_ASSERT(roomForIds(project, 0, 1));
    return project.nextCableId++;
}

Expected<void> ProjectSession::roomForIds(const ProjectData& project, qsizetype nodes,
                                          qsizetype cables)
{
    // Every identifier handed out stays below the counter, so `count` more fit while the counter
    // can still grow by `count`: it must not pass the largest 64-bit value.
    constexpr qint64 largest = std::numeric_limits<qint64>::max();
    const auto fits = [](qsizetype count, qint64 counter) {
        return count <= 0 || counter <= largest - count;
    };
    if (fits(nodes, project.nextNodeId) && fits(cables, project.nextCableId))
        return {};
    const bool forNodes = !fits(nodes, project.nextNodeId);
    const qsizetype count = forNodes ? nodes : cables;
    const qint64 counter = forNodes ? project.nextNodeId : project.nextCableId;
    const qint64 left = largest - counter;
    const QString wanted = forNodes ? (count == 1 ? tr("1 node") : tr("%1 nodes").arg(count))
                                    : (count == 1 ? tr("1 cable") : tr("%1 cables").arg(count));
    QString rest;
    if (left == 0)
        rest = forNodes ? tr("no node identifiers left") : tr("no cable identifiers left");
    else if (left == 1)
        rest = forNodes ? tr("only 1 node identifier left") : tr("only 1 cable identifier left");
    else
        rest =
            (forNodes ? tr("only %1 node identifiers left") : tr("only %1 cable identifiers left"))
                .arg(left);
    return Error{tr("Cannot create %1: the project has %2 (%3 is %4). Nothing was changed.")
                     .arg(wanted, rest, forNodes ? u"nextNodeId"_s : u"nextCableId"_s,
                          QString::number(counter))};
}

bool ProjectSession::hasRoomForIds(qsizetype nodes, qsizetype cables)
{
    const Expected<void> room = roomForIds(project(), nodes, cables);
    if (!room)
        refuseEdit(room.error().message);
    return room.hasValue();
}

// ---------------------------------------------------------------------------------------------
// Deletion and reset

void ProjectSession::deleteSelection()
{
    if (m_selectedNodes.isEmpty() && m_selectedCableIds.isEmpty())
        return;
    pushUndoSnapshot();
    const QSet<qint64> cableIds = m_selectedCableIds;
    const QSet<qint64> nodeIds = m_selectedNodes;
    m_document->modify([&](ProjectData& p) {
        p.cables.removeIf([&](const CableData& c) { return cableIds.contains(c.id); });
        for (const qint64 id : nodeIds)
            removeNodeAndItsCables(p, id);
    });
    clearSelection();
}

void ProjectSession::deleteNode(qint64 nodeId)
{
    // A row that no longer exists deletes nothing, so it records no empty undo step either.
    if (indexOfNode(project(), nodeId) < 0)
        return;
    pushUndoSnapshot();
    if (m_selectedNodes.contains(nodeId)) {
        QSet<qint64> nodes = m_selectedNodes;
        nodes.remove(nodeId);
        setSelectedNodes(std::move(nodes));
    }
    m_document->modify([nodeId](ProjectData& p) { removeNodeAndItsCables(p, nodeId); });
}

void ProjectSession::deleteFocusedCable()
{
    if (!m_selectedCable)
        return;
    pushUndoSnapshot();
    const qint64 cableId = m_selectedCable->id;
    m_document->modify([cableId](ProjectData& p) {
        p.cables.removeIf([cableId](const CableData& c) { return c.id == cableId; });
    });
    setSelectedCable(std::nullopt);
}

void ProjectSession::deleteCommand()
{
    if (m_selectedCable)
        deleteFocusedCable();
    else
        deleteSelection();
}

void ProjectSession::resetEverything()
{
    pushUndoSnapshot();
    // Kept: the project's name, schema version, view settings (opacity and saturation stay;
    // zoom and pan are stored by the view when it answers viewResetRequested) and type colours.
    m_document->modify([](ProjectData& p) {
        p.nodes.clear();
        p.cables.clear();
        p.map.reset();
        p.nextNodeId = 1;
        p.nextCableId = 1;
    });
    emit viewResetRequested();
    clearSelection();
    clearTypeColorMap();
}

// ---------------------------------------------------------------------------------------------
// Clipboard and duplication

void ProjectSession::copySelection()
{
    QList<NodeData> nodes;
    for (const NodeData& node : project().nodes) {
        if (m_selectedNodes.contains(node.id))
            nodes.append(node);
    }
    // A cable is copied only when it is itself selected, never because its nodes are.
    QList<CableData> cables;
    for (const CableData& cable : project().cables) {
        if (m_selectedCableIds.contains(cable.id))
            cables.append(cable);
    }
    m_clipboard = std::move(nodes);
    m_clipboardCables = std::move(cables);
    emit clipboardChanged();
}

void ProjectSession::pasteClipboard()
{
    if (m_clipboard.isEmpty() || !hasRoomForIds(m_clipboard.size(), m_clipboardCables.size()))
        return;
    pushUndoSnapshot();

    QList<NodeData> newNodes;
    QList<CableData> newCables;
    m_document->modify([&](ProjectData& p) {
        QHash<qint64, qint64> newIdOf;
        for (const NodeData& source : m_clipboard) {
            const NodeData copy = copyOfNode(p, source);
            p.nodes.append(copy);
            newNodes.append(copy);
            newIdOf.insert(source.id, copy.id);
        }
        for (const CableData& source : m_clipboardCables) {
            CableData cable;
            cable.points.reserve(source.points.size());
            for (const CablePointData& sourcePoint : source.points) {
                CablePointData point = sourcePoint;
                if (point.type == cablePointTypeNode && point.nodeId &&
                    newIdOf.contains(*point.nodeId)) {
                    point.nodeId = newIdOf.value(*point.nodeId);
                } else if (point.type == cablePointTypeFree) {
                    point.x += pasteOffset;
                    point.y += pasteOffset;
                }
                // Anything else (attached to a node that was not copied, an unknown type)
                // stays as it was, still naming the node it named before.
                cable.points.append(point);
            }
            cable.id = allocateCableId(p);
            p.cables.append(cable);
            newCables.append(cable);
        }
    });

    // The next paste copies these copies: 30 units further, names and addresses advanced again.
    m_clipboard = newNodes;
    m_clipboardCables = newCables;
    emit clipboardChanged();

    QSet<qint64> nodeIds;
    for (const NodeData& node : newNodes)
        nodeIds.insert(node.id);
    QSet<qint64> cableIds;
    for (const CableData& cable : newCables)
        cableIds.insert(cable.id);
    setSelection(std::move(nodeIds), std::move(cableIds), std::nullopt);
}

void ProjectSession::duplicateNode(qint64 nodeId)
{
    const qsizetype index = indexOfNode(project(), nodeId);
    if (index < 0 || !hasRoomForIds(1, 0))
        return;
    pushUndoSnapshot();
    qint64 copyId = 0;
    m_document->modify([&](ProjectData& p) {
        const NodeData copy = copyOfNode(p, p.nodes.at(index));
        copyId = copy.id;
        p.nodes.insert(index + 1, copy);
    });
    // Duplicating never copies cables and leaves the cable selection and clipboard alone.
    setSelectedNodes({copyId});
}

void ProjectSession::duplicateSelectedNodes()
{
    // Each duplicate records its own snapshot and replaces the selection, so afterwards only the
    // last copy is selected and undoing the whole command takes one undo per node.
    // The identifiers for every copy are checked first: a command that cannot make all of its
    // copies makes none.
    const QSet<qint64> ids = m_selectedNodes;
    const qsizetype copies = std::count_if(
        ids.cbegin(), ids.cend(), [this](qint64 id) { return indexOfNode(project(), id) >= 0; });
    if (!hasRoomForIds(copies, 0))
        return;
    for (const qint64 id : ids)
        duplicateNode(id);
}

// ---------------------------------------------------------------------------------------------
// Type colours and layers

namespace {

// The colour for a new type: the first palette colour no type has; once all are taken, the
// first of those taken least often, so the palette cycles. Colours already given never change.
Rgb unusedPaletteColor(const QMap<QString, Rgb>& colors)
{
    std::array<qsizetype, colorPalette.size()> uses{};
    for (const Rgb& color : colors) {
        const auto* it = std::find(colorPalette.cbegin(), colorPalette.cend(), color);
        if (it != colorPalette.cend())
            ++uses[std::size_t(it - colorPalette.cbegin())];
    }
    return colorPalette[std::size_t(std::min_element(uses.cbegin(), uses.cend()) - uses.cbegin())];
}

} // namespace

void ProjectSession::ensureTypeColors()
{
    bool changed = false;
    for (const NodeData& node : project().nodes) {
        if (m_typeColorMap.contains(node.type))
            continue;
        m_typeColorMap.insert(node.type, unusedPaletteColor(m_typeColorMap));
        changed = true;
    }
    QSet<QString> visible;
    for (auto it = m_typeColorMap.cbegin(); it != m_typeColorMap.cend(); ++it)
        visible.insert(it.key());
    if (visible != m_visibleTypes) {
        m_visibleTypes = std::move(visible);
        changed = true;
    }
    if (changed)
        emit typesChanged();
}

void ProjectSession::loadTypeColors()
{
    bool changed = false;
    for (const TypeColorData& record : project().typeColors) {
        const Rgb color{record.red, record.green, record.blue};
        const auto it = m_typeColorMap.constFind(record.type);
        if (it != m_typeColorMap.cend() && it.value() == color)
            continue;
        m_typeColorMap.insert(record.type, color);
        changed = true;
    }
    if (changed)
        emit typesChanged();
}

void ProjectSession::saveTypeColors()
{
    QList<TypeColorData> records;
    records.reserve(m_typeColorMap.size());
    for (auto it = m_typeColorMap.cbegin(); it != m_typeColorMap.cend(); ++it)
        records.append(TypeColorData{it.key(), it->red, it->green, it->blue});
    if (records == project().typeColors)
        return;
    m_document->modify([&records](ProjectData& p) { p.typeColors = std::move(records); });
}

void ProjectSession::clearTypeColorMap()
{
    if (m_typeColorMap.isEmpty())
        return;
    m_typeColorMap.clear();
    emit typesChanged();
}

void ProjectSession::setTypeColor(const QString& type, Rgb color)
{
    const auto it = m_typeColorMap.constFind(type);
    if (it == m_typeColorMap.cend() || it.value() != color) {
        m_typeColorMap.insert(type, color);
        emit typesChanged();
    }
    saveTypeColors();
}

void ProjectSession::applyTypeToSelection(const QString& type)
{
    if (m_selectedNodes.isEmpty())
        return;
    pushUndoSnapshot();
    const QSet<qint64> selected = m_selectedNodes;
    m_document->modify([&](ProjectData& p) {
        for (NodeData& node : p.nodes) {
            if (selected.contains(node.id))
                node.type = type;
        }
    });
    if (!m_typeColorMap.contains(type)) {
        m_typeColorMap.insert(type, unusedPaletteColor(m_typeColorMap));
        emit typesChanged();
    }
    saveTypeColors();
    ensureTypeColors();
}

void ProjectSession::showAllTypes()
{
    QSet<QString> all;
    for (auto it = m_typeColorMap.cbegin(); it != m_typeColorMap.cend(); ++it)
        all.insert(it.key());
    if (all == m_visibleTypes)
        return;
    m_visibleTypes = std::move(all);
    emit typesChanged();
}

void ProjectSession::hideAllTypes()
{
    if (m_visibleTypes.isEmpty())
        return;
    m_visibleTypes.clear();
    emit typesChanged();
}

void ProjectSession::toggleType(const QString& type)
{
    if (!m_visibleTypes.remove(type))
        m_visibleTypes.insert(type);
    emit typesChanged();
}

void ProjectSession::soloType(const QString& type)
{
    if (m_visibleTypes.size() == 1 && m_visibleTypes.contains(type))
        return;
    m_visibleTypes = {type};
    emit typesChanged();
}

bool ProjectSession::isNodeVisible(qint64 nodeId) const
{
    const qsizetype index = indexOfNode(project(), nodeId);
    return index >= 0 && m_visibleTypes.contains(project().nodes.at(index).type);
}

// ---------------------------------------------------------------------------------------------
// Root and search

void ProjectSession::setRoot(qint64 nodeId)
{
    if (m_rootNodeId == nodeId)
        return;
    m_rootNodeId = nodeId;
    emit rootChanged();
}

void ProjectSession::clearRoot()
{
    if (!m_rootNodeId)
        return;
    m_rootNodeId.reset();
    emit rootChanged();
}

void ProjectSession::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    emit searchTextChanged();
}

// ---------------------------------------------------------------------------------------------
// Names and addresses of copies

QString nextCopyName(const QString& name)
{
    // The whole name: one or more characters other than line breaks (greedy), " (copy", an
    // optional space and decimal digits, ")" at the very end. \z (not $) so that a trailing line
    // break does not count as the end.
    static const QRegularExpression pattern(
        uR"(\A([^\n\r\x{2028}\x{2029}]+) \(copy(?: ([0-9]+))?\)\z)"_s);
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return name + u" (copy)"_s;

    qint64 n = 1;
    if (match.hasCaptured(2)) {
        bool ok = false;
        const qint64 parsed = match.capturedView(2).toLongLong(&ok);
        // Too many digits for a 64-bit integer counts as no number at all.
        if (ok)
            n = parsed;
    }
    // The largest 64-bit number has no successor: such a name is treated like a name without a
    // copy number and gains " (copy)", so the copy is still told apart from its source.
    if (n == std::numeric_limits<qint64>::max())
        return name + u" (copy)"_s;
    return match.captured(1) + u" (copy "_s + QString::number(n + 1) + u')';
}

QString nextAddress(const QString& address)
{
    static const QRegularExpression integer(uR"(\A[+-]?[0-9]+\z)"_s);
    QList<qint64> numbers;
    for (const QStringView piece : QStringView(address).split(u'.', Qt::SkipEmptyParts)) {
        if (!integer.match(piece).hasMatch())
            continue;
        bool ok = false;
        const qint64 value = piece.toLongLong(&ok);
        if (ok)
            numbers.append(value);
    }
    if (numbers.size() != 4)
        return address;
    for (const qint64 value : numbers) {
        if (value < 0 || value > 255)
            return address;
    }
    if (numbers.at(3) > 254)
        return address;
    numbers[3] += 1;
    QStringList parts;
    for (const qint64 value : numbers)
        parts.append(QString::number(value));
    return parts.join(u'.');
}

} // namespace velmora
