// SPDX-License-Identifier: GPL-3.0-or-later
// The document: reading (only regular, non-empty files that decode), atomic writing that keeps
// the old file on failure, and the modified state that ignores zoom and pan.

#include "app/velmora_document.h"
#include "model/project_codec.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace velmora;

Q_DECLARE_METATYPE(velmora::ViewSettings)

namespace {

ProjectData sampleProject()
{
    ProjectData p;
    p.projectName = u"Büro “Nord”"_s;
    p.schemaVersion = 7;
    p.nodes = {NodeData{1, u"Router"_s, u"Router"_s, u"127.0.0.1"_s, 10.5, -20.25, 1.0},
               NodeData{2, u"Switch"_s, u"Switch"_s, u"127.0.0.2"_s, 300, 40, 0.75}};
    CableData cable;
    cable.id = 1;
    cable.points = {CablePointData{cablePointTypeNode, 0, 0, 1, 0.5},
                    CablePointData{cablePointTypeFree, 150.125, 80, std::nullopt, 0},
                    CablePointData{cablePointTypeNode, 0, 0, 2, -2.5}};
    p.cables = {cable};
    p.map = MapData{QByteArray("\x00\x01\x02not really an image", 22), 100, 50, 1.5};
    p.nextNodeId = 3;
    p.nextCableId = 2;
    p.viewSettings = ViewSettings{1.25, -40, 12.5, 0.8, 0.5};
    p.typeColors = {TypeColorData{u"Router"_s, 0.1, 0.2, 0.3}};
    return p;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestVelmoraDocument final : public QObject {
    Q_OBJECT
private slots:
    void saveAndReopenRoundTripsByteForByte();
    void readRejects_data();
    void readRejects();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void readOnlyDirectoryKeepsOldFile();
    void modifiedByMapLookNotByZoomOrPan_data();
    void modifiedByMapLookNotByZoomOrPan();
    void modifiedFollowsContent();
    void saveWritesCurrentViewSettings();
};

void TestVelmoraDocument::saveAndReopenRoundTripsByteForByte()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(u"a.velmora"_s);
    const QString second = dir.filePath(u"b.velmora"_s);

    VelmoraDocument doc;
    doc.setProjectData(sampleProject());
    QVERIFY(doc.saveAs(first));
    QCOMPARE(doc.filePath(), first);

    const Expected<VelmoraDocument*> reopened = VelmoraDocument::open(first);
    QVERIFY2(reopened, qPrintable(reopened.error().message));
    std::unique_ptr<VelmoraDocument> owner(*reopened);
    QCOMPARE(owner->projectData(), sampleProject());
    QVERIFY(!owner->isModified());
    QVERIFY(owner->saveAs(second));
    QCOMPARE(readAll(second), readAll(first));
    QCOMPARE(readAll(first), *encodeProject(sampleProject()));
}

void TestVelmoraDocument::readRejects_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expectedError"); // part of the message
    QTest::newRow("missing") << u"missing"_s << u"no such file"_s;
    QTest::newRow("directory") << u"directory"_s << u"directory"_s;
    QTest::newRow("empty") << u"empty"_s << u"empty"_s;
    QTest::newRow("fifo") << u"fifo"_s << u"not a regular file"_s;
    QTest::newRow("bad json") << u"badjson"_s << QString();
    QTest::newRow("missing key") << u"missingkey"_s << u"scale"_s;
    QTest::newRow("text file") << u"text"_s << QString();
}

void TestVelmoraDocument::readRejects()
{
    QFETCH(QString, kind);
    QFETCH(QString, expectedError);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"p.velmora"_s);
    if (kind == u"directory"_s) {
        QVERIFY(QDir(dir.path()).mkdir(u"p.velmora"_s));
    } else if (kind == u"empty"_s) {
        QVERIFY(writeAll(path, {}));
    } else if (kind == u"fifo"_s) {
        // A pipe with no writer would block a naive read forever.
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == u"badjson"_s) {
        QVERIFY(writeAll(path, R"({"schemaVersion": 1, "projectName": )"));
    } else if (kind == u"missingkey"_s) {
        QByteArray json = *encodeProject(sampleProject());
        json.replace("\"scale\": 0.75,", "");
        QVERIFY(!json.contains("0.75"));
        QVERIFY(writeAll(path, json));
    } else if (kind == u"text"_s) {
        QVERIFY(writeAll(path, "just some words\n"));
    }
    const Expected<ProjectData> read = VelmoraDocument::readFile(path);
    QVERIFY(!read);
    QVERIFY(!read.error().message.isEmpty());
    if (!expectedError.isEmpty())
        QVERIFY2(read.error().message.contains(expectedError), qPrintable(read.error().message));
    QVERIFY(!VelmoraDocument::open(path));
}

