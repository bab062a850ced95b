// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv/csv_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <QVarLengthArray>

#include <array>
#include <cstring>

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

// The reference splitter: walks the line's user-perceived characters one by one; `next(i)` gives
// the end of the character starting at i.
template <typename NextBoundary> QStringList splitClusters(QStringView line, NextBoundary next)
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

// Whether a character next to a comma or quote certainly leaves it a user-perceived character
// of its own: anything below U+0300, cased letters (Latin, Greek, Cyrillic, Armenian, ...) and
// CJK ideographs are never combining, joining, spacing or prepended marks. Any other neighbour
// (a mark, a joiner, an emoji, a surrogate, other letters) sends the line to the cluster walk:
// the platform's segmentation also looks past the neighbours, so no local rule is trusted there.
bool isPlainNeighbour(QChar c)
{
    const char16_t u = c.unicode();
    if (u < firstClusterJoiner || (u >= 0x4E00 && u <= 0x9FFF))
        return true;
    if (c.isSurrogate())
        return false;
    const QChar::Category category = c.category();
    return category == QChar::Letter_Uppercase || category == QChar::Letter_Lowercase ||
           category == QChar::Letter_Titlecase;
}

// Splits lines into cells in one pass, without walking grapheme clusters: commas and quotes are
// the only characters the splitter treats specially, and when their neighbours are plain (see
// isPlainNeighbour) each of them is a user-perceived character of its own. A line without quotes
// yields slices of itself; the cells of a line with quotes are built in one reused buffer. A line
// with any other neighbour is split by walking its clusters. The cells are valid until the next
// split.
class CellSplitter final {
public:
    void split(QStringView line)
    {
        line_ = line;
        cells_.clear();
        buffer_.resize(0); // keeps the allocation for the next line
        clustered_.reset();
        if (buffer_.capacity() < line.size())
            buffer_.reserve(line.size());
        const qsizetype size = line.size();
        bool unsure = false;
        const auto standsAlone = [&](qsizetype i) {
            const bool plain = (i == 0 || isPlainNeighbour(line[i - 1])) &&
                               (i + 1 >= size || isPlainNeighbour(line[i + 1]));
            unsure = unsure || !plain;
            return plain;
        };

        qsizetype cellStart = 0; // in the line, or in the buffer once the cell lost a quote
        qsizetype runStart = 0;  // the part of the line not yet copied into the buffer
        bool buffered = false;
        bool inQuotes = false;
        const auto endCell = [&](qsizetype at) {
            if (buffered) {
                buffer_.append(line.sliced(runStart, at - runStart));
                cells_.append({cellStart, buffer_.size() - cellStart, true});
            } else {
                cells_.append({cellStart, at - cellStart, false});
            }
            cellStart = at + 1;
            runStart = at + 1;
            buffered = false;
        };
        for (qsizetype i = 0; i < size && !unsure; ++i) {
            const QChar c = line[i];
            if (c == commaChar) {
                if (!inQuotes && standsAlone(i))
                    endCell(i);
            } else if (c == quoteChar && standsAlone(i)) {
                // The quote is dropped: the cell continues in the buffer.
                if (buffered) {
                    buffer_.append(line.sliced(runStart, i - runStart));
                } else {
                    const qsizetype lineStart = cellStart;
                    cellStart = buffer_.size();
                    buffer_.append(line.sliced(lineStart, i - lineStart));
                    buffered = true;
                }
                runStart = i + 1;
                // A doubled quote inside quotes is one quote: the second one stays in the run.
                if (inQuotes && i + 1 < size && line[i + 1] == quoteChar && standsAlone(i + 1))
                    ++i;
                else
                    inQuotes = !inQuotes;
            }
        }
        if (unsure)
            clustered_ = parseCSVLineByClusters(line);
        else
            endCell(size);
    }

    qsizetype size() const { return clustered_ ? clustered_->size() : cells_.size(); }

    QStringView at(qsizetype index) const
    {
        if (clustered_)
            return clustered_->at(index);
        const Cell& cell = cells_.at(index);
        return (cell.buffered ? QStringView(buffer_) : line_).sliced(cell.start, cell.length);
    }

private:
    struct Cell {
        qsizetype start;
        qsizetype length;
        bool buffered;
    };

    QStringView line_;
    QString buffer_;
    QVarLengthArray<Cell, 16> cells_;
    std::optional<QStringList> clustered_;
};

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

