// SPDX-License-Identifier: GPL-3.0-or-later
// Undo snapshots share the map image with the live project instead of copying it: 30 snapshots
// of a project with a 50 MB image must not hold 30 copies of it.

#include "model/project_session.h"

#include <QTest>

#include <malloc.h>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

// Bytes the allocator has handed out (small blocks and mmapped ones).
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

} // namespace

class TestSnapshotSharing final : public QObject {
    Q_OBJECT

private slots:
    void thirtySnapshotsShareOneImage()
    {
        constexpr qsizetype imageSize = 50 * 1024 * 1024;
        ProjectData p;
        p.map = MapData{QByteArray(imageSize, 'x'), 100, 50, 1};
        for (qint64 id = 1; id <= 200; ++id)
            p.nodes.append(NodeData{id, u"n"_s, u"Device"_s, u"10.0.0.1"_s, 0, 0, 1});
        p.nextNodeId = 201;
        ProjectDocument doc(std::move(p));
        ProjectSession session(&doc);
        const char* image = doc.projectData().map->imageData->constData();

        const qint64 heapBefore = heapInUse();
        // Thirty-five edits that touch nodes, the map position and the view, none the image.
        for (int i = 0; i < 35; ++i) {
            session.pushUndoSnapshot();
            doc.modify([i](ProjectData& d) {
                d.nodes[i].x += 10;
                d.map->positionX += 1;
                d.viewSettings.zoom = 1 + i / 100.0;
            });
        }
        session.undo();
        session.undo();
        session.redo();
        const qint64 heapAfter = heapInUse();

        QCOMPARE(session.undoStack().size(), 29);
        QCOMPARE(session.redoStack().size(), 1);
        QCOMPARE(doc.projectData().map->imageData->constData(), image);
        for (const ProjectData& snapshot : session.undoStack())
            QCOMPARE(snapshot.map->imageData->constData(), image);
        QCOMPARE(session.redoStack().first().map->imageData->constData(), image);
        // The edits themselves (node lists, small records) cost far less than one more image.
        QVERIFY2(heapAfter - heapBefore < imageSize / 10,
                 qPrintable(u"heap grew by %1 bytes"_s.arg(heapAfter - heapBefore)));
    }
};

QTEST_GUILESS_MAIN(TestSnapshotSharing)
#include "tst_snapshot_sharing.moc"
