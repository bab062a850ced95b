// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli import-csv PROJECT CSV --mode replace|append [--keep-duplicates] -o OUT: the
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

int usageError(const QString& reason)
{
    QTextStream(stderr) << "velmora-cli import-csv: " << reason
                        << "\nusage: velmora-cli import-csv PROJECT CSV --mode replace|append "
                           "[--keep-duplicates] -o OUT\n";
    return exitUsage;
}

QString counted(qsizetype count, const QString& noun)
{
    return QString::number(count) + u' ' + noun + (count == 1 ? QString() : u"s"_s);
}

int runImportCsv(const QStringList& arguments)
{
    QStringList positional;
    std::optional<CSVImportMode> mode;
    std::optional<QString> out;
    bool keepDuplicates = false;
    const auto setMode = [&mode](const QString& name) {
        mode = csvImportModeFromName(name);
        return mode.has_value();
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == u"--mode"_s || argument == u"-o"_s || argument == u"--output"_s) {
            if (i + 1 >= arguments.size())
                return usageError(argument + u" needs a value"_s);
            const QString& value = arguments.at(++i);
            if (argument != u"--mode"_s)
                out = value;
            else if (!setMode(value))
                return usageError(u"--mode must be replace or append"_s);
        } else if (argument.startsWith(u"--mode="_s)) {
            if (!setMode(argument.mid(7)))
                return usageError(u"--mode must be replace or append"_s);
        } else if (argument == u"--keep-duplicates"_s) {
            keepDuplicates = true;
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            return usageError(u"unknown option "_s + argument);
        } else {
            positional.append(argument);
        }
    }
    if (positional.size() != 2)
        return usageError(u"expected PROJECT and CSV"_s);
    if (!mode)
        return usageError(u"--mode is required"_s);
    if (!out || out->isEmpty())
        return usageError(u"-o OUT is required"_s);

    const QString& projectPath = positional.at(0);
    const QString& csvPath = positional.at(1);
    Expected<ProjectData> project = readProjectFile(projectPath);
    if (!project)
        return fail(projectPath, project.error().message);

    ProjectDocument document(std::move(project).value());
    ProjectSession session(&document);
    session.ensureTypeColors();
    session.loadTypeColors();
    const CSVImportResult result = importCSV(session, csvPath, *mode, !keepDuplicates);
    if (!result.isApplied) // a refusal is the project's: its identifiers ran out
        return fail(result.isRefused ? projectPath : csvPath, result.error);

    const Expected<QByteArray> encoded = encodeProject(document.projectData());
    if (!encoded)
        return fail(projectPath, encoded.error().message);
    const Expected<void> written = writeFileAtomically(*out, *encoded);
    if (!written)
        return fail(*out, written.error().message);

    QTextStream(stdout) << "Added " << counted(result.added, u"node"_s) << ", skipped "
                        << result.skipped << '\n';
    return exitOk;
}

const CommandRegistrar registrar(Command{
    u"import-csv"_s,
    u"import-csv PROJECT CSV --mode replace|append [--keep-duplicates] -o OUT"_s,
    u"Import the nodes of CSV into PROJECT as the application does and write the result to\n"
    u"OUT (replaced atomically). Rows whose address is already taken are skipped unless\n"
    u"--keep-duplicates is given."_s,
    false,
    runImportCsv,
});

} // namespace
} // namespace velmora::cli
