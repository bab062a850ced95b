// SPDX-License-Identifier: GPL-3.0-or-later
// The real velmora executable at launch: a recent document that no longer exists is reported on
// standard output with the fixed prefix, and the application keeps running with a new window.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestAppLaunch final : public QObject {
    Q_OBJECT
private slots:
    void deletedRecentDocumentIsReportedOnStdout();
    void helpExits();
};

namespace {

QString velmoraBinary()
{
    return QStringLiteral(VELMORA_PROGRAM_VELMORA);
}

} // namespace

void TestAppLaunch::deletedRecentDocumentIsReportedOnStdout()
{
    QTemporaryDir config;
    const QString gone = config.filePath(u"moved away.velmora"_s);
    {
        // Where QSettings() of organisation "Velmora", application "Velmora" looks.
        QSettings settings(config.filePath(u"Velmora/Velmora.conf"_s), QSettings::IniFormat);
        settings.setValue(u"recentFiles"_s, QStringList{gone});
    }
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, config.path());
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    app.setProcessEnvironment(env);
    app.start(velmoraBinary(), {});
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
    // Still running: the failure is not fatal.
    QCOMPARE(app.state(), QProcess::Running);
    app.kill();
    app.waitForFinished();
    QCOMPARE(out, expected);
}

void TestAppLaunch::helpExits()
{
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    app.setProcessEnvironment(env);
    app.start(velmoraBinary(), {u"--help"_s});
    QVERIFY(app.waitForFinished(10000));
    QCOMPARE(app.exitCode(), 0);
    QVERIFY(app.readAllStandardOutput().contains("files"));
}

QTEST_GUILESS_MAIN(TestAppLaunch)
#include "tst_app_launch.moc"
