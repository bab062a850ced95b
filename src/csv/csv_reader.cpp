// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv/csv_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <QVarLengthArray>

#include <array>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

constexpr QChar quoteChar = u'"';
constexpr QChar commaChar = u',';

// Every character below U+0300 is a user-perceived character of its own once line ends are gone:
// combining marks, joiners, prepended marks and Hangul jamo all lie above it.
constexpr char16_t firstClusterJoiner = 0x0300;

bool isLineBreak(char16_t c)
{
    return (c >= 0x000A && c <= 0x000D) || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

// The lines of the text, split at every line-break character on its own, empty pieces dropped.
QList<QStringView> splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (isLineBreak(text[i].unicode())) {
            if (i > start)
                lines.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    if (size > start)
        lines.append(text.sliced(start));
    return lines;
}

// Shared by both splitters: `next(i)` gives the end of the character starting at i.
template <typename NextBoundary> QStringList splitCells(QStringView line, NextBoundary next)
{
    QStringList cells;
    QString cell;
    bool inQuotes = false;
    const qsizetype size = line.size();
    qsizetype i = 0;
    while (i < size) {
        const qsizetype end = next(i);
        const bool single = end == i + 1;
        if (single && line[i] == quoteChar) {
            if (inQuotes && end < size) {
                const qsizetype afterNext = next(end);
                if (afterNext == end + 1 && line[end] == quoteChar) {
                    cell.append(quoteChar); // a doubled quote inside quotes is one quote
                    i = afterNext;
                    continue;
                }
            }
            inQuotes = !inQuotes;
        } else if (single && line[i] == commaChar && !inQuotes) {
            cells.append(cell);
            cell.clear();
        } else {
            cell.append(line.sliced(i, end - i));
        }
        i = end;
    }
    cells.append(cell);
    return cells;
}

bool needsClusterScan(QStringView line)
{
    for (const QChar c : line) {
        if (c.unicode() >= firstClusterJoiner)
            return true;
    }
    return false;
}

const std::array<QString, 7>& headerNames()
{
    static const std::array<QString, 7> names{u"name"_s,        u"hostname"_s, u"type"_s,
                                              u"device type"_s, u"ip"_s,       u"ip address"_s,
                                              u"address"_s};
    return names;
}

std::optional<qsizetype> firstColumnOf(const QStringList& cells,
                                       std::initializer_list<QString> names)
{
    for (const QString& name : names) {
        const qsizetype index = cells.indexOf(name);
        if (index >= 0)
            return index;
    }
    return std::nullopt;
}

// The trimmed cell at `index`, or nothing when there is no such column or the line is short.
template <typename Cells>
std::optional<QString> fieldAt(const Cells& cells, std::optional<qsizetype> index)
{
    if (index && *index < cells.size())
        return QStringView(cells.at(*index)).trimmed().toString();
    return std::nullopt;
}

// Most lines hold neither quotes nor characters that join into clusters: their cells are plain
// slices between commas, with no copy until a field is taken.
bool isPlainLine(QStringView line)
{
    for (const QChar c : line) {
        if (c == quoteChar || c.unicode() >= firstClusterJoiner)
            return false;
    }
    return true;
}

QStringList valuesOnSeveralLines(const QList<CSVCandidate>& candidates,
                                 QString CSVCandidate::*field)
{
    QHash<QString, qsizetype> counts;
    counts.reserve(candidates.size());
    for (const CSVCandidate& candidate : candidates)
        ++counts[candidate.*field];
    // Listed in the order of first occurrence so that the sheet reads the same on every run.
    QStringList repeated;
    for (const CSVCandidate& candidate : candidates) {
        auto it = counts.find(candidate.*field);
        if (it != counts.end() && it.value() >= 2) {
            repeated.append(it.key());
            it.value() = 0;
        }
    }
    return repeated;
}

// The cells of a plain line: the slices between commas, without a heap allocation for the
// usual handful of cells.
QVarLengthArray<QStringView, 16> plainCells(QStringView line)
{
    QVarLengthArray<QStringView, 16> cells;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == commaChar) {
            cells.append(line.sliced(start, i - start));
            start = i + 1;
        }
    }
    cells.append(line.sliced(start));
    return cells;
}

} // namespace

