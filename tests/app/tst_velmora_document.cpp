// SPDX-License-Identifier: GPL-3.0-or-later
// The document: reading only regular, non-empty files, writing the encoded project, and the
// modified state that ignores zoom and pan. (A failed save is checked with the controller.)

#include "support/builders.h"
#include "support/files.h"

#include "app/velmora_document.h"
#include "model/project_codec.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

Q_DECLARE_METATYPE(velmora::ViewSettings)

class TestVelmoraDocument final : public QObject {
    Q_OBJECT
private slots:
    void saveAndReopenRoundTripsByteForByte()
    {
        ProjectData project = projectWith(
            {NodeData{.id = 1, .name = u"Büro “Nord”"_s, .x = 10.5, .y = -20.25},
             NodeData{.id = 2, .type = u"Switch"_s, .x = 300, .scale = 0.75}},
            {CableData{1, {nodePoint(1, 0.5), freePoint(150.125, 80), nodePoint(2, -2.5)}}});
        project.map = MapData{QByteArray("\x00\x01not really an image", 20), 100, 50, 1.5};
        project.viewSettings = ViewSettings{1.25, -40, 12.5, 0.8, 0.5};
        project.typeColors = {TypeColorData{u"Switch"_s, 0.1, 0.2, 0.3}};
        QTemporaryDir dir;
        VelmoraDocument doc;
        doc.setProjectData(project);
        QVERIFY(doc.saveAs(dir.filePath(u"a.velmora"_s)));
        QCOMPARE(doc.filePath(), dir.filePath(u"a.velmora"_s));

        const Expected<VelmoraDocument*> reopened = VelmoraDocument::open(doc.filePath());
        QVERIFY2(reopened, qPrintable(reopened.error().message));
        std::unique_ptr<VelmoraDocument> owner(*reopened);
        QCOMPARE(owner->projectData(), project);
        QVERIFY(!owner->isModified());
        QVERIFY(owner->saveAs(dir.filePath(u"b.velmora"_s)));
        QCOMPARE(readFile(dir.filePath(u"b.velmora"_s)), *encodeProject(project));
    }

    void readRejects_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expectedError"); // part of the message
        QTest::newRow("missing") << u"missing"_s << u"no such file"_s;
        QTest::newRow("directory") << u"directory"_s << u"directory"_s;
        QTest::newRow("empty") << u"empty"_s << u"empty"_s;
        QTest::newRow("fifo") << u"fifo"_s << u"not a regular file"_s;
        QTest::newRow("not a project") << u"text"_s << QString();
    }
    void readRejects()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expectedError);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"p.velmora"_s);
        if (kind == u"directory"_s)
            QVERIFY(QDir(dir.path()).mkdir(u"p.velmora"_s));
        else if (kind == u"empty"_s)
            QVERIFY(writeFile(path, {}));
        else if (kind == u"fifo"_s) // a pipe with no writer would block a naive read forever
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"text"_s)
            QVERIFY(writeFile(path, "just some words\n"));
        const Expected<VelmoraDocument*> opened = VelmoraDocument::open(path);
        QVERIFY(!opened);
        QVERIFY(!opened.error().message.isEmpty());
        QVERIFY2(opened.error().message.contains(expectedError),
                 qPrintable(opened.error().message));
    }

    void modifiedByMapLookNotByZoomOrPan_data()
    {
        QTest::addColumn<ViewSettings>("changed");
        QTest::addColumn<bool>("modified");
        QTest::newRow("zoom") << ViewSettings{.zoom = 2.5} << false;
        QTest::newRow("pan") << ViewSettings{.panX = -300, .panY = 12} << false;
        QTest::newRow("map opacity") << ViewSettings{.mapOpacity = 0.3} << true;
        QTest::newRow("map saturation") << ViewSettings{.mapSaturation = 0} << true;
    }
    // Zoom and pan follow the user around and ask for no save; the map's opacity and
    // saturation are settings the user chose, so closing without saving them must prompt.
    void modifiedByMapLookNotByZoomOrPan()
    {
        QFETCH(ViewSettings, changed);
        QFETCH(bool, modified);
        VelmoraDocument doc;
        QSignalSpy spy(&doc, &VelmoraDocument::modifiedChanged);
        doc.modify([&](ProjectData& p) { p.viewSettings = changed; });
        QCOMPARE(doc.isModified(), modified);
        QCOMPARE(spy.count(), modified ? 1 : 0);
        doc.modify([](ProjectData& p) { p.viewSettings = ViewSettings{}; });
        QVERIFY(!doc.isModified());

        // A save writes the view settings all the same.
        QTemporaryDir dir;
        doc.modify([&](ProjectData& p) { p.viewSettings = changed; });
        QVERIFY(doc.saveAs(dir.filePath(u"v.velmora"_s)));
        QCOMPARE(VelmoraDocument::readFile(doc.filePath())->viewSettings, changed);
    }

    void modifiedFollowsContent()
    {
        VelmoraDocument doc;
        QSignalSpy spy(&doc, &VelmoraDocument::modifiedChanged);
        doc.modify([](ProjectData& p) { p.nodes.append(NodeData{.id = 1}); });
        QVERIFY(doc.isModified());
        // Back to the saved content: nothing left to save.
        doc.modify([](ProjectData& p) { p.nodes.clear(); });
        QVERIFY(!doc.isModified());
        QCOMPARE(spy.count(), 2);

        // A different map image with the same size is a change.
        doc.modify([](ProjectData& p) { p.map = MapData{QByteArray("abc"), 100, 50, 1}; });
        QTemporaryDir dir;
        QVERIFY(doc.saveAs(dir.filePath(u"m.velmora"_s)));
        QVERIFY(!doc.isModified());
        doc.modify([](ProjectData& p) { p.map->imageData = QByteArray("abd"); });
        QVERIFY(doc.isModified());
        doc.modify([](ProjectData& p) { p.map->imageData = QByteArray("abc"); });
        QVERIFY(!doc.isModified());
    }
};

QTEST_GUILESS_MAIN(TestVelmoraDocument)
#include "tst_velmora_document.moc"
