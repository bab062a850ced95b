// SPDX-License-Identifier: GPL-3.0-or-later
// Loading, replacing and clearing the map image: stored as TIFF at (100, 50) scale 1 with one
// undo snapshot, framed 0.1 s later without animation; SVG and PDF rendered 3000 pixels wide;
// unreadable files change nothing and say why; undo
// brings a cleared image back with its position and scale.

#include "support/files.h"
#include "support/pixels.h"

#include "canvas/map_image.h"
#include "canvas/map_layer.h"
#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

namespace {

QString writeImage(const QTemporaryDir& dir, const QString& name, QSize size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = dir.filePath(name);
    return image.save(path, format) ? path : QString();
}

} // namespace

class TestMapLayer final : public QObject {
    Q_OBJECT
private slots:
    void loadReplaceClearUndo_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("png") << QByteArray("PNG");
        QTest::newRow("jpeg") << QByteArray("JPEG");
        QTest::newRow("webp") << QByteArray("WEBP");
        QTest::newRow("tiff") << QByteArray("TIFF");
        QTest::newRow("bmp") << QByteArray("BMP");
    }
    void loadReplaceClearUndo()
    {
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        const QString first =
            writeImage(dir, QStringLiteral("plan.") + QString::fromLatin1(format.toLower()),
                       QSize(800, 600), format.constData());
        if (first.isEmpty())
            QSKIP("this image format cannot be written here");
        const QString second = writeImage(dir, QStringLiteral("site.png"), QSize(200, 100), "PNG");

        ProjectDocument document;
        ProjectSession session(&document);
        ViewState view(&session);
        view.setViewSize(QSizeF(1400, 900));
        view.setContentReady(true);

        QVERIFY(loadMapImage(session, view, first));
        QCOMPARE(session.undoStack().size(), 1);
        QVERIFY(!view.isContentReady());
        const ProjectData& project = document.projectData();
        QVERIFY(project.hasMapImage());
        QVERIFY(project.map->imageData->startsWith("II*") ||
                project.map->imageData->startsWith("MM")); // TIFF
        QCOMPARE(encodedImageSize(*project.map->imageData), QSize(800, 600));
        QCOMPARE(*project.map, (MapData{project.map->imageData, 100, 50, 1.0}));
        QTRY_VERIFY_WITH_TIMEOUT(view.isContentReady(), 1000);
        QVERIFY(!view.isAnimatingView());
        QVERIFY(qFuzzyCompare(view.zoom(), 770.0 / 800.0 * 0.9)); // framed on the image

        // Replacing resets position and scale.
        document.modify([](ProjectData& p) {
            p.map->positionX = 7;
            p.map->scale = 3;
        });
        QVERIFY(loadMapImage(session, view, second));
        QCOMPARE(*project.map, (MapData{project.map->imageData, 100, 50, 1.0}));
        QCOMPARE(encodedImageSize(*project.map->imageData), QSize(200, 100));
        QTRY_VERIFY_WITH_TIMEOUT(view.isContentReady(), 1000);
        QCOMPARE(view.zoom(), 0.9); // a small image is not enlarged beyond 90 %

        document.modify([](ProjectData& p) {
            p.map->positionX = 42;
            p.map->scale = 2.5;
        });
        view.setMapOpacity(0.4);
        const ProjectData beforeClear = document.projectData();
        clearMapImage(session);
        QVERIFY(!document.projectData().map.has_value());
        QCOMPARE(view.mapOpacity(), 0.4);
        session.undo();
        QCOMPARE(document.projectData().map, beforeClear.map);
    }

    // Drawings and documents are rendered 3000 pixels wide on white; GIF is read as it is.
    void renderedFormats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QSize>("size");
        QTest::newRow("svg") << QStringLiteral("plan.svg")
                             << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='400' "
                                           "height='300'><rect x='0' y='0' width='200' "
                                           "height='300' fill='#008000'/></svg>")
                             << QSize(3000, 2250);
        QByteArray pdf;
        {
            QBuffer buffer(&pdf);
            buffer.open(QIODevice::WriteOnly);
            QPdfWriter writer(&buffer);
            writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
            writer.setPageMargins(QMarginsF());
            QPainter painter(&writer);
            painter.fillRect(
                QRectF(0, 0, painter.device()->width() / 2.0, painter.device()->height()),
                QColor(0, 128, 0));
            painter.end();
            writer.newPage(); // a second page, not rendered
        }
        QTest::newRow("pdf") << QStringLiteral("plan.pdf") << pdf << QSize(3000, 1500);
        QTest::newRow("gif") << QStringLiteral("plan.gif")
                             << QByteArray::fromHex("47494638396101000100800000ff0000000000"
                                                    "2c00000000010001000002024401003b")
                             << QSize(1, 1);
    }
    void renderedFormats()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        QVERIFY(test::writeFile(dir.filePath(name), contents));
        ProjectDocument document;
        ProjectSession session(&document);
        ViewState view(&session);
        const Expected<void> loaded = loadMapImage(session, view, dir.filePath(name));
        QVERIFY2(loaded, qPrintable(loaded ? QString() : loaded.error().message));
        const QImage image = QImage::fromData(*document.projectData().map->imageData);
        QCOMPARE(image.size(), size);
        if (size.width() == 3000) { // the left half green, the right half white
            QVERIFY(test::colorsNear(image.pixelColor(700, size.height() / 2), QColor(0, 128, 0)));
            QCOMPARE(image.pixelColor(2300, size.height() / 2), QColor(Qt::white));
        }
    }

    void unreadableFileChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        const QString png = QStringLiteral("broken.png");
        QTest::newRow("text") << png << QByteArray("this is not an image");
        QTest::newRow("empty") << png << QByteArray();
        QTest::newRow("truncated png") << png << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        QTest::newRow("broken svg") << QStringLiteral("plan.svg") << QByteArray("<svg><rect");
        QTest::newRow("svg without size")
            << QStringLiteral("plan.svg")
            << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='0' height='0'/>");
        QTest::newRow("broken pdf") << QStringLiteral("plan.pdf") << QByteArray("%PDF-1.4 junk");
    }
    void unreadableFileChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(test::writeFile(path, contents));
        const ProjectData data{.nodes = {NodeData{.id = 1}}};
        ProjectDocument document(data);
        ProjectSession session(&document);
        ViewState view(&session);
        view.setContentReady(true);
        const Expected<void> loaded = loadMapImage(session, view, path);
        QVERIFY(!loaded);
        QVERIFY(!loaded.error().message.isEmpty()); // says why
        QVERIFY(!loadMapImage(session, view, dir.filePath(QStringLiteral("missing.png"))));
        QCOMPARE(document.projectData(), data);
        QVERIFY(session.undoStack().isEmpty());
        QVERIFY(view.isContentReady());
    }
};

QTEST_MAIN(TestMapLayer)
#include "tst_map_layer.moc"