QStringList parseCSVLine(QStringView line)
{
    if (!needsClusterScan(line))
        return splitCells(line, [](qsizetype i) { return i + 1; });

    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line.data(), line.size());
    return splitCells(line, [&finder, size = line.size()](qsizetype i) {
        finder.setPosition(i);
        const qsizetype end = finder.toNextBoundary();
        return end > i ? end : size;
    });
}

std::optional<CSVColumnMap> detectCSVHeader(QStringView firstLine)
{
    QStringList cells = firstLine.toString().toLower().split(commaChar);
    for (QString& cell : cells)
        cell = cell.trimmed();

    bool isHeader = false;
    for (const QString& cell : cells) {
        for (const QString& name : headerNames())
            isHeader = isHeader || cell == name;
    }
    if (!isHeader)
        return std::nullopt;

    CSVColumnMap map;
    map.nameIndex = firstColumnOf(cells, {u"name"_s, u"hostname"_s});
    map.typeIndex = firstColumnOf(cells, {u"type"_s, u"device type"_s});
    map.ipIndex = firstColumnOf(cells, {u"ip"_s, u"ip address"_s, u"address"_s});
    return map;
}

Expected<CSVRows> parseCSVContent(const QByteArray& content)
{
    // Stateless, so that a sequence cut off at the end of the file counts as invalid too.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(content);
    if (decoder.hasError())
        return Error{u"not valid UTF-8 text"_s};

    const QList<QStringView> lines = splitLines(text);
    if (lines.isEmpty())
        return Error{u"no non-empty line"_s};

    CSVRows rows;
    CSVColumnMap columns{0, 1, 2};
    qsizetype firstData = 0;
    if (const std::optional<CSVColumnMap> header = detectCSVHeader(lines.first())) {
        rows.hasHeader = true;
        columns = *header;
        firstData = 1;
    }

    rows.candidates.reserve(lines.size() - firstData);
    for (qsizetype i = firstData; i < lines.size(); ++i) {
        const QStringView line = lines.at(i);
        const qsizetype position = i - firstData + 1;
        const auto candidate = [&](const auto& cells) {
            std::optional<QString> name = fieldAt(cells, columns.nameIndex);
            return CSVCandidate{name ? std::move(*name) : u"Node "_s + QString::number(position),
                                fieldAt(cells, columns.typeIndex).value_or(csvDefaultType),
                                fieldAt(cells, columns.ipIndex).value_or(csvDefaultAddress)};
        };
        if (isPlainLine(line))
            rows.candidates.append(candidate(plainCells(line)));
        else
            rows.candidates.append(candidate(parseCSVLine(line)));
    }
    return rows;
}

Expected<CSVRows> readCSVRows(const QString& filePath)
{
    if (filePath.isEmpty())
        return Error{u"no file given"_s};
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return Error{file.errorString()};
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Error{file.errorString()};
    return parseCSVContent(content);
}

std::optional<CSVRows> parseCSVRows(const QString& filePath)
{
    Expected<CSVRows> rows = readCSVRows(filePath);
    if (!rows)
        return std::nullopt;
    return std::move(rows).value();
}

CSVPreviewData makeCSVPreview(const CSVRows& rows, const QString& filePath)
{
    CSVPreviewData preview;
    preview.fileName = QFileInfo(filePath).fileName();
    preview.totalRows = rows.candidates.size();
    preview.duplicateIPs = valuesOnSeveralLines(rows.candidates, &CSVCandidate::ip);
    preview.duplicateNames = valuesOnSeveralLines(rows.candidates, &CSVCandidate::name);
    preview.sampleNodes = rows.candidates;
    preview.url = filePath;
    return preview;
}

std::optional<CSVPreviewData> parseCSVPreview(const QString& filePath)
{
    const std::optional<CSVRows> rows = parseCSVRows(filePath);
    if (!rows)
        return std::nullopt;
    return makeCSVPreview(*rows, filePath);
}

} // namespace velmora
