// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CSV reader: turns a comma-separated device list into candidate nodes (name, type, address)
// and the preview summary the import sheet shows. Forgiving by design: every non-empty line
// yields one candidate; only an unreadable file or one without any non-empty line yields nothing.

#include "model/expected.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace velmora {

// One data line of a CSV file, with the defaults already applied.
struct CSVCandidate {
    QString name;
    QString type;
    QString ip;

    bool operator==(const CSVCandidate&) const = default;
};

// Zero-based columns of the three fields; an absent index means there is no such column.
struct CSVColumnMap {
    std::optional<qsizetype> nameIndex;
    std::optional<qsizetype> typeIndex;
    std::optional<qsizetype> ipIndex;

    bool operator==(const CSVColumnMap&) const = default;
};

// Columns chosen by hand instead of the detected ones, and whether the first line is then a
// header (skipped) rather than data.
struct CSVColumnChoice {
    CSVColumnMap columns;
    bool firstLineIsHeader = false;

    bool operator==(const CSVColumnChoice&) const = default;
};

// What a file holds: its candidates in file order, whether its first line was a header, the
// separator and the columns used, and the first line's cells (unquoted and trimmed, as written)
// so that columns can be chosen by their header text.
struct CSVRows {
    QList<CSVCandidate> candidates;
    bool hasHeader = false;
    QChar separator = u',';
    CSVColumnMap columns;
    QStringList firstLineCells;

    bool operator==(const CSVRows&) const = default;
};

// The summary of one file shown before anything is changed.
struct CSVPreviewData {
    QString fileName; // last path component, extension included
    qsizetype totalRows = 0;
    QStringList duplicateIPs;        // each value on two or more data lines, listed once
    QStringList duplicateNames;      // likewise for names (default and empty values included)
    QList<CSVCandidate> sampleNodes; // every candidate, in file order
    QString url;                     // the file's path, kept so the import can read it again
    QChar separator = u',';          // the separator the file was read with
    bool hasHeader = false;
    CSVColumnMap columns;       // the columns the candidates were taken from
    QStringList firstLineCells; // unquoted and trimmed, for choosing columns by hand

    bool operator==(const CSVPreviewData&) const = default;
};

// The characters that end a line: U+000A to U+000D, U+0085, U+2028 and U+2029, each on its own.
constexpr bool isCSVLineBreak(char16_t c)
{
    return (c >= 0x000A && c <= 0x000D) || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

// Defaults for fields without a column (or on a line too short to reach it).
inline const QString csvDefaultType = QStringLiteral("Device");
inline const QString csvDefaultAddress = QStringLiteral("0.0.0.0");

// One record of a CSV text: its cells (at least one) and where it ends.
struct CSVRecord {
    QStringList cells;
    qsizetype end = 0; // the line break that ends the record, or the text's size

    bool operator==(const CSVRecord&) const = default;
};

// Splits the record starting at `start` (the beginning of a line) into cells. A double quote
// toggles quoting and is dropped, except that a doubled quote inside a quoted cell is one literal
// quote (so exported files read back); a comma outside quotes ends a cell; an unterminated quote
// keeps the rest of the line. A line break ends the record, except inside a quoted cell whose
// opening quote began the cell (after spaces) and which closes further on: such a cell keeps its
// line breaks, as spreadsheets write them. One that never closes ends at its first line break.
// Works on user-perceived characters, found line by line with the platform's grapheme boundary
// finder: a quote or comma carrying a combining mark is plain text.
// `separator` takes the comma's part (the file's separator, see detectCSVSeparator).
CSVRecord parseCSVRecord(QStringView text, qsizetype start = 0, QChar separator = u',');

// The cells of the first record of `line`.
QStringList parseCSVLine(QStringView line, QChar separator = u',');

// The separator of a file, judged on its first line: a comma, unless the line holds no comma
// outside quotes but does hold a semicolon or a tab (the first of the two that occurs).
QChar detectCSVSeparator(QStringView firstLine);

// The cells of a header line: split at every separator with no regard to quotes, trimmed, and a
// cell wholly enclosed in double quotes unquoted (as spreadsheet exports write every cell).
QStringList csvHeaderCells(QStringView firstLine, QChar separator = u',');

// The header test and column mapping of a first line; nothing when it is not a header.
std::optional<CSVColumnMap> detectCSVHeader(QStringView firstLine, QChar separator = u',');

// The reader on bytes already in memory. The error says why nothing could be read: the bytes are
// not valid UTF-8, or there is no line holding more than whitespace. Lines of only whitespace
// are skipped like empty ones. `choice` replaces the detected columns and header test.
Expected<CSVRows> parseCSVContent(const QByteArray& content,
                                  const std::optional<CSVColumnChoice>& choice = std::nullopt);

// Reads the file and parses it; the error also covers a file that cannot be opened.
Expected<CSVRows> parseCSVRows(const QString& filePath,
                               const std::optional<CSVColumnChoice>& choice = std::nullopt);

// The preview of a file; fails when parseCSVRows does.
Expected<CSVPreviewData>
parseCSVPreview(const QString& filePath,
                const std::optional<CSVColumnChoice>& choice = std::nullopt);

// Columns named by the user, each as header text (matched without regard to case against the
// first line's cells) or as a 1-based index; an empty text keeps the detected column.
struct CSVColumnNames {
    QString name;
    QString type;
    QString ip;
};

// The choice those names make on a file read with its detected columns. A column named by its
// text makes the first line a header. Fails on an index below 1 or a text no cell holds.
Expected<CSVColumnChoice> resolveCSVColumns(const CSVRows& detected, const CSVColumnNames& names);

// Builds the preview record for rows already read from `filePath`.
CSVPreviewData makeCSVPreview(const CSVRows& rows, const QString& filePath);

} // namespace velmora
