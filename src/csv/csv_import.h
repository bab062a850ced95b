// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Importing a CSV file into a project: the two modes with their sheet texts, the duplicate test
// and warning shown before confirming, and the apply step that lays the new nodes out on a grid.
// Widget-free: the sheet, the window and velmora-cli all call these.

#include "csv/csv_reader.h"
#include "model/expected.h"
#include "model/project_data.h"

#include <QObject>
#include <QString>

#include <optional>

namespace velmora {

class ProjectSession;

// The options the sheet remembers for the life of a window.
struct CSVImportOptions {
    Q_GADGET
public:
    // The choices, offered in this order; the command line takes their names.
    enum class Mode { replace, append };
    Q_ENUM(Mode)

    Mode mode = Mode::replace;
    bool skipDuplicates = true;
};
using CSVImportMode = CSVImportOptions::Mode;

// "Replace all nodes" / "Append to existing".
QString csvImportModeLabel(CSVImportMode mode);
// The line under the label, for a project holding `existingNodeCount` nodes.
QString csvImportModeDescription(CSVImportMode mode, qsizetype existingNodeCount);
// The mode named "replace" or "append"; nothing for any other text.
std::optional<CSVImportMode> csvImportModeFromName(const QString& name);

// Whether the sheet offers "Skip duplicates": repeated names or addresses inside the file, or, in
// append mode, an address (other than "0.0.0.0") the project already has.
bool hasDuplicates(const CSVPreviewData& preview, CSVImportMode mode, const ProjectData& project);
// The amber line under "Skip duplicates", or nothing.
std::optional<QString> duplicateWarning(const CSVPreviewData& preview, CSVImportMode mode,
                                        const ProjectData& project);

// First grid slot of an import: 0 when replacing; when appending, four slots per 120-unit row
// below the lowest node (largest y + 150, or 150 without nodes), the row rounded toward zero.
double csvGridStartRow(const ProjectData& project, CSVImportMode mode);

struct CSVImportCounts {
    qsizetype added = 0;
    qsizetype skipped = 0;
};

// Writes the candidates into the project: replace empties nodes and cables first (the map, the
// view settings and nextNodeId stay); rows whose address is taken are skipped when asked
// ("0.0.0.0" never counts as taken); added nodes fill a four-column grid from (100, 100) in
// steps of 220 by 120, taking identifiers from nextNodeId, which must have room for them (the
// import checks). Type colours are the caller's.
CSVImportCounts applyCSVRows(ProjectData& project, const CSVRows& rows, CSVImportMode mode,
                             bool skipDuplicates);

// Why an import applied nothing: the file yielded nothing, or the project has too few node
// identifiers left (isRefused: then nothing was recorded either).
struct CSVImportError {
    QString message;
    bool isRefused = false;
};
using CSVImportResult = Expected<CSVImportCounts, CSVImportError>;

// The import on a window's session: reads the file again; refuses (editRefused, nothing
// recorded) when its new nodes cannot all get an identifier; records an undo snapshot (also when
// the file then yields nothing, which changes nothing else), applies the rows (replace also
// empties the type colour map), runs ensureTypeColors and, in replace mode, clears the node
// selection. The view steps are the caller's: mark the content not ready before calling;
// afterwards, when it applied in replace mode, return to zoom 1 and pan (0, 0); then 0.1 s
// later fit the view to the nodes and mark the content ready again.
// `choice` replaces the detected columns (the sheet's or the command line's column mapping).
CSVImportResult importCSV(ProjectSession& session, const QString& filePath, CSVImportMode mode,
                          bool skipDuplicates,
                          const std::optional<CSVColumnChoice>& choice = std::nullopt);

// How the sheet names the separator a file was read with: "comma", "semicolon" or "tab".
QString csvSeparatorName(QChar separator);

} // namespace velmora
