// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real velmora-thumbnailer as a file manager would and checks the PNG it writes: its
// size, that the icon is stretched over all of it, the transparent result without an icon, and
// the exit status for bad arguments and unwritable outputs.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct RunResult {
    int exitCode = -1;
    QByteArray standardError;
};

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
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(0, 0, 20, 20, topLeftColor);
    painter.fillRect(20, 0, 20, 20, topRightColor);
    painter.fillRect(0, 20, 20, 20, bottomLeftColor);
    painter.fillRect(20, 20, 20, 20, bottomRightColor);
    painter.fillRect(16, 16, 8, 8, centreColor);
    return icon;
}

bool sameColor(QRgb actual, const QColor& expected, int tolerance)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance &&
           std::abs(qGreen(actual) - expected.green()) <= tolerance &&
           std::abs(qBlue(actual) - expected.blue()) <= tolerance &&
           std::abs(qAlpha(actual) - expected.alpha()) <= tolerance;
}

bool isFullyTransparent(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) != 0) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

class ThumbnailerTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void stretchesIconOverRequestedSize_data();
    void stretchesIconOverRequestedSize();
    void drawsTheInstalledApplicationIcon_data();
    void drawsTheInstalledApplicationIcon();
    void transparentWithoutUsableIcon_data();
    void transparentWithoutUsableIcon();
    void sameThumbnailWhateverTheInput();
    void badArgumentsExit64_data();
    void badArgumentsExit64();
    void unwritableOutputExits2_data();
    void unwritableOutputExits2();

private:
    // Copies the executable into <prefix>/bin of a fresh prefix inside the temporary folder, the
    // layout it has once installed; returns the copy's path, or an empty string on failure.
    QString installInto(const QString& prefixName);
    RunResult run(const QString& program, const QStringList& arguments);

    QTemporaryDir m_dir;
    QString m_builtThumbnailer;
    QString m_quadrantThumbnailer;
};

void ThumbnailerTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_builtThumbnailer = QStringLiteral(VELMORA_PROGRAM_VELMORA_THUMBNAILER);
    QVERIFY2(QFile::exists(m_builtThumbnailer), qPrintable(m_builtThumbnailer));

    m_quadrantThumbnailer = installInto(u"quadrants"_s);
    QVERIFY(!m_quadrantThumbnailer.isEmpty());
    QVERIFY(QDir(m_dir.path()).mkpath(u"quadrants/share/velmora"_s));
    QVERIFY(quadrantIcon().save(m_dir.filePath(u"quadrants/share/velmora/Velmora_AppIcon.png"_s)));
}

QString ThumbnailerTest::installInto(const QString& prefixName)
{
    const QString binDir = m_dir.filePath(prefixName + u"/bin"_s);
    QDir().mkpath(binDir);
    const QString copy = binDir + u"/velmora-thumbnailer"_s;
    if (!QFile::exists(copy) &&
        !(QFile::copy(m_builtThumbnailer, copy) &&
          QFile::setPermissions(copy, QFile::permissions(m_builtThumbnailer)))) {
        return {};
    }
    return copy;
}

RunResult ThumbnailerTest::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    RunResult result;
    // A thumbnailer that opened a FIFO as its input would block here; fail instead of hanging.
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        result.standardError = "did not finish";
        return result;
    }
    result.standardError = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    return result;
}

void ThumbnailerTest::stretchesIconOverRequestedSize_data()
{
    QTest::addColumn<QStringList>("sizeArguments");
    QTest::addColumn<QSize>("expectedSize");

    QTest::newRow("-s 256") << QStringList{u"-s"_s, u"256"_s} << QSize(256, 256);
    QTest::newRow("-s 40 (icon's own size)") << QStringList{u"-s"_s, u"40"_s} << QSize(40, 40);
    QTest::newRow("--size 512x256") << QStringList{u"--size"_s, u"512x256"_s} << QSize(512, 256);
    QTest::newRow("--size=60x300") << QStringList{u"--size=60x300"_s} << QSize(60, 300);
    QTest::newRow("-s 128x32") << QStringList{u"-s"_s, u"128x32"_s} << QSize(128, 32);
}

void ThumbnailerTest::stretchesIconOverRequestedSize()
{
    QFETCH(QStringList, sizeArguments);
    QFETCH(QSize, expectedSize);

    const QString output =
        m_dir.filePath(u"stretch-%1.png"_s.arg(QLatin1String(QTest::currentDataTag())));
    const RunResult result =
        run(m_quadrantThumbnailer, sizeArguments + QStringList{u"project.velmora"_s, output});
    QCOMPARE(result.exitCode, 0);

    QImage image;
    QVERIFY(image.load(output, "PNG"));
    QCOMPARE(image.size(), expectedSize);
    image = image.convertToFormat(QImage::Format_ARGB32);

    // Sampled in the inside of each region of the stretched icon, away from its edges.
    const int w = expectedSize.width();
    const int h = expectedSize.height();
    const struct {
        double fx, fy;
        QColor color;
    } samples[] = {
        {0.0, 0.0, topLeftColor},      {0.99, 0.0, topRightColor},
        {0.0, 0.99, bottomLeftColor},  {0.99, 0.99, bottomRightColor},
        {0.25, 0.25, topLeftColor},    {0.75, 0.25, topRightColor},
        {0.25, 0.75, bottomLeftColor}, {0.75, 0.75, bottomRightColor},
        {0.5, 0.5, centreColor},
    };
    for (const auto& sample : samples) {
        const QPoint at(int(sample.fx * (w - 1) + 0.5), int(sample.fy * (h - 1) + 0.5));
        const QRgb pixel = image.pixel(at);
        QVERIFY2(sameColor(pixel, sample.color, 2),
                 qPrintable(u"pixel (%1, %2) is #%3, expected %4"_s.arg(at.x())
                                .arg(at.y())
                                .arg(pixel, 8, 16, QLatin1Char('0'))
                                .arg(sample.color.name(QColor::HexArgb))));
    }
}

