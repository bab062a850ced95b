// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv/csv_export.h"

#include "csv/csv_reader.h"

#include <QSaveFile>
#include <QTextBoundaryFinder>
#include <QTextStream>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// Whether `text` has a user-perceived character boundary at `position`.
bool isBoundary(const QString& text, qsizetype position)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(position);
    return finder.isAtBoundary();
}

// The text with every quote that is a user-perceived character of its own doubled. Doubling keeps
// each of them on its own: a quote joins only a prepended mark before it or a combining, joining
// or spacing mark after it, and those neighbours stay where they were.
QString doubledQuotes(const QString& text)
{
    if (!text.contains(u'"'))
        return text;
    QString doubled;
    doubled.reserve(text.size() + 8);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype next = finder.toNextBoundary();
        const qsizetype end = next > start ? next : text.size();
        doubled += QStringView(text).sliced(start, end - start);
        if (end == start + 1 && text.at(start) == u'"')
            doubled += u'"';
        start = end;
    }
    return doubled;
}

} // namespace

QString escapeCSVField(const QString& text)
{
    if (text.isEmpty())
        return text;
    // Below U+0300 nothing joins a neighbouring comma or quote.
    const bool joinsFront = text.front().unicode() >= 0x0300 && !isBoundary(u'"' + text, 1);
    const bool joinsBack = text.back().unicode() >= 0x0300 && !isBoundary(text + u'"', text.size());
    const bool special = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == u',' || c == u'"' || isCSVLineBreak(c.unicode());
    });
    if (!special && !joinsFront && !joinsBack)
        return text;
    return u'"' + (joinsFront ? u" "_s : QString()) + doubledQuotes(text) +
           (joinsBack ? u" "_s : QString()) + u'"';
}

QString csvText(const ProjectData& project)
{
    QString text = u"Name,Type,IP\n"_s;
    text.reserve(text.size() + project.nodes.size() * 40);
    for (const NodeData& node : project.nodes) {
        text += escapeCSVField(node.name);
        text += u',';
        text += escapeCSVField(node.type);
        text += u',';
        text += escapeCSVField(node.ip);
        text += u'\n';
    }
    return text;
}

std::optional<QString> writeCSV(const QString& filePath, const ProjectData& project)
{
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray bytes = csvText(project).toUtf8();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

bool exportCSV(const QString& filePath, const ProjectData& project)
{
    const std::optional<QString> failure = writeCSV(filePath, project);
    if (!failure)
        return true;
    QTextStream out(stdout);
    out << "Failed to export CSV: " << *failure << Qt::endl;
    return false;
}

} // namespace velmora
