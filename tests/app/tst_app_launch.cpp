// SPDX-License-Identifier: GPL-3.0-or-later
// The real velmora executable at launch: a recent document that no longer exists is reported on
// standard output with the fixed prefix, and the application keeps running with a new window.

#include "support/process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestAppLaunch final : public QObject {
    Q_OBJECT
private slots:
    void deletedRecentDocumentIsReportedOnStdout()
    {
        QTemporaryDir config;
        const QString gone = config.filePath(u"moved away.velmora"_s);
        // Where QSettings() of organisation "Velmora", application "Velmora" looks.
        QSettings(config.filePath(u"Velmora/Velmora.conf"_s), QSettings::IniFormat)
            .setValue(u"recentFiles"_s, QStringList{gone});
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, config.path());
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(VELMORA_PROGRAM_VELMORA), {});
        QVERIFY2(app.waitForStarted(), qPrintable(app.errorString()));
        const QByteArray expected =
            "Failed to open recent document: " + QFile::encodeName(gone) + ": no such file\n";
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (out.size() < expected.size() && timer.elapsed() < 10000) {
            app.waitForReadyRead(200);
            out += app.readAllStandardOutput();
        }
        QCOMPARE(app.state(), QProcess::Running); // still running: the failure is not fatal
        app.kill();
        app.waitForFinished();
        QCOMPARE(out, expected);
    }

    void helpExits()
    {
        const auto help =
            velmora::test::runProgram(QStringLiteral(VELMORA_PROGRAM_VELMORA), {u"--help"_s});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("files"));
    }
};

QTEST_GUILESS_MAIN(TestAppLaunch)
#include "tst_app_launch.moc"
