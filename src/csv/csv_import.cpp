// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv/csv_import.h"

#include "model/project_session.h"

#include <QCoreApplication>
#include <QMetaEnum>
#include <QSet>

#include <cmath>

namespace velmora {

namespace {

constexpr double gridOriginX = 100.0;
constexpr double gridOriginY = 100.0;
constexpr double gridColumnStep = 220.0;
constexpr double gridRowStep = 120.0;
constexpr qsizetype gridColumns = 4;
constexpr double appendGap = 150.0;

// The sheet's texts, shown to the user.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(velmora::CSVImport)
};

QSet<QString> addressesWithout0000(const QList<NodeData>& nodes)
{
    QSet<QString> addresses;
    addresses.reserve(nodes.size());
    for (const NodeData& node : nodes) {
        if (node.ip != csvDefaultAddress)
            addresses.insert(node.ip);
    }
    return addresses;
}

} // namespace

QString csvImportModeLabel(CSVImportMode mode)
{
    return mode == CSVImportMode::replace ? Texts::tr("Replace all nodes")
                                          : Texts::tr("Append to existing");
}

QString csvImportModeDescription(CSVImportMode mode, qsizetype existingNodeCount)
{
    const bool one = existingNodeCount == 1;
    const QString text = mode == CSVImportMode::replace
                             ? (one ? Texts::tr("Removes %1 existing node and all cables")
                                    : Texts::tr("Removes %1 existing nodes and all cables"))
                             : (one ? Texts::tr("Adds to your %1 existing node")
                                    : Texts::tr("Adds to your %1 existing nodes"));
    return text.arg(existingNodeCount);
}

std::optional<CSVImportMode> csvImportModeFromName(const QString& name)
{
    const QMetaEnum modes = QMetaEnum::fromType<CSVImportMode>();
    bool known = false;
    const int value = modes.keyToValue(name.toLatin1().constData(), &known);
    // keyToValue also takes scoped spellings ("Mode::append"); only the bare name counts.
    if (!known || QLatin1StringView(modes.valueToKey(value)) != name)
        return std::nullopt;
    return CSVImportMode(value);
}

bool hasDuplicates(const CSVPreviewData& preview, CSVImportMode mode, const ProjectData& project)
{
    if (!preview.duplicateIPs.isEmpty() || !preview.duplicateNames.isEmpty())
        return true;
    if (mode != CSVImportMode::append)
        return false;
    const QSet<QString> existing = addressesWithout0000(project.nodes);
    for (const CSVCandidate& candidate : preview.sampleNodes) {
        if (candidate.ip != csvDefaultAddress && existing.contains(candidate.ip))
            return true;
    }
    return false;
}

std::optional<QString> duplicateWarning(const CSVPreviewData& preview, CSVImportMode mode,
                                        const ProjectData& project)
{
    if (mode == CSVImportMode::append) {
        const QSet<QString> existing = addressesWithout0000(project.nodes);
        qsizetype taken = 0; // a repeated address in the file counts each time
        for (const CSVCandidate& candidate : preview.sampleNodes) {
            if (candidate.ip != csvDefaultAddress && existing.contains(candidate.ip))
                ++taken;
        }
        if (taken > 0)
            return (taken == 1 ? Texts::tr("%1 IP already exist in your project")
                               : Texts::tr("%1 IPs already exist in your project"))
                .arg(taken);
    }
    QSet<QString> repeated(preview.duplicateIPs.cbegin(), preview.duplicateIPs.cend());
    for (const QString& name : preview.duplicateNames)
        repeated.insert(name);
    if (!repeated.isEmpty())
        return (repeated.size() == 1 ? Texts::tr("%1 duplicate found within CSV")
                                     : Texts::tr("%1 duplicates found within CSV"))
            .arg(repeated.size());
    return std::nullopt;
}

QString csvSeparatorName(QChar separator)
{
    if (separator == u';')
        return Texts::tr("semicolon");
    if (separator == u'\t')
        return Texts::tr("tab");
    return Texts::tr("comma");
}

