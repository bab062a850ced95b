// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real velmora-thumbnailer as a file manager would and checks the PNG it writes: its
// size, that the icon is stretched over all of it, the transparent result without an icon, that
// the input is never opened, and the exit status for bad arguments and unwritable outputs.

#include "support/files.h"
#include "support/pixels.h"
#include "support/process.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace velmora::test;

namespace {

// A test icon whose four quadrants and centre have distinct colours, so that a flip, a crop or
// an aspect-preserving fit shows up at the sampled pixels.
const QColor topLeftColor(255, 0, 0);
const QColor topRightColor(0, 200, 0);
const QColor bottomLeftColor(0, 0, 255);
const QColor bottomRightColor(255, 255, 0, 128);
const QColor centreColor(255, 255, 255);

QImage quadrantIcon()
{
    QImage icon(40, 40, QImage::Format_ARGB32);
    QPainter painter(&icon);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(0, 0, 20, 20, topLeftColor);
    painter.fillRect(20, 0, 20, 20, topRightColor);
    painter.fillRect(0, 20, 20, 20, bottomLeftColor);
    painter.fillRect(20, 20, 20, 20, bottomRightColor);
    painter.fillRect(16, 16, 8, 8, centreColor);
    return icon;
}

// The thumbnail at `output`, in a format whose pixels compare as written; null if unreadable.
QImage thumbnailAt(const QString& output)
{
    return QImage(output, "PNG").convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestThumbnailer final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_quadrantThumbnailer = installInto(u"quadrants"_s);
        QVERIFY(!m_quadrantThumbnailer.isEmpty());
        QVERIFY(
            quadrantIcon().save(m_dir.filePath(u"quadrants/share/velmora/Velmora_AppIcon.png"_s)));
    }

    void stretchesIconOverRequestedSize_data()
    {
        QTest::addColumn<QStringList>("sizeArguments");
        QTest::addColumn<QSize>("expectedSize");
        QTest::newRow("-s 256") << QStringList{u"-s"_s, u"256"_s} << QSize(256, 256);
        QTest::newRow("--size 512x256")
            << QStringList{u"--size"_s, u"512x256"_s} << QSize(512, 256);
    }

    void stretchesIconOverRequestedSize()
    {
        QFETCH(QStringList, sizeArguments);
        QFETCH(QSize, expectedSize);
        const QString output = m_dir.filePath(u"stretch.png"_s);
        QCOMPARE(run(m_quadrantThumbnailer, sizeArguments + QStringList{u"p.velmora"_s, output}),
                 0);
        const QImage image = thumbnailAt(output);
        QCOMPARE(image.size(), expectedSize);

        // Sampled in each corner and the centre of the stretched icon.
        const struct {
            double fx, fy;
            QColor color;
        } samples[] = {{0.0, 0.0, topLeftColor},
                       {0.99, 0.0, topRightColor},
                       {0.0, 0.99, bottomLeftColor},
                       {0.99, 0.99, bottomRightColor},
                       {0.5, 0.5, centreColor}};
        for (const auto& sample : samples) {
            const QPoint at(int(sample.fx * (image.width() - 1) + 0.5),
                            int(sample.fy * (image.height() - 1) + 0.5));
            QVERIFY2(colorsNear(image.pixelColor(at), sample.color, 2),
                     qPrintable(u"pixel (%1, %2) is %3"_s.arg(at.x()).arg(at.y()).arg(
                         image.pixelColor(at).name(QColor::HexArgb))));
        }
    }

