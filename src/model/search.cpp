// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/search.h"

#include "model/project_session.h"

namespace velmora {

QSet<qint64> searchResults(const ProjectData& project, const QString& query)
{
    QSet<qint64> result;
    if (query.isEmpty())
        return result;
    const QString q = query.toLower();
    for (const NodeData& node : project.nodes) {
        if (node.name.toLower().contains(q) || node.ip.toLower().contains(q) ||
            node.type.toLower().contains(q))
            result.insert(node.id);
    }
    return result;
}

QSet<qint64> searchResults(const ProjectSession& session)
{
    return searchResults(session.project(), session.searchText());
}

void selectSearchResults(ProjectSession& session)
{
    QSet<qint64> matches = searchResults(session);
    if (matches.isEmpty())
        return;
    session.setSelection(std::move(matches), {}, std::nullopt);
}

} // namespace velmora