// The values of one column. Equal values share one string: device types repeat on most lines,
// and a shared value saves an allocation per line. The few shared values are compared in turn,
// cheaper than hashing every cell; a column whose values keep differing (names, addresses) stops
// being compared.
class ColumnValues final {
public:
    // The trimmed cell at `index`, or nothing when there is no such column or the line is short.
    std::optional<QString> take(const CellSplitter& cells, std::optional<qsizetype> index)
    {
        if (!index || *index >= cells.size())
            return std::nullopt;
        const QStringView value = cells.at(*index).trimmed();
        if (misses_ > maxShared && misses_ > hits_)
            return value.toString();
        for (const QString& known : shared_) {
            if (known.size() == value.size() && QStringView(known) == value) {
                ++hits_;
                return known;
            }
        }
        ++misses_;
        QString copy = value.toString();
        if (shared_.size() < maxShared)
            shared_.append(copy);
        return copy;
    }

private:
    static constexpr qsizetype maxShared = 16;
    QVarLengthArray<QString, maxShared> shared_;
    qsizetype hits_ = 0;
    qsizetype misses_ = 0;
};

QStringList valuesOnSeveralLines(const QList<CSVCandidate>& candidates,
                                 QString CSVCandidate::*field)
{
    // One hashing pass: each value maps to the line where it first occurs (counted from 1, so
    // that 0 means a value not seen yet), and that line is marked once the value turns up again.
    QHash<QStringView, qsizetype> firstLine;
    firstLine.reserve(candidates.size());
    QList<bool> repeated(candidates.size(), false);
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        qsizetype& first = firstLine[QStringView(candidates.at(i).*field)];
        if (first == 0)
            first = i + 1;
        else
            repeated[first - 1] = true;
    }
    // Listed in the order of first occurrence so that the sheet reads the same on every run.
    QStringList values;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (repeated.at(i))
            values.append(candidates.at(i).*field);
    }
    return values;
}

} // namespace

QStringList parseCSVLine(QStringView line)
{
    CellSplitter splitter;
    splitter.split(line);
    QStringList cells;
    cells.reserve(splitter.size());
    for (qsizetype i = 0; i < splitter.size(); ++i)
        cells.append(splitter.at(i).toString());
    return cells;
}

QStringList parseCSVLineByClusters(QStringView line)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line.data(), line.size());
    return splitClusters(line, [&finder, size = line.size()](qsizetype i) {
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

    // The lines, split at every line-break character on its own, empty pieces dropped, are
    // visited in one pass without collecting them first.
    const QStringView all(text);
    const qsizetype size = all.size();
    qsizetype pos = 0;
    const auto nextLine = [&]() -> std::optional<QStringView> {
        while (pos < size) {
            const qsizetype start = pos;
            while (pos < size && !isLineBreak(all[pos].unicode()))
                ++pos;
            const qsizetype end = pos;
            if (pos < size)
                ++pos; // past the line break
            if (end > start)
                return all.sliced(start, end - start);
        }
        return std::nullopt;
    };

    const std::optional<QStringView> first = nextLine();
    if (!first)
        return Error{u"no non-empty line"_s};

    CSVRows rows;
    CSVColumnMap columns{0, 1, 2};
    std::optional<QStringView> line = first;
    if (const std::optional<CSVColumnMap> header = detectCSVHeader(*first)) {
        rows.hasHeader = true;
        columns = *header;
        line = nextLine();
    }

    // Room for one candidate per LF byte, found with memchr: growing a list of ten thousand
    // candidates step by step costs more than this scan. Other line ends just grow the list.
    qsizetype lineFeeds = 1;
    for (const char *at = content.constData(), *end = at + content.size();
         (at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))) != nullptr; ++at)
        ++lineFeeds;
    rows.candidates.reserve(lineFeeds);
    CellSplitter cells;
    ColumnValues names;
    ColumnValues types;
    ColumnValues addresses;
    qsizetype position = 0;
    for (; line; line = nextLine()) {
        ++position;
        cells.split(*line);
        std::optional<QString> name = names.take(cells, columns.nameIndex);
        rows.candidates.append(
            CSVCandidate{name ? std::move(*name) : u"Node "_s + QString::number(position),
                         types.take(cells, columns.typeIndex).value_or(csvDefaultType),
                         addresses.take(cells, columns.ipIndex).value_or(csvDefaultAddress)});
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
