// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding nodes by a piece of text in their name, address or type. Recomputed from the current
// text and nodes whenever it is asked for; nothing is cached.

#include "model/project_data.h"

#include <QSet>
#include <QString>

namespace velmora {

class ProjectSession;

// Ids of the nodes whose name, else address, else type contains `query` after lower-casing
// both. An empty query matches nothing; the query is not trimmed, so a blank is a real query.
QSet<qint64> searchResults(const ProjectData& project, const QString& query);
// The same for the session's project and search text.
QSet<qint64> searchResults(const ProjectSession& session);

// Selects exactly the matching nodes and clears the cable selection and the focused cable.
// With no match nothing changes.
void selectSearchResults(ProjectSession& session);

} // namespace velmora
