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
#include <memory>

using namespace Qt::StringLiterals;
using namespace velmora::cli;

namespace {

QString usage()
{
    QString text = Cli::tr("Usage: velmora-cli COMMAND [ARGUMENTS]\n\nCommands:\n");
    QList<Command> commands = registeredCommands();
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    for (const Command& command : std::as_const(commands)) {
        text += u"  "_s + Cli::tr(command.synopsis) + u'\n';
        const QStringList lines = Cli::tr(command.description).split(u'\n');
        for (const QString& line : lines)
            text += u"      "_s + line + u'\n';
    }
    text += Cli::tr("\nOptions:\n  --help, -h     show this list\n\n"
                    "Exit status: 0 success, 2 a file could not be read, decoded or written,\n"
                    "3 no ICMP socket may be opened, 64 bad usage.\n");
    return text;
}

// The top level of the command line: -h/--help, then the command's name; everything after the
// name belongs to the command, which reads it with its own options.
struct TopLevel {
    QCommandLineParser parser;
    QCommandLineOption help{QStringList{u"h"_s, u"help"_s}};
    bool parsed = false;

    explicit TopLevel(const QStringList& arguments)
    {
        parser.setOptionsAfterPositionalArgumentsMode(
            QCommandLineParser::ParseAsPositionalArguments);
        parser.addOption(help);
        parsed = parser.parse(arguments);
    }
    QString commandName() const { return parser.positionalArguments().value(0); }
    QStringList commandArguments() const { return parser.positionalArguments().mid(1); }
};

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const TopLevel top(arguments);
    if (top.parsed && (top.parser.isSet(top.help) || top.commandName() == u"help"_s)) {
        QTextStream(stdout) << usage();
        return exitOk;
    }
    const Command* command = top.parsed ? findCommand(top.commandName()) : nullptr;
    // Installed with cap_net_raw for `monitor`: the socket is opened now and every capability
    // is given up before any file is read.
    if (!velmora::openIcmpSocketAndDropCapabilities(command && command->usesIcmp)) {
        QTextStream(stderr) << Cli::tr("velmora-cli: cannot give up the program's capabilities")
                            << '\n';
        return exitFailure;
    }
    if (!command) {
        QTextStream err(stderr);
        if (!top.parsed)
            err << "velmora-cli: " << top.parser.errorText() << "\n\n";
        else if (!top.commandName().isEmpty())
            err << Cli::tr("velmora-cli: unknown command \"%1\"").arg(top.commandName()) << "\n\n";
        err << usage();
        return exitUsage;
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
    // Read again as Qt passes them on, without the options Qt itself takes (-platform).
    return command->run(TopLevel(QCoreApplication::arguments()).commandArguments());
}
