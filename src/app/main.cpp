// SPDX-License-Identifier: GPL-3.0-or-later
// velmora: the desktop application. Project files named on the command line open at once;
// without any, the most recent project (or an untitled one) opens.

#include "app/document_controller.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Velmora"_s);
    QApplication::setOrganizationName(u"Velmora"_s);
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    QGuiApplication::setDesktopFileName(u"velmora"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Draw a small IP network and watch it live."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(u"files"_s, u"Project files (*.velmora) to open."_s,
                                 u"[files...]"_s);
    parser.process(app);

    velmora::DocumentController controller;
    controller.launch(parser.positionalArguments());
    return QApplication::exec();
}
