// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operations behind the nodes table: the order of its rows, the "+ Add Node" button and the
// commit of an edited cell. Free functions on the session, so they are tested without widgets.

#include "model/project_data.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointF>
#include <QString>

#include <optional>

namespace velmora {

class ProjectSession;

// The three text fields of a node the table shows, sorts by and edits.
enum class NodeField { name, type, ip };

QString fieldValue(const NodeData& node, NodeField field);

// The address order: the address split at every ".", empty pieces dropped, each piece read as a
// decimal integer and pieces that are not integers dropped; lists compare element by element,
// a prefix first. So 10.0.0.9 < 10.0.0.10, 10.0.0 < 10.0.0.1, and a name without digits first.
QList<qint64> addressSortKey(const QString& address);

// The nodes ordered by name or type (lower-cased, then plain string order) or by address;
// stable in both directions, so equal keys keep project order.
QList<NodeData> sortedNodes(const QList<NodeData>& nodes, NodeField sortColumn, bool ascending);

// A cell holds one line: every line break (CR LF counting as one) becomes a space.
QString singleLine(const QString& text);

// The address "+ Add Node" gives the node with identifier `id`: the first one no node holds in
// 192.168.1.101 ... .254, 192.168.2.1 ... 192.168.255.254, searched from 192.168.1.(id + 100)
// (or its place further on) and wrapping round.
QString nextFreeAddress(const QList<NodeData>& nodes, qint64 id);

// "+ Add Node": a node "New Node" of type "Device", with k the next identifier; selects it.
// Without `position` it goes to 192.168.1.(k + 100), placed 50 right and 30 down per existing
// node from (200, 200). With it (the window passes the visible centre) it gets
// nextFreeAddress() and sits at `position`, 30 right and 30 down per node already there.
// Returns its id, or nothing when the identifiers have run out (the session refuses the edit).
std::optional<qint64> addNode(ProjectSession& session,
                              std::optional<QPointF> position = std::nullopt);

// Arrow-key nudges of the selected nodes. Presses that follow each other closely (within
// `burstGapMs`, with no other edit between) are one burst and record one undo snapshot, so one
// undo takes back the whole nudge.
class NudgeBurst final {
public:
    static constexpr qint64 burstGapMs = 1000;
    // Moves every selected node by `delta` canvas units; nothing without a selection.
    void nudge(ProjectSession& session, QPointF delta);

private:
    QElapsedTimer m_last;
    qsizetype m_undoDepth = -1; // the undo stack's size after the last nudge
};

// Sets one field of a node to `value` as typed, after one undo snapshot; a changed type gets its
// colour. Returns false (and records nothing) when the node is gone.
bool commitNodeEdit(ProjectSession& session, qint64 nodeId, NodeField field, const QString& value);

} // namespace velmora
