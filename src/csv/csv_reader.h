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

// What a file holds: its candidates in file order and whether its first line was a header.
struct CSVRows {
    QList<CSVCandidate> candidates;
    bool hasHeader = false;

    bool operator==(const CSVRows&) const = default;
};

// Zero-based columns of the three fields; an absent index means there is no such column.
struct CSVColumnMap {
    std::optional<qsizetype> nameIndex;
    std::optional<qsizetype> typeIndex;
    std::optional<qsizetype> ipIndex;

    bool operator==(const CSVColumnMap&) const = default;
};

// The summary of one file shown before anything is changed.
struct CSVPreviewData {
    QString fileName; // last path component, extension included
    qsizetype totalRows = 0;
    QStringList duplicateIPs;        // each value on two or more data lines, listed once
    QStringList duplicateNames;      // likewise for names (default and empty values included)
    QList<CSVCandidate> sampleNodes; // every candidate, in file order
    QString url;                     // the file's path, kept so the import can read it again

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
CSVRecord parseCSVRecord(QStringView text, qsizetype start = 0);

// The cells of the first record of `line`.
QStringList parseCSVLine(QStringView line);

// The header test and column mapping of a first line; nothing when it is not a header.
std::optional<CSVColumnMap> detectCSVHeader(QStringView firstLine);

// The reader on bytes already in memory. The error says why nothing could be read: the bytes are
// not valid UTF-8, or there is no non-empty line.
Expected<CSVRows> parseCSVContent(const QByteArray& content);

// Reads the file and parses it; the error also covers a file that cannot be opened.
Expected<CSVRows> parseCSVRows(const QString& filePath);

// The preview of a file; fails when parseCSVRows does.
Expected<CSVPreviewData> parseCSVPreview(const QString& filePath);

// Builds the preview record for rows already read from `filePath`.
CSVPreviewData makeCSVPreview(const CSVRows& rows, const QString& filePath);

} // namespace velmora
