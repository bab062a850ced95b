// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv/csv_export.h"

#include "csv/csv_reader.h"
#include "model/project_file.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>
#include <QVarLengthArray>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// Whether a character beside a comma or quote certainly leaves it a user-perceived character of
// its own, whatever the text around: anything below U+0300 (combining, joining, spacing and
// prepended marks and Hangul jamo all lie above it), cased letters and CJK ideographs. Beside
// any other character (a mark, a joiner, other letters) it may join it, depending even on the
// script of the text before, so only the reader's own segmentation can tell.
bool isPlainCSVNeighbour(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x0300 || (u >= 0x4E00 && u <= 0x9FFF))
        return true;
    if (c.isSurrogate())
        return false;
    const QChar::Category category = c.category();
    return category == QChar::Letter_Uppercase || category == QChar::Letter_Lowercase ||
           category == QChar::Letter_Titlecase;
}

bool needsQuotes(QStringView field)
{
    return std::any_of(field.cbegin(), field.cend(), [](QChar c) {
        return c == u',' || c == u'"' || isCSVLineBreak(c.unicode());
    });
}

// Where the user-perceived characters of `text` begin as the reader finds them: it segments each
// line on its own, and a line break stands alone.
QList<bool> characterStarts(QStringView text)
{
    QList<bool> starts(text.size() + 1, true);
    for (qsizetype lineStart = 0; lineStart < text.size();) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && !isCSVLineBreak(text[lineEnd].unicode()))
            ++lineEnd;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data() + lineStart,
                                   lineEnd - lineStart);
        for (qsizetype i = lineStart + 1; i < lineEnd; ++i) {
            finder.setPosition(i - lineStart);
            starts[i] = finder.isAtBoundary();
        }
        lineStart = lineEnd + 1;
    }
    return starts;
}

// One line of the file. A field holding a comma, a quote or a line break is written in quotes.
// Which characters the reader sees as commas and quotes depends on their neighbours (a combining
// or spacing mark after one, a prepended mark before it, even the script of the text before), so
// a draft of the line, with every field in quotes that needs them or begins or ends with a
// character that is not plain, is segmented as the reader will segment it. A field whose first
// or last character joins the quote beside it is written in quotes with a space between (trimmed
// on reading); one that joins neither is written as it is, since a comma behaves like a quote
// there. Inside quotes, every quote that is a character of its own is doubled, while one carrying
// a mark is plain text to the reader and stays single. Spaces and quotes added this way change
// no other boundary of the line.
void appendCSVLine(QString& out, std::initializer_list<QStringView> fields)
{
    struct Draft {
        QStringView text;
        bool needsQuotes;
        bool quoted;         // in the draft
        qsizetype begin = 0; // where the text starts in the draft
    };
    QVarLengthArray<Draft, 3> drafts;
    bool anyQuoted = false;
    for (const QStringView field : fields) {
        const bool special = needsQuotes(field);
        const bool quoted = special || (!field.isEmpty() && (!isPlainCSVNeighbour(field.front()) ||
                                                             !isPlainCSVNeighbour(field.back())));
        drafts.append({field, special, quoted});
        anyQuoted = anyQuoted || quoted;
    }
    if (!anyQuoted) { // most lines: the fields as they are
        for (qsizetype k = 0; k < drafts.size(); ++k) {
            if (k > 0)
                out += u',';
            out += drafts.at(k).text;
        }
        return;
    }

    QString draft;
    bool segment = false;
    for (qsizetype k = 0; k < drafts.size(); ++k) {
        Draft& field = drafts[k];
        if (k > 0)
            draft += u',';
        if (field.quoted)
            draft += u'"';
        field.begin = draft.size();
        draft += field.text;
        if (field.quoted)
            draft += u'"';
        segment = segment || (field.quoted && !std::all_of(field.text.cbegin(), field.text.cend(),
                                                           isPlainCSVNeighbour));
    }
    const QList<bool> starts = segment ? characterStarts(draft) : QList<bool>();
    const auto startsAt = [&](qsizetype i) { return !segment || starts.at(i); };

    for (qsizetype k = 0; k < drafts.size(); ++k) {
        const Draft& field = drafts.at(k);
        const qsizetype end = field.begin + field.text.size();
        const bool padFront = field.quoted && !startsAt(field.begin);
        const bool padBack = field.quoted && !startsAt(end);
        if (k > 0)
            out += u',';
        if (!field.needsQuotes && !padFront && !padBack) {
            out += field.text;
            continue;
        }
        out += padFront ? u"\" "_s : u"\""_s;
        for (qsizetype i = field.begin; i < end; ++i) {
            out += draft.at(i);
            if (draft.at(i) == u'"' && startsAt(i) && startsAt(i + 1))
                out += u'"';
        }
        out += padBack ? u" \""_s : u"\""_s;
    }
}

} // namespace

QString escapeCSVField(const QString& text)
{
    QString field;
    appendCSVLine(field, {text});
    return field;
}

QString csvText(const ProjectData& project)
{
    QString text = u"Name,Type,IP\n"_s;
    text.reserve(text.size() + project.nodes.size() * 40);
    for (const NodeData& node : project.nodes) {
        appendCSVLine(text, {node.name, node.type, node.ip});
        text += u'\n';
    }
    return text;
}

QString csvExportDialogTitle()
{
    return QCoreApplication::translate("velmora::CSVExport", "Export Nodes to CSV");
}

Expected<void> writeCSV(const QString& filePath, const ProjectData& project)
{
    return writeFileAtomically(filePath, csvText(project).toUtf8());
}

} // namespace velmora
