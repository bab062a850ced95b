// SPDX-License-Identifier: GPL-3.0-or-later
// velmora: the desktop application. Project files named on the command line open at once;
// without any, the most recent project (or an untitled one) opens.

#include "app/document_controller.h"
#include "monitor/process_capabilities.h"
#include "panes/pane_style.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    // Installed with cap_net_raw for live mode: the ping socket is opened now and every
    // capability is given up before the display, plug-ins or any project are touched.
    if (!velmora::openIcmpSocketAndDropCapabilities(true)) {
        std::fputs("velmora: cannot give up the program's capabilities\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Velmora"_s);
    QApplication::setOrganizationName(u"Velmora"_s);
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    QGuiApplication::setDesktopFileName(u"velmora"_s);
    velmora::applyApplicationPalette(); // dialogs match the dark window
    // The installed theme icon wins; the built-in pictures serve an uninstalled build.
    QIcon builtInIcon;
    for (int size : {16, 32, 48, 64, 128, 256, 512})
        builtInIcon.addFile(u":/velmora/icons/velmora-%1.png"_s.arg(size), QSize(size, size));
    QApplication::setWindowIcon(QIcon::fromTheme(u"velmora"_s, builtInIcon));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Draw a small IP network and watch it live."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        u"files"_s, QCoreApplication::translate("main", "Project files (*.velmora) to open."),
        u"[files...]"_s);
    // Off by default: the windows open in edit mode unless asked (kiosk screens, benchmarks).
    const QCommandLineOption liveOption(
        u"live"_s, QCoreApplication::translate("main", "Open the windows in live mode."));
    parser.addOption(liveOption);
    parser.process(app);

    velmora::DocumentController controller;
    controller.launch(parser.positionalArguments(),
                      parser.isSet(liveOption) ? velmora::AppMode::live : velmora::AppMode::edit);
    return QApplication::exec();
}