    void drawsTheApplicationIcon()
    {
        // The build tree's executable finds the icon beside itself.
        const QString output = m_dir.filePath(u"app-icon.png"_s);
        QCOMPARE(run(QStringLiteral(VELMORA_PROGRAM_VELMORA_THUMBNAILER),
                     {u"--size"_s, u"512x256"_s, u"demo.velmora"_s, output}),
                 0);
        const QImage image = thumbnailAt(output);
        const QImage reference =
            QImage(QStringLiteral(VELMORA_SOURCE_DIR "/data/Velmora_AppIcon.png"))
                .scaled(512, 256, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), reference.size());
        // Premultiplied-alpha rounding may move a pixel by a step; a wrong, cropped, flipped or
        // letterboxed picture differs by more on many pixels.
        int differing = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                differing +=
                    colorsNear(image.pixelColor(x, y), reference.pixelColor(x, y), 3) ? 0 : 1;
        }
        QVERIFY2(differing < 512 * 256 / 100, qPrintable(QString::number(differing)));
    }

    // A missing or broken icon still gives a thumbnail: a transparent one.
    void transparentWithoutUsableIcon_data()
    {
        QTest::addColumn<QString>("prefixName");
        QTest::addColumn<QByteArray>("iconBytes"); // written as share/velmora/Velmora_AppIcon.png
        QTest::newRow("icon missing") << u"no-icon"_s << QByteArray();
        QTest::newRow("icon not a PNG") << u"garbage-icon"_s << QByteArray("not an image\n");
    }

    void transparentWithoutUsableIcon()
    {
        QFETCH(QString, prefixName);
        QFETCH(QByteArray, iconBytes);
        const QString thumbnailer = installInto(prefixName);
        QVERIFY(!thumbnailer.isEmpty());
        if (!iconBytes.isNull())
            QVERIFY(writeFile(m_dir.filePath(prefixName + u"/share/velmora/Velmora_AppIcon.png"_s),
                              iconBytes));
        const QString output = m_dir.filePath(prefixName + u".png"_s);
        QCOMPARE(run(thumbnailer, {u"--size"_s, u"300x200"_s, u"p.velmora"_s, output}), 0);
        const QImage image = thumbnailAt(output);
        QCOMPARE(image.size(), QSize(300, 200));
        QCOMPARE(countNotNear(image, Qt::transparent, 0), 0);
    }

    // The project is never opened: a pipe nobody writes to would block a reader, a missing file
    // would fail it. Every input gives the same picture, over an output that already exists.
    void sameThumbnailWhateverTheInput()
    {
        const QString project = m_dir.filePath(u"first.velmora"_s);
        const QString fifo = m_dir.filePath(u"fifo.velmora"_s);
        QVERIFY(writeFile(project, R"({"nodes": [{"id": 1, "name": "Router"}]})"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QByteArray expected;
        for (const QString& input : {project, fifo, m_dir.filePath(u"missing.velmora"_s)}) {
            const QString output = m_dir.filePath(u"same.png"_s);
            QVERIFY(writeFile(output, "stale bytes that are not a PNG"));
            QCOMPARE(run(QStringLiteral(VELMORA_PROGRAM_VELMORA_THUMBNAILER),
                         {u"-s"_s, u"128"_s, input, output}),
                     0);
            const QByteArray bytes = readFile(output);
            QVERIFY(bytes.startsWith("\x89PNG"));
            if (expected.isEmpty())
                expected = bytes;
            QVERIFY2(bytes == expected, qPrintable(input));
        }
    }

    void badArgumentsExit64_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const QString in = u"in.velmora"_s;
        const QString out = u"out.png"_s;
        QTest::newRow("no size") << QStringList{in, out};
        QTest::newRow("size without value") << QStringList{in, out, u"-s"_s};
        QTest::newRow("size zero") << QStringList{u"-s"_s, u"0"_s, in, out};
        QTest::newRow("size not a number") << QStringList{u"-s"_s, u"12.5"_s, in, out};
        QTest::newRow("size too large") << QStringList{u"-s"_s, u"4097"_s, in, out};
        QTest::newRow("height missing") << QStringList{u"--size"_s, u"512x"_s, in, out};
        QTest::newRow("unknown option") << QStringList{u"--frobnicate"_s, u"-s"_s, u"8"_s, in, out};
        QTest::newRow("empty output path") << QStringList{u"-s"_s, u"8"_s, in, QString()};
    }

    void badArgumentsExit64()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path()); // where a relative OUTPUT would be written
        const ProcessResult result =
            runProgram(QStringLiteral(VELMORA_PROGRAM_VELMORA_THUMBNAILER), arguments);
        QCOMPARE(result.exitCode, 64);
        QVERIFY2(result.err.contains("Usage: velmora-thumbnailer"), result.err.constData());
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void unwritableOutputExits2()
    {
        const QString output = m_dir.filePath(u"no/such/folder/out.png"_s);
        const ProcessResult result = runProgram(QStringLiteral(VELMORA_PROGRAM_VELMORA_THUMBNAILER),
                                                {u"-s"_s, u"64"_s, u"in.velmora"_s, output});
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(QFile::encodeName(output)), result.err.constData());
    }

private:
    // Copies the executable into <prefix>/bin of a fresh prefix inside the temporary folder, the
    // layout it has once installed, with an empty <prefix>/share/velmora; returns the copy's
    // path, or an empty string on failure.
    QString installInto(const QString& prefixName)
    {
        const QString built = QStringLiteral(VELMORA_PROGRAM_VELMORA_THUMBNAILER);
        const QString copy = m_dir.filePath(prefixName + u"/bin/velmora-thumbnailer"_s);
        const bool made = QDir().mkpath(m_dir.filePath(prefixName + u"/bin"_s)) &&
                          QDir().mkpath(m_dir.filePath(prefixName + u"/share/velmora"_s)) &&
                          QFile::copy(built, copy) &&
                          QFile::setPermissions(copy, QFile::permissions(built));
        return made ? copy : QString();
    }

    static int run(const QString& program, const QStringList& arguments)
    {
        // A thumbnailer that opened a FIFO as its input would block; it is killed instead.
        return runProgram(program, arguments, {.timeoutMs = 20000}).exitCode;
    }

    QTemporaryDir m_dir;
    QString m_quadrantThumbnailer;
};

QTEST_GUILESS_MAIN(TestThumbnailer)
#include "tst_thumbnailer.moc"
