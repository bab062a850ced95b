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

const QString name = u"info"_s;

QString mapDescription(const ProjectData& project)
{
    if (!project.hasMapImage())
        return Cli::tr("none");
    QByteArray bytes = *project.map->imageData;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Only the header is read: the size must be known without decoding the whole image.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return Cli::tr("unreadable image");
    return u"%1x%2"_s.arg(size.width()).arg(size.height());
}

int runInfo(const QStringList& arguments)
{
    QCommandLineParser parser;
    if (const Expected<void, int> parsed = parseCommandLine(parser, name, arguments); !parsed)
        return parsed.error();
    if (parser.positionalArguments().size() != 1)
        return usageError(name, Cli::tr("expected one FILE"));
    const QString file = parser.positionalArguments().constFirst();
    const Expected<ProjectData> project = readProjectFile(file);
    if (!project)
        return fail(file, project.error().message);
    QTextStream out(stdout);
    out << Cli::tr("name: %1").arg(project->projectName) << '\n'
        << Cli::tr("schema: %1").arg(project->schemaVersion) << '\n'
        << Cli::tr("nodes: %1").arg(project->nodes.size()) << '\n'
        << Cli::tr("cables: %1").arg(project->cables.size()) << '\n'
        << Cli::tr("map: %1").arg(mapDescription(*project)) << '\n'
        << Cli::tr("types: %1").arg(project->typeColors.size()) << '\n';
    return exitOk;
}

const CommandRegistrar registrar(Command{
    name,
    QT_TRANSLATE_NOOP("velmora::cli", "info FILE"),
    QT_TRANSLATE_NOOP("velmora::cli", "Print the project's name, schema version, node, cable and "
                                      "type-colour counts and the\nmap image's size."),
    false,
    runInfo,
});

} // namespace
} // namespace velmora::cli
