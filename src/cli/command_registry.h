// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// velmora-cli's commands. Each command lives in its own cmd_<name>.cpp and registers itself with
// a static CommandRegistrar, so adding a command touches no other file.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmora::cli {

// Exit codes shared by every command.
inline constexpr int exitOk = 0;
inline constexpr int exitFailure = 2;    // a file could not be read, decoded or written
inline constexpr int exitCannotPing = 3; // neither ICMP socket kind may be opened
inline constexpr int exitUsage = 64;     // unknown command or bad arguments (EX_USAGE)

struct Command {
    QString name;
    QString synopsis;      // "info FILE"
    QString description;   // one or two lines for --help
    bool needsGui = false; // renders with QtGui: run under a QGuiApplication (offscreen)
    std::function<int(const QStringList& arguments)> run; // arguments after the command name
    bool usesIcmp = false; // opens the ping engine's socket at start, before capabilities go
};

void registerCommand(Command command);
const QList<Command>& registeredCommands();

struct CommandRegistrar {
    explicit CommandRegistrar(Command command) { registerCommand(std::move(command)); }
};

// "velmora-cli: <file>: <reason>" on stderr; returns exitFailure.
int fail(const QString& file, const QString& reason);

} // namespace velmora::cli
