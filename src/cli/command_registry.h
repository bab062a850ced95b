// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// velmora-cli's commands. Each command lives in its own cmd_<name>.cpp and registers itself with
// a static CommandRegistrar, so adding a command touches no other file.

#include "model/expected.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmora::cli {

// Every text velmora-cli prints goes through Cli::tr(), so that the program can be translated.
struct Cli {
    Q_DECLARE_TR_FUNCTIONS(velmora::cli)
};

// Exit codes shared by every command.
inline constexpr int exitOk = 0;
inline constexpr int exitFailure = 2;    // a file could not be read, decoded or written
inline constexpr int exitCannotPing = 3; // neither ICMP socket kind may be opened
inline constexpr int exitUsage = 64;     // unknown command or bad arguments (EX_USAGE)

struct Command {
    QString name;
    const char* synopsis;    // "info FILE", translated when printed (QT_TRANSLATE_NOOP)
    const char* description; // one or two lines for --help, likewise
    bool needsGui = false;   // renders with QtGui: run under a QGuiApplication (offscreen)
    std::function<int(const QStringList& arguments)> run; // arguments after the command name
    bool usesIcmp = false; // opens the ping engine's socket at start, before capabilities go
};

void registerCommand(Command command);
const QList<Command>& registeredCommands();
// The command of that name, or null.
const Command* findCommand(const QString& name);

struct CommandRegistrar {
    explicit CommandRegistrar(Command command) { registerCommand(std::move(command)); }
};

// Reads the arguments of `command` (after its name) into `parser`, which holds the command's
// options; -h/--help is added here. Fails with the status to exit with: exitOk once the command's
// help is printed, exitUsage once an unknown option or a missing value is reported.
Expected<void, int> parseCommandLine(QCommandLineParser& parser, const QString& command,
                                     const QStringList& arguments);

// "velmora-cli <command>: <reason>" and the command's synopsis on stderr; returns exitUsage.
int usageError(const QString& command, const QString& reason);

// "velmora-cli: <file>: <reason>" on stderr; returns exitFailure.
int fail(const QString& file, const QString& reason);

} // namespace velmora::cli
