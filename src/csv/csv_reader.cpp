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
constexpr QChar spaceChar = u' ';

// Every character below U+0300 is a user-perceived character of its own once line ends are gone:
// combining marks, joiners, prepended marks and Hangul jamo all lie above it.
constexpr char16_t firstClusterJoiner = 0x0300;

// Grapheme boundaries found one line at a time: nothing joins a line break, so each line can be
// segmented on its own, and a record costs only the lines it covers.
class LineClusters final {
public:
    explicit LineClusters(QStringView text) : text_(text) {}

    // The end of the user-perceived character starting at i. Every line break stands alone
    // (CR LF too: both end a line).
    qsizetype next(qsizetype i)
    {
        if (isCSVLineBreak(text_[i].unicode()))
            return i + 1;
        if (i < lineStart_ || i >= lineEnd_) {
            lineStart_ = i;
            while (lineStart_ > 0 && !isCSVLineBreak(text_[lineStart_ - 1].unicode()))
                --lineStart_;
            lineEnd_ = i;
            while (lineEnd_ < text_.size() && !isCSVLineBreak(text_[lineEnd_].unicode()))
                ++lineEnd_;
            finder_.emplace(QTextBoundaryFinder::Grapheme, text_.data() + lineStart_,
                            lineEnd_ - lineStart_);
        }
        finder_->setPosition(i - lineStart_);
        const qsizetype end = finder_->toNextBoundary();
        return end > i - lineStart_ ? lineStart_ + end : lineEnd_;
    }

private:
    QStringView text_;
    std::optional<QTextBoundaryFinder> finder_; // emplaced: it has no move assignment
    qsizetype lineStart_ = 0;
    qsizetype lineEnd_ = 0;
};

// The reference splitter: walks the user-perceived characters of the record starting at `start`
// one by one.
CSVRecord splitClusters(QStringView text, qsizetype start)
{
    LineClusters clusters(text);
    const qsizetype size = text.size();
    const auto isQuote = [&](qsizetype i) {
        return i < size && text[i] == quoteChar && clusters.next(i) == i + 1;
    };
    // Where a quoted cell still open at `from` closes: at the first quote that is not doubled.
    const auto closingQuote = [&](qsizetype from) -> qsizetype {
        for (qsizetype i = from; i < size;) {
            if (!isQuote(i))
                i = clusters.next(i);
            else if (isQuote(i + 1))
                i += 2;
            else
                return i;
        }
        return -1;
    };

    QStringList cells;
    QString cell;
    bool inQuotes = false;
    bool spans = false;     // the open quote began its cell: line breaks stay in the cell
    bool cellBlank = true;  // nothing but spaces in the cell so far
    qsizetype closing = -1; // the closing quote of the spanning cell, once looked up
    qsizetype i = start;
    while (i < size) {
        const qsizetype end = clusters.next(i);
        const QChar c = text[i];
        const bool single = end == i + 1;
        if (isCSVLineBreak(c.unicode())) {
            if (inQuotes && spans && closing < i)
                closing = closingQuote(i + 1);
            if (!inQuotes || !spans || closing < 0)
                break;
            cell.append(c);
        } else if (single && c == quoteChar) {
            if (inQuotes && isQuote(end)) {
                cell.append(quoteChar); // a doubled quote inside quotes is one quote
                i = end + 1;
                continue;
            }
            spans = inQuotes ? spans : cellBlank;
            inQuotes = !inQuotes;
        } else if (single && c == commaChar && !inQuotes) {
            cells.append(cell);
            cell.clear();
            cellBlank = true;
            i = end;
            continue;
        } else {
            cell.append(text.sliced(i, end - i));
        }
        cellBlank = cellBlank && single && c == spaceChar;
        i = end;
    }
    cells.append(cell);
    return {cells, i};
}

