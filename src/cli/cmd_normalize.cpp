// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli normalize IN OUT: rewrites a project in Velmora's own layout (sorted keys, fixed
// indentation), so files compare byte for byte. OUT is replaced atomically or not at all.

#include "cli/command_registry.h"
#include "model/project_codec.h"
#include "model/project_file.h"

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

const QString name = u"normalize"_s;

int runNormalize(const QStringList& arguments)
{
    QCommandLineParser parser;
    if (const Expected<void, int> parsed = parseCommandLine(parser, name, arguments); !parsed)
        return parsed.error();
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return usageError(name, Cli::tr("expected IN and OUT"));
    const QString& in = files.at(0);
    const QString& out = files.at(1);
    const Expected<ProjectData> project = readProjectFile(in);
    if (!project)
        return fail(in, project.error().message);
    const Expected<QByteArray> encoded = encodeProject(*project);
    if (!encoded)
        return fail(in, encoded.error().message);
    const Expected<void> written = writeFileAtomically(out, *encoded);
    if (!written)
        return fail(out, written.error().message);
    return exitOk;
}

const CommandRegistrar registrar(Command{
    name,
    QT_TRANSLATE_NOOP("velmora::cli", "normalize IN OUT"),
    QT_TRANSLATE_NOOP("velmora::cli", "Read the project IN and write it to OUT in Velmora's own "
                                      "layout. OUT is replaced\natomically, and left untouched "
                                      "on any failure."),
    false,
    runNormalize,
});

} // namespace
} // namespace velmora::cli
