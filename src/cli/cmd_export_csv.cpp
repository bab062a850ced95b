// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli export-csv PROJECT [OUT.csv]: the project's nodes as a CSV file, exactly as the
// application's export writes it; to standard output when OUT is not given.

#include "cli/command_registry.h"
#include "csv/csv_export.h"
#include "model/project_file.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

const QString name = u"export-csv"_s;

int runExportCSV(const QStringList& arguments)
{
    QCommandLineParser parser;
    if (const Expected<void, int> parsed = parseCommandLine(parser, name, arguments); !parsed)
        return parsed.error();
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty() || files.size() > 2)
        return usageError(name, Cli::tr("expected PROJECT and at most one OUT.csv"));

    const QString& in = files.at(0);
    const Expected<ProjectData> project = readProjectFile(in);
    if (!project)
        return fail(in, project.error().message);
    if (files.size() == 2) {
        const Expected<void> written = writeCSV(files.at(1), *project);
        return written ? exitOk : fail(files.at(1), written.error().message);
    }
    QFile output;
    const QByteArray bytes = csvText(*project).toUtf8();
    if (!output.open(stdout, QIODevice::WriteOnly) || output.write(bytes) != bytes.size() ||
        !output.flush()) {
        return fail(Cli::tr("standard output"), output.errorString());
    }
    return exitOk;
}

const CommandRegistrar registrar(Command{
    name,
    QT_TRANSLATE_NOOP("velmora::cli", "export-csv PROJECT [OUT.csv]"),
    QT_TRANSLATE_NOOP("velmora::cli",
                      "Write the nodes of PROJECT as \"Name,Type,IP\" lines to OUT.csv (replaced "
                      "atomically),\nor to standard output."),
    false,
    runExportCSV,
});

} // namespace
} // namespace velmora::cli