void ThumbnailerTest::drawsTheInstalledApplicationIcon_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("256x256") << QSize(256, 256);
    QTest::newRow("512x256") << QSize(512, 256);
    QTest::newRow("64x64") << QSize(64, 64);
}

void ThumbnailerTest::drawsTheInstalledApplicationIcon()
{
    QFETCH(QSize, size);

    // The build tree's executable finds the icon beside itself.
    const QString output =
        m_dir.filePath(u"app-icon-%1.png"_s.arg(QLatin1String(QTest::currentDataTag())));
    const RunResult result =
        run(m_builtThumbnailer, {u"--size"_s, u"%1x%2"_s.arg(size.width()).arg(size.height()),
                                 u"demo.velmora"_s, output});
    QCOMPARE(result.exitCode, 0);
    QImage image;
    QVERIFY(image.load(output, "PNG"));
    QCOMPARE(image.size(), size);
    image = image.convertToFormat(QImage::Format_ARGB32);

    QImage icon;
    QVERIFY(icon.load(QStringLiteral(VELMORA_SOURCE_DIR "/data/Velmora_AppIcon.png")));
    const QImage reference = icon.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_ARGB32);

    // Premultiplied-alpha rounding may move a few pixels by a step; a wrong, cropped, flipped or
    // letterboxed picture differs by tens of steps on average.
    qint64 difference = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb a = image.pixel(x, y);
            const QRgb b = reference.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
        }
    }
    const double meanDifference = double(difference) / (4.0 * size.width() * size.height());
    QVERIFY2(meanDifference < 1.0, qPrintable(u"mean difference %1"_s.arg(meanDifference)));

    // The icon's rounded tile leaves its corners transparent, and the live node sits in the
    // middle: green, opaque.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size.width() - 1, size.height() - 1)), 0);
    const QRgb centre = image.pixel(size.width() / 2, size.height() / 2);
    QCOMPARE(qAlpha(centre), 255);
    QVERIFY(qGreen(centre) > qRed(centre) + 60 && qGreen(centre) > qBlue(centre) + 30);
}

void ThumbnailerTest::transparentWithoutUsableIcon_data()
{
    QTest::addColumn<QString>("prefixName");
    QTest::addColumn<QByteArray>("iconBytes"); // written as share/velmora/Velmora_AppIcon.png
    QTest::addColumn<bool>("iconIsFolder");

    QTest::newRow("icon missing") << u"no-icon"_s << QByteArray() << false;
    QTest::newRow("icon not a PNG") << u"garbage-icon"_s << QByteArray("not an image\n") << false;
    QTest::newRow("icon truncated")
        << u"truncated-icon"_s << QByteArray("\x89PNG\r\n\x1a\n", 8) << false;
    QTest::newRow("icon empty file") << u"empty-icon"_s << QByteArray("") << false;
    QTest::newRow("icon is a folder") << u"folder-icon"_s << QByteArray() << true;
}