// Splits records into cells in one pass, without walking grapheme clusters: commas, quotes and
// line breaks are the only characters the splitter treats specially, and when the neighbours of
// commas and quotes are plain (see isPlainCSVNeighbour) each of them is a user-perceived character
// of its own. A record without quotes yields slices of the text; the cells of a record with
// quotes are built in one reused buffer. A record with any other neighbour is split by walking
// its clusters. The cells are valid until the next split.
class CellSplitter final {
public:
    // Splits the record starting at `start`; returns where it ends.
    qsizetype split(QStringView text, qsizetype start)
    {
        text_ = text;
        cells_.clear();
        buffer_.resize(0); // keeps the allocation for the next record
        clustered_.reset();
        const qsizetype size = text.size();
        bool unsure = false;
        const auto standsAlone = [&](qsizetype i) {
            const bool plain = (i == 0 || isPlainCSVNeighbour(text[i - 1])) &&
                               (i + 1 >= size || isPlainCSVNeighbour(text[i + 1]));
            unsure = unsure || !plain;
            return plain;
        };
        // Where a quoted cell still open at `from` closes: at the first quote that is not
        // doubled. -1 when none does (or when `unsure` is set on the way).
        const auto closingQuote = [&](qsizetype from) -> qsizetype {
            for (qsizetype i = text.indexOf(quoteChar, from); i >= 0 && standsAlone(i);
                 i = text.indexOf(quoteChar, i + 2)) {
                if (i + 1 >= size || text[i + 1] != quoteChar)
                    return i;
                if (!standsAlone(i + 1))
                    break;
            }
            return -1;
        };

        qsizetype cellStart = start; // in the text, or in the buffer once the cell lost a quote
        qsizetype runStart = start;  // the part of the text not yet copied into the buffer
        bool buffered = false;
        bool inQuotes = false;
        bool spans = false;     // the open quote began its cell: line breaks stay in the cell
        bool cellBlank = true;  // nothing but spaces in the cell so far
        qsizetype closing = -1; // the closing quote of the spanning cell, once looked up
        qsizetype end = size;
        const auto endCell = [&](qsizetype at) {
            if (buffered) {
                buffer_.append(text.sliced(runStart, at - runStart));
                cells_.append({cellStart, buffer_.size() - cellStart, true});
            } else {
                cells_.append({cellStart, at - cellStart, false});
            }
            cellStart = at + 1;
            runStart = at + 1;
            buffered = false;
            cellBlank = true;
        };
        for (qsizetype i = start; i < size && !unsure; ++i) {
            const QChar c = text[i];
            if (c == commaChar) {
                if (!inQuotes && standsAlone(i)) {
                    endCell(i);
                    continue;
                }
            } else if (c == quoteChar && standsAlone(i)) {
                // The quote is dropped: the cell continues in the buffer.
                if (buffered) {
                    buffer_.append(text.sliced(runStart, i - runStart));
                } else {
                    const qsizetype textStart = cellStart;
                    cellStart = buffer_.size();
                    buffer_.append(text.sliced(textStart, i - textStart));
                    buffered = true;
                }
                runStart = i + 1;
                // A doubled quote inside quotes is one quote: the second one stays in the run.
                if (inQuotes && i + 1 < size && text[i + 1] == quoteChar && standsAlone(i + 1)) {
                    ++i;
                } else {
                    spans = inQuotes ? spans : cellBlank;
                    inQuotes = !inQuotes;
                }
            } else if (isCSVLineBreak(c.unicode())) {
                if (inQuotes && spans && closing < i)
                    closing = closingQuote(i + 1);
                if (!unsure && (!inQuotes || !spans || closing < 0)) {
                    end = i;
                    break;
                }
            }
            cellBlank = cellBlank && c == spaceChar;
        }
        if (unsure) {
            clustered_ = splitClusters(text, start);
            return clustered_->end;
        }
        endCell(end);
        return end;
    }

    qsizetype size() const { return clustered_ ? clustered_->cells.size() : cells_.size(); }

    QStringView at(qsizetype index) const
    {
        if (clustered_)
            return clustered_->cells.at(index);
        const Cell& cell = cells_.at(index);
        return (cell.buffered ? QStringView(buffer_) : text_).sliced(cell.start, cell.length);
    }

private:
    struct Cell {
        qsizetype start;
        qsizetype length;
        bool buffered;
    };

    QStringView text_;
    QString buffer_;
    QVarLengthArray<Cell, 16> cells_;
    std::optional<CSVRecord> clustered_;
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

bool isPlainCSVNeighbour(QChar c)
{
    // Combining, joining, spacing and prepended marks all lie at or above U+0300; a neighbour
    // that is not plain sends the reader to the platform's segmentation, which also looks past
    // the neighbours, so no local rule is trusted there.
    const char16_t u = c.unicode();
    if (u < firstClusterJoiner || (u >= 0x4E00 && u <= 0x9FFF))
        return true;
    if (c.isSurrogate())
        return false;
    const QChar::Category category = c.category();
    return category == QChar::Letter_Uppercase || category == QChar::Letter_Lowercase ||
           category == QChar::Letter_Titlecase;
}

CSVRecord parseCSVRecord(QStringView text, qsizetype start)
{
    CellSplitter splitter;
    CSVRecord record;
    record.end = splitter.split(text, start);
    record.cells.reserve(splitter.size());
    for (qsizetype i = 0; i < splitter.size(); ++i)
        record.cells.append(splitter.at(i).toString());
    return record;
}

CSVRecord parseCSVRecordByClusters(QStringView text, qsizetype start)
{
    return splitClusters(text, start);
}

QStringList parseCSVLine(QStringView line)
{
    return parseCSVRecord(line).cells;
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

    // The records, one a line unless a quoted cell spans line breaks, are visited in one pass
    // without collecting them first; empty lines between them are dropped. `cells` holds the
    // cells of the record just read.
    const QStringView all(text);
    const qsizetype size = all.size();
    CellSplitter cells;
    qsizetype pos = 0;
    QStringView record;
    const auto nextRecord = [&]() {
        while (pos < size && isCSVLineBreak(all[pos].unicode()))
            ++pos;
        if (pos >= size)
            return false;
        const qsizetype end = cells.split(all, pos);
        record = all.sliced(pos, end - pos);
        pos = end;
        return true;
    };

    if (!nextRecord())
        return Error{u"no non-empty line"_s};

    CSVRows rows;
    CSVColumnMap columns{0, 1, 2};
    bool more = true;
    if (const std::optional<CSVColumnMap> header = detectCSVHeader(record)) {
        rows.hasHeader = true;
        columns = *header;
        more = nextRecord();
    }

    // Room for one candidate per LF byte, found with memchr: growing a list of ten thousand
    // candidates step by step costs more than this scan. Other line ends just grow the list.
    qsizetype lineFeeds = 1;
    for (const char *at = content.constData(), *end = at + content.size();
         (at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))) != nullptr; ++at)
        ++lineFeeds;
    rows.candidates.reserve(lineFeeds);
    ColumnValues names;
    ColumnValues types;
    ColumnValues addresses;
    qsizetype position = 0;
    for (; more; more = nextRecord()) {
        ++position;
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
