// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CSV exporter: the project's nodes as "Name,Type,IP" lines, UTF-8, one line feed after every
// line, written atomically. The reader reads such a file back with its header detected.

#include "model/project_data.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace velmora {

// Texts of the save dialog the window opens for an export.
inline const QString csvExportDialogTitle = QStringLiteral("Export Nodes to CSV");
inline const QString csvExportProposedFileName = QStringLiteral("nodes_export.csv");

// Quotes a field when it holds a comma, a double quote or any line break the reader knows, or
// when its first or last character would join a comma or quote written next to it (a leading
// combining mark, a trailing prepended mark; a space, trimmed on reading, then keeps the quote
// apart). Inside, every quote that is a character of its own is doubled; a quote carrying a mark
// is plain text to the reader and stays single. Any other field is returned unchanged (no
// trimming). So the reader gives back every field as written, trimmed.
QString escapeCSVField(const QString& text);

// The whole file: the header line, then one line per node in project order.
QString csvText(const ProjectData& project);

// Writes csvText(project) to `filePath` as UTF-8; the old file is replaced only once the new
// content is complete. Returns the reason when the write fails, nothing on success.
std::optional<QString> writeCSV(const QString& filePath, const ProjectData& project);

// writeCSV, and on failure the line "Failed to export CSV: " + reason on standard output, which
// is all the window reports of a failed export. Returns whether the file was written.
bool exportCSV(const QString& filePath, const ProjectData& project);

} // namespace velmora