void TestVelmoraDocument::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("not finite") << u"nan"_s;
    QTest::newRow("target is a directory") << u"dir"_s;
    QTest::newRow("parent is a file") << u"parentfile"_s;
    QTest::newRow("parent missing") << u"noparent"_s;
}

void TestVelmoraDocument::failedSaveKeepsOldFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString good = dir.filePath(u"good.velmora"_s);
    VelmoraDocument doc;
    doc.setProjectData(sampleProject());
    QVERIFY(doc.saveAs(good));
    const QByteArray before = readAll(good);

    QString target = good;
    if (kind == u"nan"_s) {
        doc.modify([](ProjectData& p) { p.nodes[0].x = std::numeric_limits<double>::quiet_NaN(); });
    } else {
        doc.modify([](ProjectData& p) { p.projectName = u"Changed"_s; });
        if (kind == u"dir"_s) {
            target = dir.filePath(u"sub"_s);
            QVERIFY(QDir(dir.path()).mkdir(u"sub"_s));
        } else if (kind == u"parentfile"_s) {
            target = good + u"/inside.velmora"_s;
        } else {
            target = dir.filePath(u"missing/inside.velmora"_s);
        }
    }
    const Expected<void> saved = doc.saveAs(target);
    QVERIFY(!saved);
    QVERIFY(!saved.error().message.isEmpty());
    QCOMPARE(readAll(good), before);
    QCOMPARE(doc.filePath(), good); // the document keeps its file
    QVERIFY(doc.isModified());
    // Nothing but the saved file is left behind (no temporary file of the failed save).
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"good.velmora"_s});
}

void TestVelmoraDocument::readOnlyDirectoryKeepsOldFile()
{
    if (::geteuid() == 0)
        QSKIP("root writes into read-only directories; the other failure modes cover the save "
              "path");
    QTemporaryDir dir;
    const QString good = dir.filePath(u"good.velmora"_s);
    VelmoraDocument doc;
    QVERIFY(doc.saveAs(good));
    const QByteArray before = readAll(good);
    doc.modify([](ProjectData& p) { p.projectName = u"Changed"_s; });
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const Expected<void> saved = doc.save();
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!saved);
    QCOMPARE(readAll(good), before);
    QVERIFY(doc.isModified());
}

void TestVelmoraDocument::modifiedByMapLookNotByZoomOrPan_data()
{
    QTest::addColumn<ViewSettings>("changed");
    QTest::addColumn<bool>("modified");
    const ViewSettings saved;
    ViewSettings zoomed = saved;
    zoomed.zoom = 2.5;
    ViewSettings panned = saved;
    panned.panX = -300;
    panned.panY = 12;
    ViewSettings faded = saved;
    faded.mapOpacity = 0.3;
    ViewSettings grey = saved;
    grey.mapSaturation = 0;
    QTest::newRow("zoom") << zoomed << false;
    QTest::newRow("pan") << panned << false;
    QTest::newRow("map opacity") << faded << true;
    QTest::newRow("map saturation") << grey << true;
}

// Zoom and pan follow the user around and ask for no save; the map's opacity and saturation
// are settings the user chose, so closing without saving them must prompt.
void TestVelmoraDocument::modifiedByMapLookNotByZoomOrPan()
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
}

void TestVelmoraDocument::modifiedFollowsContent()
{
    VelmoraDocument doc;
    QSignalSpy spy(&doc, &VelmoraDocument::modifiedChanged);
    QVERIFY(!doc.isModified());

    doc.modify([](ProjectData& p) {
        p.nodes.append(NodeData{1, u"A"_s, u"Device"_s, {}, 0, 0, 1});
    });
    QVERIFY(doc.isModified());
    QCOMPARE(spy.count(), 1);

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

void TestVelmoraDocument::saveWritesCurrentViewSettings()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"v.velmora"_s);
    VelmoraDocument doc;
    QVERIFY(doc.saveAs(path));
    doc.modify([](ProjectData& p) { p.viewSettings.zoom = 2; });
    QVERIFY(!doc.isModified());
    QVERIFY(doc.save());
    const Expected<ProjectData> read = VelmoraDocument::readFile(path);
    QVERIFY(read);
    QCOMPARE(read->viewSettings.zoom, 2.0);
}

QTEST_GUILESS_MAIN(TestVelmoraDocument)
#include "tst_velmora_document.moc"
