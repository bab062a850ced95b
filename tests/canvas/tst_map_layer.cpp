// SPDX-License-Identifier: GPL-3.0-or-later
// Loading, replacing and clearing the map image: stored as TIFF at (100, 50) scale 1 with one
// undo snapshot, framed 0.1 s later without animation; unreadable files change nothing; undo
// brings a cleared image back with its position and scale.

#include "support/files.h"

#include "canvas/map_image.h"
#include "canvas/map_layer.h"
#include "canvas/view_state.h"
#include "model/project_session.h"

#include <QFile>
#include <QImage>
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

    void unreadableFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("text") << QByteArray("this is not an image");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated png") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    }
    void unreadableFileChangesNothing()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.png"));
        QVERIFY(test::writeFile(path, contents));
        const ProjectData data{.nodes = {NodeData{.id = 1}}};
        ProjectDocument document(data);
        ProjectSession session(&document);
        ViewState view(&session);
        view.setContentReady(true);
        QVERIFY(!loadMapImage(session, view, path));
        QVERIFY(!loadMapImage(session, view, dir.filePath(QStringLiteral("missing.png"))));
        QCOMPARE(document.projectData(), data);
        QVERIFY(session.undoStack().isEmpty());
        QVERIFY(view.isContentReady());
    }
};

QTEST_GUILESS_MAIN(TestMapLayer)
#include "tst_map_layer.moc"
