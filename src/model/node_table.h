// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operations behind the nodes table: the order of its rows, the "+ Add Node" button and the
// commit of an edited cell. Free functions on the session, so they are tested without widgets.

#include "model/project_data.h"

#include <QList>
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

// "+ Add Node": a node "New Node" of type "Device" at 192.168.1.(k + 100), placed 50 right and 30
// down per existing node from (200, 200), with k the next identifier; selects it. Returns its id,
// or nothing when the identifiers have run out (the session refuses the edit).
std::optional<qint64> addNode(ProjectSession& session);

// Sets one field of a node to `value` as typed, after one undo snapshot; a changed type gets its
// colour. Returns false (and records nothing) when the node is gone.
bool commitNodeEdit(ProjectSession& session, qint64 nodeId, NodeField field, const QString& value);

} // namespace velmora
