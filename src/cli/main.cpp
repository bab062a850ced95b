// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli: headless commands on project files. The command is looked up before the Qt
// application object exists, because commands that render need a QGuiApplication (on the
// offscreen platform unless the caller chose one) while the rest run under QCoreApplication.

#include "cli/command_registry.h"
#include "monitor/process_capabilities.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;
using velmora::cli::Command;

namespace {

QString usage()
{
    QString text = u"Usage: velmora-cli COMMAND [ARGUMENTS]\n\nCommands:\n"_s;
    QList<Command> commands = velmora::cli::registeredCommands();
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    for (const Command& command : std::as_const(commands)) {
        text += u"  "_s + command.synopsis + u'\n';
        const QStringList lines = command.description.split(u'\n');
        for (const QString& line : lines)
            text += u"      "_s + line + u'\n';
    }
    text += u"\nOptions:\n  --help, -h     show this list\n\n"_s
            u"Exit status: 0 success, 2 a file could not be read, decoded or written,\n"_s
            u"3 no ICMP socket may be opened, "_s
            u"64 bad usage.\n"_s;
    return text;
}

const Command* findCommand(const QString& name)
{
    const QList<Command>& commands = velmora::cli::registeredCommands();
    const auto it = std::find_if(commands.begin(), commands.end(),
                                 [&](const Command& c) { return c.name == name; });
    return it == commands.end() ? nullptr : &*it;
}

} // namespace

int main(int argc, char* argv[])
{
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (first == u"--help"_s || first == u"-h"_s || first == u"help"_s) {
        QTextStream(stdout) << usage();
        return velmora::cli::exitOk;
    }
    const Command* command = first.isEmpty() ? nullptr : findCommand(first);
    // Installed with cap_net_raw for `monitor`: the socket is opened now and every capability
    // is given up before any argument or file is read.
    if (!velmora::openIcmpSocketAndDropCapabilities(command && command->usesIcmp)) {
        QTextStream(stderr) << "velmora-cli: cannot give up the program's capabilities\n";
        return velmora::cli::exitFailure;
    }
    if (!command) {
        QTextStream err(stderr);
        if (!first.isEmpty())
            err << "velmora-cli: unknown command \"" << first << "\"\n\n";
        err << usage();
        return velmora::cli::exitUsage;
    }

    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            QTextStream(stdout) << "Usage: velmora-cli " << command->synopsis << "\n\n"
                                << command->description << '\n';
            return velmora::cli::exitOk;
        }
    }

    std::unique_ptr<QCoreApplication> app;
    if (command->needsGui) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(u"velmora-cli"_s);
    QCoreApplication::setOrganizationName(u"Velmora"_s);
    // Arguments after the command name, decoded by Qt the same way as the command itself.
    const QStringList arguments = QCoreApplication::arguments().mid(2);
    return command->run(arguments);
}