void ThumbnailerTest::transparentWithoutUsableIcon()
{
    QFETCH(QString, prefixName);
    QFETCH(QByteArray, iconBytes);
    QFETCH(bool, iconIsFolder);

    const QString thumbnailer = installInto(prefixName);
    QVERIFY(!thumbnailer.isEmpty());
    const QString iconPath = m_dir.filePath(prefixName + u"/share/velmora/Velmora_AppIcon.png"_s);
    QVERIFY(QDir().mkpath(QFileInfo(iconPath).absolutePath()));
    if (iconIsFolder) {
        QVERIFY(QDir().mkpath(iconPath));
    } else if (!iconBytes.isNull()) {
        QFile file(iconPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(iconBytes);
    }

    const QString output = m_dir.filePath(prefixName + u".png"_s);
    const RunResult result =
        run(thumbnailer, {u"--size"_s, u"300x200"_s, u"project.velmora"_s, output});
    QCOMPARE(result.exitCode, 0);
    QImage image;
    QVERIFY(image.load(output, "PNG"));
    QCOMPARE(image.size(), QSize(300, 200));
    QVERIFY(image.hasAlphaChannel());
    QVERIFY(isFullyTransparent(image));
}

void ThumbnailerTest::sameThumbnailWhateverTheInput()
{
    const QDir dir(m_dir.path());
    QVERIFY(dir.mkpath(u"inputs/a-folder.velmora"_s));
    const QString first = dir.filePath(u"inputs/first.velmora"_s);
    const QString second = dir.filePath(u"inputs/second.velmora"_s);
    const QString unreadable = dir.filePath(u"inputs/unreadable.velmora"_s);
    const QString fifo = dir.filePath(u"inputs/fifo.velmora"_s);
    for (const auto& [path, content] :
         {std::pair{first, QByteArray(R"({"nodes": [], "nextNodeId": 1})")},
          std::pair{second, QByteArray(R"({"nodes": [{"id": 1, "name": "Router"}]})")},
          std::pair{unreadable, QByteArray("{}")}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(QFile::setPermissions(unreadable, QFileDevice::Permissions()));
    // Opening a FIFO for reading blocks until a writer comes: a thumbnailer that opened its
    // input would hang on it.
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    const QStringList inputs{first,
                             second,
                             unreadable,
                             fifo,
                             dir.filePath(u"inputs/a-folder.velmora"_s),
                             dir.filePath(u"inputs/missing.velmora"_s),
                             u"relative/name with spaces.velmora"_s};
    QByteArray expected;
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        // File managers hand over an output path that may already exist; it is replaced.
        const QString output = dir.filePath(u"same-%1.png"_s.arg(i));
        QFile stale(output);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("stale bytes that are not a PNG");
        stale.close();

        const RunResult result = run(m_builtThumbnailer, {u"-s"_s, u"128"_s, inputs.at(i), output});
        QVERIFY2(result.exitCode == 0,
                 qPrintable(inputs.at(i) + u": "_s + QString::fromLocal8Bit(result.standardError)));
        QFile written(output);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QVERIFY(bytes.startsWith("\x89PNG"));
        if (i == 0) {
            expected = bytes;
            QImage image;
            QVERIFY(image.loadFromData(bytes, "PNG"));
            QVERIFY(!isFullyTransparent(image));
        } else {
            QVERIFY2(bytes == expected, qPrintable(inputs.at(i)));
        }
    }
}

void ThumbnailerTest::badArgumentsExit64_data()
{
    QTest::addColumn<QStringList>("arguments");

    const QString in = u"in.velmora"_s;
    const QString out = u"bad-args-out.png"_s;
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("no size") << QStringList{in, out};
    QTest::newRow("no paths") << QStringList{u"-s"_s, u"128"_s};
    QTest::newRow("one path") << QStringList{u"-s"_s, u"128"_s, in};
    QTest::newRow("three paths") << QStringList{u"-s"_s, u"128"_s, in, out, u"extra"_s};
    QTest::newRow("size without value") << QStringList{in, out, u"-s"_s};
    QTest::newRow("size zero") << QStringList{u"-s"_s, u"0"_s, in, out};
    QTest::newRow("size negative") << QStringList{u"-s"_s, u"-5"_s, in, out};
    QTest::newRow("size not a number") << QStringList{u"-s"_s, u"large"_s, in, out};
    QTest::newRow("size fractional") << QStringList{u"-s"_s, u"12.5"_s, in, out};
    QTest::newRow("size too large") << QStringList{u"-s"_s, u"100000"_s, in, out};
    QTest::newRow("size overflowing") << QStringList{u"-s"_s, u"99999999999"_s, in, out};
    QTest::newRow("height missing") << QStringList{u"--size"_s, u"512x"_s, in, out};
    QTest::newRow("width zero") << QStringList{u"--size"_s, u"0x10"_s, in, out};
    QTest::newRow("three sides") << QStringList{u"--size"_s, u"1x2x3"_s, in, out};
    QTest::newRow("capital X") << QStringList{u"--size"_s, u"64X64"_s, in, out};
    QTest::newRow("unknown option") << QStringList{u"--frobnicate"_s, u"-s"_s, u"8"_s, in, out};
    QTest::newRow("empty output path") << QStringList{u"-s"_s, u"8"_s, in, QString()};
}

void ThumbnailerTest::badArgumentsExit64()
{
    QFETCH(QStringList, arguments);

    const QString output = QDir::current().filePath(u"bad-args-out.png"_s);
    QFile::remove(output);
    const RunResult result = run(m_builtThumbnailer, arguments);
    QCOMPARE(result.exitCode, 64);
    QVERIFY2(result.standardError.contains("Usage: velmora-thumbnailer"), result.standardError);
    QVERIFY(!QFile::exists(output));
}

void ThumbnailerTest::unwritableOutputExits2_data()
{
    QTest::addColumn<QString>("output");
    QTest::newRow("folder missing") << m_dir.filePath(u"no/such/folder/out.png"_s);
    QTest::newRow("output is a folder") << m_dir.path();
}

void ThumbnailerTest::unwritableOutputExits2()
{
    QFETCH(QString, output);
    const RunResult result = run(m_builtThumbnailer, {u"-s"_s, u"64"_s, u"in.velmora"_s, output});
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.standardError.contains(QFile::encodeName(output)), result.standardError);
}

QTEST_GUILESS_MAIN(ThumbnailerTest)
#include "tst_thumbnailer.moc"
