// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the CSV reader and the preview builder, and checks the reader's
// promises: counts that add up, records that always move forward, and an exported project read
// back with its header and every field unchanged.

#include "csv/csv_reader.h"

#include "csv/csv_export.h"
#include "csv/csv_import.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Expected<CSVRows> rows = parseCSVContent(bytes);
    if (!rows)
        return 0;

    const CSVPreviewData preview = makeCSVPreview(*rows, QStringLiteral("/fuzz/input.csv"));
    if (preview.totalRows != rows->candidates.size() ||
        preview.duplicateIPs.size() > preview.totalRows ||
        preview.duplicateNames.size() > preview.totalRows)
        std::abort();

    ProjectData project;
    const CSVImportCounts counts = applyCSVRows(project, *rows, CSVImportMode::append, true);
    if (counts.added + counts.skipped != rows->candidates.size() ||
        project.nodes.size() != counts.added)
        std::abort();
    (void)hasDuplicates(preview, CSVImportMode::append, project);
    (void)duplicateWarning(preview, CSVImportMode::append, project);

    // What the exporter writes, the reader reads back with its header detected and every field
    // as it was (the candidates are trimmed already, as the reader leaves every cell).
    const Expected<CSVRows> again = parseCSVContent(csvText(project).toUtf8());
    if (!again || !again->hasHeader || again->candidates.size() != project.nodes.size())
        std::abort();
    for (qsizetype i = 0; i < project.nodes.size(); ++i) {
        const NodeData& node = project.nodes.at(i);
        if (again->candidates.at(i) != CSVCandidate{node.name, node.type, node.ip})
            std::abort();
    }

    // Every record ends past its start, at a line break or the end of the text.
    const QString text = QString::fromUtf8(bytes);
    for (qsizetype start = 0; start < text.size();) {
        if (isCSVLineBreak(text.at(start).unicode())) {
            ++start;
            continue;
        }
        const CSVRecord record = parseCSVRecord(text, start);
        if (record.end <= start ||
            (record.end < text.size() && !isCSVLineBreak(text.at(record.end).unicode())))
            std::abort();
        start = record.end;
    }
    return 0;
}
