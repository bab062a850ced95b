// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli info FILE: a project's name, schema, counts and map size, one "key: value" a line.

#include "cli/command_registry.h"
#include "model/project_file.h"

#include <QBuffer>
#include <QImageReader>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

QString mapDescription(const ProjectData& project)
{
    if (!project.hasMapImage())
        return u"none"_s;
    QByteArray bytes = *project.map->imageData;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Only the header is read: the size must be known without decoding the whole image.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return u"unreadable image"_s;
    return u"%1x%2"_s.arg(size.width()).arg(size.height());
}

int runInfo(const QStringList& arguments)
{
    if (arguments.size() != 1) {
        QTextStream(stderr) << "usage: velmora-cli info FILE\n";
        return exitUsage;
    }
    const QString& file = arguments.constFirst();
    const Expected<ProjectData> project = readProjectFile(file);
    if (!project)
        return fail(file, project.error().message);
    QTextStream out(stdout);
    out << "name: " << project->projectName << '\n'
        << "schema: " << project->schemaVersion << '\n'
        << "nodes: " << project->nodes.size() << '\n'
        << "cables: " << project->cables.size() << '\n'
        << "map: " << mapDescription(*project) << '\n'
        << "types: " << project->typeColors.size() << '\n';
    return exitOk;
}

const CommandRegistrar registrar(Command{
    u"info"_s,
    u"info FILE"_s,
    u"Print the project's name, schema version, node, cable and type-colour counts and the\n"
    u"map image's size."_s,
    false,
    runInfo,
});

} // namespace
} // namespace velmora::cli
