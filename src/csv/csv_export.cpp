// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv/csv_export.h"

#include <QSaveFile>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace velmora {

QString escapeCSVField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    QString escaped = text;
    escaped.replace(u"\""_s, u"\"\""_s);
    return u'"' + escaped + u'"';
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
