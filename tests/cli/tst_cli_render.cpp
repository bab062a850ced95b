// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli render run as a process: the demo project renders non-blank at the requested
// size, in edit and live style; bad arguments and unreadable files give the documented codes.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString cli = QStringLiteral(VELMORA_PROGRAM_VELMORA_CLI);
const QString demo = QStringLiteral(VELMORA_SOURCE_DIR "/examples/demo.velmora");

int run(const QStringList& arguments)
{
    QProcess process;
    process.start(cli, QStringList{QStringLiteral("render")} + arguments);
    if (!process.waitForFinished(60000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
}

// Number of distinct colours in a coarse sample: a blank image has one.
int distinctColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

} // namespace

class TestCliRender final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(cli), qPrintable(cli));
        if (!QFile::exists(demo))
            QSKIP("the demo project is not in the tree yet");
    }

    void rendersDemo_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        QTest::newRow("default size") << QStringList() << QSize(1600, 1000);
        QTest::newRow("given size")
            << QStringList{QStringLiteral("--size"), QStringLiteral("640x480")} << QSize(640, 480);
        QTest::newRow("live") << QStringList{QStringLiteral("--live"),
                                             QStringLiteral("--size=300x200")}
                              << QSize(300, 200);
    }
    void rendersDemo()
    {
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("demo.png"));
        QCOMPARE(run(QStringList{demo, out} + options), 0);
        const QImage image(out);
        QCOMPARE(image.size(), size);
        QVERIFY(distinctColours(image) > 20);
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::newRow("missing output") << QStringList{demo} << 64;
        QTest::newRow("bad size") << QStringList{demo, QStringLiteral("x.png"),
                                                 QStringLiteral("--size"), QStringLiteral("12by4")}
                                  << 64;
        QTest::newRow("zero size")
            << QStringList{demo, QStringLiteral("x.png"), QStringLiteral("--size=0x10")} << 64;
        QTest::newRow("unknown option")
            << QStringList{demo, QStringLiteral("x.png"), QStringLiteral("--fast")} << 64;
        QTest::newRow("missing file")
            << QStringList{QStringLiteral("/nonexistent/a.velmora"), QStringLiteral("x.png")} << 2;
        QTest::newRow("unwritable output")
            << QStringList{demo, QStringLiteral("/nonexistent/dir/x.png")} << 2;
    }
    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        QCOMPARE(run(arguments), code);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.png"))));
    }
};

QTEST_GUILESS_MAIN(TestCliRender)
#include "tst_cli_render.moc"
