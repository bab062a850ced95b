// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CSV exporter: the project's nodes as "Name,Type,IP" lines, UTF-8, one line feed after every
// line, written atomically. The reader reads such a file back with its header detected.

#include "model/expected.h"
#include "model/project_data.h"

#include <QString>

namespace velmora {

// Texts of the save dialog the window opens for an export.
QString csvExportDialogTitle();
inline const QString csvExportProposedFileName = QStringLiteral("nodes_export.csv");

// A field as written at the start of a line: in quotes when it holds a comma, a double quote or
// any line break the reader knows, with every quote inside that is a character of its own
// doubled; otherwise unchanged (no trimming). In a whole line a field is also quoted where its
// first or last character would join the comma or quote beside it (see csvText). The reader
// gives back every field as written, trimmed.
QString escapeCSVField(const QString& text);

// The whole file: the header line, then one line per node in project order. Characters that
// would join a comma or quote into one user-perceived character (a leading combining mark, a
// trailing prepended mark) are kept apart from it by quotes and a space, and a quote carrying a
// mark is not doubled: the reader treats it as plain text.
QString csvText(const ProjectData& project);

// Writes csvText(project) to `filePath` as UTF-8 with writeFileAtomically: the old file is
// replaced only once the new content is complete. A window reports a failure as the line
// "Failed to export CSV: " + the error on standard output, and nothing else.
Expected<void> writeCSV(const QString& filePath, const ProjectData& project);

} // namespace velmora