double csvGridStartRow(const ProjectData& project, CSVImportMode mode)
{
    if (mode == CSVImportMode::replace)
        return 0.0;
    std::optional<double> lowest;
    for (const NodeData& node : project.nodes) {
        if (std::isfinite(node.y) && (!lowest || node.y > *lowest))
            lowest = node.y;
    }
    const double belowLowest = (lowest ? *lowest : 0.0) + appendGap;
    // Kept in doubles: rows far away stay exact where an integer cast could overflow.
    const double row = std::trunc(belowLowest / gridRowStep);
    return std::isfinite(row) ? row : 0.0;
}

namespace {

// The candidates an import adds, by position in the file: with skipping on, a row is left out
// when its address (other than "0.0.0.0") is taken already, by the project in append mode or by
// an earlier row of the file.
QList<qsizetype> rowsToAdd(const ProjectData& project, const CSVRows& rows, CSVImportMode mode,
                           bool skipDuplicates)
{
    QSet<QString> existingIPs;
    if (mode == CSVImportMode::append) {
        existingIPs.reserve(project.nodes.size());
        for (const NodeData& node : project.nodes)
            existingIPs.insert(node.ip);
    }
    QSet<QString> seenIPs;
    seenIPs.reserve(rows.candidates.size());
    QList<qsizetype> added;
    added.reserve(rows.candidates.size());
    for (qsizetype i = 0; i < rows.candidates.size(); ++i) {
        const QString& ip = rows.candidates.at(i).ip;
        if (skipDuplicates && ip != csvDefaultAddress &&
            (existingIPs.contains(ip) || seenIPs.contains(ip)))
            continue;
        seenIPs.insert(ip);
        added.append(i);
    }
    return added;
}

} // namespace

CSVImportCounts applyCSVRows(ProjectData& project, const CSVRows& rows, CSVImportMode mode,
                             bool skipDuplicates)
{
    const QList<qsizetype> added = rowsToAdd(project, rows, mode, skipDuplicates);
    if (mode == CSVImportMode::replace) {
        project.nodes.clear();
        project.cables.clear();
    }
    const double startRow = csvGridStartRow(project, mode);
    project.nodes.reserve(project.nodes.size() + added.size());
    for (qsizetype k = 0; k < added.size(); ++k) {
        const CSVCandidate& candidate = rows.candidates.at(added.at(k));
        const qsizetype column = k % gridColumns;
        const qsizetype gridRow = k / gridColumns; // whole rows of the grid
        const double row = startRow + static_cast<double>(gridRow);
        NodeData node;
        node.id = ProjectSession::allocateNodeId(project);
        node.name = candidate.name;
        node.type = candidate.type;
        node.ip = candidate.ip;
        node.x = gridOriginX + gridColumnStep * static_cast<double>(column);
        node.y = gridOriginY + gridRowStep * row;
        node.scale = 1.0;
        project.nodes.append(node);
    }
    return {added.size(), rows.candidates.size() - added.size()};
}

CSVImportResult importCSV(ProjectSession& session, const QString& filePath, CSVImportMode mode,
                          bool skipDuplicates, const std::optional<CSVColumnChoice>& choice)
{
    // Read before the snapshot so that an import whose nodes cannot all get an identifier is
    // refused before it records anything.
    const Expected<CSVRows> rows = parseCSVRows(filePath, choice);
    if (rows) {
        const qsizetype adding = rowsToAdd(session.project(), *rows, mode, skipDuplicates).size();
        if (const Expected<void> room = ProjectSession::roomForIds(session.project(), adding, 0);
            !room) {
            session.refuseEdit(room.error().message);
            return CSVImportError{room.error().message, true};
        }
    }
    session.pushUndoSnapshot();
    if (!rows)
        return CSVImportError{rows.error().message};

    if (mode == CSVImportMode::replace)
        session.clearTypeColorMap();
    CSVImportCounts counts;
    session.document()->modify(
        [&](ProjectData& project) { counts = applyCSVRows(project, *rows, mode, skipDuplicates); });
    session.ensureTypeColors();
    if (mode == CSVImportMode::replace)
        session.setSelectedNodes({});
    return counts;
}

} // namespace velmora
