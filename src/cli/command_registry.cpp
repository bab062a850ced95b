// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_registry.h"

#include <QTextStream>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmora::cli {

namespace {

QList<Command>& registry()
{
    static QList<Command> commands;
    return commands;
}

QString synopsisOf(const QString& command)
{
    const Command* found = findCommand(command);
    return found ? Cli::tr(found->synopsis) : command;
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

const Command* findCommand(const QString& name)
{
    const QList<Command>& commands = registry();
    const auto it = std::find_if(commands.cbegin(), commands.cend(),
                                 [&](const Command& c) { return c.name == name; });
    return it == commands.cend() ? nullptr : &*it;
}

Expected<void, int> parseCommandLine(QCommandLineParser& parser, const QString& command,
                                     const QStringList& arguments)
{
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    parser.addOption(help);
    // parse() skips the first entry, the program's name; here it is the command's.
    if (!parser.parse(QStringList{command} + arguments))
        return usageError(command, parser.errorText());
    if (parser.isSet(help)) {
        const Command* found = findCommand(command);
        QTextStream(stdout) << Cli::tr("Usage: velmora-cli %1").arg(synopsisOf(command)) << "\n\n"
                            << (found ? Cli::tr(found->description) : QString()) << '\n';
        return exitOk;
    }
    return {};
}

int usageError(const QString& command, const QString& reason)
{
    QTextStream(stderr) << "velmora-cli " << command << ": " << reason << '\n'
                        << Cli::tr("usage: velmora-cli %1").arg(synopsisOf(command)) << '\n';
    return exitUsage;
}

int fail(const QString& file, const QString& reason)
{
    QTextStream err(stderr);
    err << "velmora-cli: " << file << ": " << reason << Qt::endl;
    return exitFailure;
}

} // namespace velmora::cli
