// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli normalize IN OUT: rewrites a project in Velmora's own layout (sorted keys, fixed
// indentation), so files compare byte for byte. OUT is replaced atomically or not at all.

#include "cli/command_registry.h"
#include "model/project_codec.h"
#include "model/project_file.h"

#include <QTextStream>

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

int runNormalize(const QStringList& arguments)
{
    if (arguments.size() != 2) {
        QTextStream(stderr) << "usage: velmora-cli normalize IN OUT\n";
        return exitUsage;
    }
    const QString& in = arguments.at(0);
    const QString& out = arguments.at(1);
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
    u"normalize"_s,
    u"normalize IN OUT"_s,
    u"Read the project IN and write it to OUT in Velmora's own layout. OUT is replaced\n"
    u"atomically, and left untouched on any failure."_s,
    false,
    runNormalize,
});

} // namespace
} // namespace velmora::cli
