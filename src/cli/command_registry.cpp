// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_registry.h"

#include <QTextStream>

namespace velmora::cli {

namespace {
QList<Command>& registry()
{
    static QList<Command> commands;
    return commands;
}
} // namespace

void registerCommand(Command command)
{
    registry().append(std::move(command));
}

const QList<Command>& registeredCommands()
{
    return registry();
}

int fail(const QString& file, const QString& reason)
{
    QTextStream err(stderr);
    err << "velmora-cli: " << file << ": " << reason << Qt::endl;
    return exitFailure;
}

} // namespace velmora::cli
