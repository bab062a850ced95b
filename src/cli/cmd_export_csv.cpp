// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli export-csv PROJECT [OUT.csv]: the project's nodes as a CSV file, exactly as the
// application's export writes it; to standard output when OUT is not given.

#include "cli/command_registry.h"
#include "csv/csv_export.h"
#include "model/project_file.h"

#include <QFile>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

int runExportCsv(const QStringList& arguments)
{
    if (arguments.isEmpty() || arguments.size() > 2 || arguments.first().startsWith(u'-')) {
        QTextStream(stderr) << "usage: velmora-cli export-csv PROJECT [OUT.csv]\n";
        return exitUsage;
    }
    const QString& in = arguments.at(0);
    const Expected<ProjectData> project = readProjectFile(in);
    if (!project)
        return fail(in, project.error().message);

    if (arguments.size() == 2) {
        const QString& out = arguments.at(1);
        if (const std::optional<QString> failure = writeCSV(out, *project))
            return fail(out, *failure);
        return exitOk;
    }
    QFile output;
    const QByteArray bytes = csvText(*project).toUtf8();
    if (!output.open(stdout, QIODevice::WriteOnly) || output.write(bytes) != bytes.size() ||
        !output.flush()) {
        return fail(u"standard output"_s, output.errorString());
    }
    return exitOk;
}

const CommandRegistrar registrar(Command{
    u"export-csv"_s,
    u"export-csv PROJECT [OUT.csv]"_s,
    u"Write the nodes of PROJECT as \"Name,Type,IP\" lines to OUT.csv (replaced atomically),\n"
    u"or to standard output."_s,
    false,
    runExportCsv,
});

} // namespace
} // namespace velmora::cli
