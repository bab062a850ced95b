// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli import-csv PROJECT CSV --mode replace|append [--keep-duplicates]
// [--name-column C] [--type-column C] [--ip-column C] -o OUT: the
// application's CSV import without the window: same reading, skip rules and grid layout.

#include "cli/command_registry.h"
#include "csv/csv_import.h"
#include "model/project_codec.h"
#include "model/project_file.h"
#include "model/project_session.h"

#include <QTextStream>

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

const QString name = u"import-csv"_s;

int runImportCSV(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption modeOption(u"mode"_s, QString(), u"MODE"_s);
    const QCommandLineOption keepOption(u"keep-duplicates"_s);
    const QCommandLineOption outOption(QStringList{u"o"_s, u"output"_s}, QString(), u"OUT"_s);
    const QCommandLineOption nameColumn(u"name-column"_s, QString(), u"COLUMN"_s);
    const QCommandLineOption typeColumn(u"type-column"_s, QString(), u"COLUMN"_s);
    const QCommandLineOption ipColumn(u"ip-column"_s, QString(), u"COLUMN"_s);
    parser.addOptions({modeOption, keepOption, outOption, nameColumn, typeColumn, ipColumn});
    if (const Expected<void, int> parsed = parseCommandLine(parser, name, arguments); !parsed)
        return parsed.error();
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return usageError(name, Cli::tr("expected PROJECT and CSV"));
    if (!parser.isSet(modeOption))
        return usageError(name, Cli::tr("--mode is required"));
    const std::optional<CSVImportMode> mode = csvImportModeFromName(parser.value(modeOption));
    if (!mode)
        return usageError(name, Cli::tr("--mode must be replace or append"));
    const QString out = parser.value(outOption);
    if (out.isEmpty())
        return usageError(name, Cli::tr("-o OUT is required"));

    const QString& projectPath = files.at(0);
    const QString& csvPath = files.at(1);
    Expected<ProjectData> project = readProjectFile(projectPath);
    if (!project)
        return fail(projectPath, project.error().message);

    // Columns named on the command line replace the detected ones; they are resolved against
    // the file as it reads without them.
    std::optional<CSVColumnChoice> choice;
    if (parser.isSet(nameColumn) || parser.isSet(typeColumn) || parser.isSet(ipColumn)) {
        const Expected<CSVRows> detected = parseCSVRows(csvPath);
        if (!detected)
            return fail(csvPath, detected.error().message);
        const Expected<CSVColumnChoice> resolved =
            resolveCSVColumns(*detected, {parser.value(nameColumn), parser.value(typeColumn),
                                          parser.value(ipColumn)});
        if (!resolved)
            return fail(csvPath, resolved.error().message);
        choice = *resolved;
    }

    ProjectDocument document(std::move(project).value());
    ProjectSession session(&document);
    session.ensureTypeColors();
    session.loadTypeColors();
    const CSVImportResult result =
        importCSV(session, csvPath, *mode, !parser.isSet(keepOption), choice);
    if (!result) // a refusal is the project's: its identifiers ran out
        return fail(result.error().isRefused ? projectPath : csvPath, result.error().message);

    const Expected<QByteArray> encoded = encodeProject(document.projectData());
    if (!encoded)
        return fail(projectPath, encoded.error().message);
    const Expected<void> written = writeFileAtomically(out, *encoded);
    if (!written)
        return fail(out, written.error().message);

    QTextStream(stdout) << (result->added == 1 ? Cli::tr("Added %1 node, skipped %2")
                                               : Cli::tr("Added %1 nodes, skipped %2"))
                               .arg(result->added)
                               .arg(result->skipped)
                        << '\n';
    return exitOk;
}

const CommandRegistrar registrar(Command{
    name,
    QT_TRANSLATE_NOOP("velmora::cli",
                      "import-csv PROJECT CSV --mode replace|append [--keep-duplicates] "
                      "[--name-column C] [--type-column C] [--ip-column C] -o OUT"),
    QT_TRANSLATE_NOOP("velmora::cli",
                      "Import the nodes of CSV into PROJECT as the application does and write the "
                      "result to\nOUT (replaced atomically). Rows whose address is already taken "
                      "are skipped unless\n--keep-duplicates is given. A column option takes the "
                      "column's header text or its\n1-based index instead of the detected column."),
    false,
    runImportCSV,
});

} // namespace
} // namespace velmora::cli
