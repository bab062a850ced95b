// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv/csv_reader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <array>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

constexpr QChar quoteChar = u'"';
constexpr QChar commaChar = u',';
constexpr QChar spaceChar = u' ';
constexpr QChar semicolonChar = u';';
constexpr QChar tabChar = u'\t';

// Why a file yields nothing; the command line tells the user.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(velmora::CSVReader)
};

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

CSVRecord parseCSVRecord(QStringView text, qsizetype start, QChar separator)
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
        } else if (single && c == separator && !inQuotes) {
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

QStringList parseCSVLine(QStringView line, QChar separator)
{
    return parseCSVRecord(line, 0, separator).cells;
}

QChar detectCSVSeparator(QStringView firstLine)
{
    bool inQuotes = false;
    std::optional<QChar> other;
    for (const QChar c : firstLine) {
        if (isCSVLineBreak(c.unicode()))
            break;
        if (c == quoteChar)
            inQuotes = !inQuotes;
        else if (inQuotes)
            continue;
        else if (c == commaChar)
            return commaChar;
        else if (!other && (c == semicolonChar || c == tabChar))
            other = c;
    }
    return other.value_or(commaChar);
}

QStringList csvHeaderCells(QStringView firstLine, QChar separator)
{
    QStringList cells = firstLine.toString().split(separator);
    for (QString& cell : cells) {
        cell = cell.trimmed();
        if (cell.size() >= 2 && cell.front() == quoteChar && cell.back() == quoteChar)
            cell = cell.sliced(1, cell.size() - 2).replace(u"\"\""_s, u"\""_s).trimmed();
    }
    return cells;
}

std::optional<CSVColumnMap> detectCSVHeader(QStringView firstLine, QChar separator)
{
    const QStringList cells = csvHeaderCells(firstLine.toString().toLower(), separator);
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

Expected<CSVRows> parseCSVContent(const QByteArray& content,
                                  const std::optional<CSVColumnChoice>& choice)
{
    // Stateless, so that a sequence cut off at the end of the file counts as invalid too.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(content);
    if (decoder.hasError())
        return Error{Texts::tr("not valid UTF-8 text")};

    // The records, one a line unless a quoted cell spans line breaks; empty lines and lines of
    // only whitespace between them are dropped.
    const QStringView all(text);
    const auto nextContentLine = [&](qsizetype from) {
        qsizetype lineStart = from;
        for (qsizetype i = from; i < all.size(); ++i) {
            if (isCSVLineBreak(all[i].unicode()))
                lineStart = i + 1;
            else if (!all[i].isSpace())
                return lineStart;
        }
        return all.size();
    };
    CSVRows rows;
    qsizetype start = 0;
    CSVRecord record;
    const auto nextRecord = [&] {
        start = nextContentLine(record.end);
        if (start >= all.size())
            return false;
        record = parseCSVRecord(all, start, rows.separator);
        return true;
    };

    start = nextContentLine(0);
    if (start >= all.size())
        return Error{Texts::tr("no non-empty line")};
    rows.separator = detectCSVSeparator(all.sliced(start));
    nextRecord();
    for (const QString& cell : std::as_const(record.cells))
        rows.firstLineCells.append(cell.trimmed());

    rows.columns = CSVColumnMap{0, 1, 2};
    if (choice) {
        rows.hasHeader = choice->firstLineIsHeader;
        rows.columns = choice->columns;
    } else if (const std::optional<CSVColumnMap> header =
                   detectCSVHeader(all.sliced(start, record.end - start), rows.separator)) {
        rows.hasHeader = true;
        rows.columns = *header;
    }
    bool more = !rows.hasHeader || nextRecord();
    // The trimmed cell of a column, or nothing when there is no such column or the line is short.
    const auto cell = [&](std::optional<qsizetype> index) -> std::optional<QString> {
        if (!index || *index < 0 || *index >= record.cells.size())
            return std::nullopt;
        return record.cells.at(*index).trimmed();
    };
    for (qsizetype position = 1; more; more = nextRecord(), ++position) {
        rows.candidates.append(CSVCandidate{
            cell(rows.columns.nameIndex).value_or(u"Node "_s + QString::number(position)),
            cell(rows.columns.typeIndex).value_or(csvDefaultType),
            cell(rows.columns.ipIndex).value_or(csvDefaultAddress)});
    }
    return rows;
}

Expected<CSVColumnChoice> resolveCSVColumns(const CSVRows& detected, const CSVColumnNames& names)
{
    CSVColumnChoice choice{detected.columns, detected.hasHeader};
    const auto resolve = [&](const QString& text,
                             std::optional<qsizetype>& index) -> Expected<void> {
        const QString wanted = text.trimmed();
        if (wanted.isEmpty())
            return {};
        bool isNumber = false;
        const qlonglong number = wanted.toLongLong(&isNumber);
        if (isNumber) {
            if (number < 1)
                return Error{Texts::tr("column %1: columns are counted from 1").arg(wanted)};
            index = qsizetype(number - 1);
            return {};
        }
        for (qsizetype i = 0; i < detected.firstLineCells.size(); ++i) {
            if (detected.firstLineCells.at(i).compare(wanted, Qt::CaseInsensitive) == 0) {
                index = i;
                choice.firstLineIsHeader = true;
                return {};
            }
        }
        return Error{Texts::tr("no column named \"%1\" in the first line").arg(wanted)};
    };
    for (const auto& [text, index] : {std::pair{&names.name, &choice.columns.nameIndex},
                                      std::pair{&names.type, &choice.columns.typeIndex},
                                      std::pair{&names.ip, &choice.columns.ipIndex}}) {
        if (const Expected<void> resolved = resolve(*text, *index); !resolved)
            return resolved.error();
    }
    return choice;
}

Expected<CSVRows> parseCSVRows(const QString& filePath,
                               const std::optional<CSVColumnChoice>& choice)
{
    if (filePath.isEmpty())
        return Error{Texts::tr("no file given")};
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return Error{file.errorString()};
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Error{file.errorString()};
    return parseCSVContent(content, choice);
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
    preview.separator = rows.separator;
    preview.hasHeader = rows.hasHeader;
    preview.columns = rows.columns;
    preview.firstLineCells = rows.firstLineCells;
    return preview;
}

Expected<CSVPreviewData> parseCSVPreview(const QString& filePath,
                                         const std::optional<CSVColumnChoice>& choice)
{
    const Expected<CSVRows> rows = parseCSVRows(filePath, choice);
    if (!rows)
        return rows.error();
    return makeCSVPreview(*rows, filePath);
}

} // namespace velmora
