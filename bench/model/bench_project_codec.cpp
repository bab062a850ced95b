// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of reading and writing a large project, and memory of its undo history.
//
// The project: 5,000 nodes, 5,000 cables of three points and a 4000 x 3000 map image stored as
// an uncompressed TIFF (what QImageWriter writes by default, 36 MB). The peer of each figure,
// measured in the same run, is the least any reader or writer of this file must do with the
// image: reading the file and Base64-decoding the image text, or Base64-encoding the image and
// writing it. The ratios say what the JSON around it costs.
//
//   bench_project_codec [rounds]     (default 5; the best round counts, thread CPU time)

#include "model/project_codec.h"
#include "model/project_session.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <optional>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

QByteArray floorPlanTiff()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QRandomGenerator rng(42);
    painter.setPen(QPen(Qt::black, 6));
    for (int i = 0; i < 400; ++i) // rooms and walls
        painter.drawRect(int(rng.bounded(3800)), int(rng.bounded(2800)), int(rng.bounded(400)),
                         int(rng.bounded(300)));
    painter.setPen(QPen(QColor(120, 120, 200), 2));
    for (int i = 0; i < 3000; ++i) // furniture and annotations
        painter.drawLine(int(rng.bounded(4000)), int(rng.bounded(3000)), int(rng.bounded(4000)),
                         int(rng.bounded(3000)));
    for (int i = 0; i < 2000; ++i) // photo-like noise in part of the plan
        painter.fillRect(int(rng.bounded(4000)), int(rng.bounded(3000)), 40, 40,
                         QColor::fromRgb(rng.generate()));
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(image))
        qFatal("cannot write TIFF: %s", qPrintable(writer.errorString()));
    // A copy of exactly the file's size, without the buffer's spare capacity.
    return QByteArray(buffer.data().constData(), buffer.data().size());
}

ProjectData largeProject(const QByteArray& image)
{
    ProjectData p;
    p.projectName = u"Benchmark campus"_s;
    QRandomGenerator rng(7);
    for (qint64 id = 1; id <= 5000; ++id)
        p.nodes.append(NodeData{id, u"Switch %1 (copy 2)"_s.arg(id), u"Type %1"_s.arg(id % 12),
                                u"10.%1.%2.%3"_s.arg(id / 65536).arg(id / 256 % 256).arg(id % 256),
                                rng.generateDouble() * 8000, rng.generateDouble() * 6000,
                                0.5 + rng.generateDouble()});
    for (qint64 id = 1; id <= 5000; ++id) {
        CableData cable{id, {}};
        cable.points = {
            {cablePointTypeNode, 0, 0, id, rng.generateDouble() * 6.28},
            {cablePointTypeFree, rng.generateDouble() * 8000, rng.generateDouble() * 6000,
             std::nullopt, 0},
            {cablePointTypeNode, 0, 0, id % 5000 + 1, rng.generateDouble() * 6.28},
        };
        p.cables.append(cable);
    }
    p.nextNodeId = 5001;
    p.nextCableId = 5001;
    p.map = MapData{image, 100, 50, 1};
    for (int i = 0; i < 12; ++i)
        p.typeColors.append(TypeColorData{u"Type %1"_s.arg(i), 0.1 * i, 0.5, 0.25});
    return p;
}

// CPU time of this thread (user and system, so file reads and writes count): on a machine
// shared with other jobs, wall time mostly measures the wait for a core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Best of `rounds` runs, in milliseconds of thread CPU time.
double bestMs(int rounds, const std::function<void()>& run)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const double start = threadCpuMs();
        run();
        best = std::min(best, threadCpuMs() - start);
    }
    return best;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;
    QTemporaryDir dir;
    const QString projectPath = dir.filePath(u"campus.velmora"_s);
    const QString peerPath = dir.filePath(u"image.b64"_s);

    const qint64 heapBeforeProject = heapInUse();
    ProjectData project = largeProject(floorPlanTiff());
    const qint64 oneCopy = heapInUse() - heapBeforeProject;
    const QByteArray image = *project.map->imageData;

    // Writing.
    QByteArray encoded;
    const double encodeMs = bestMs(rounds, [&] {
        const Expected<QByteArray> result = encodeProject(project);
        if (!result)
            qFatal("encode failed: %s", qPrintable(result.error().message));
        encoded = *result;
        writeFile(projectPath, encoded);
    });
    const double peerWriteMs = bestMs(rounds, [&] { writeFile(peerPath, image.toBase64()); });

    // Reading.
    std::optional<ProjectData> decoded;
    const double decodeMs = bestMs(rounds, [&] {
        decoded.reset();
        Expected<ProjectData> result = decodeProject(readFile(projectPath));
        if (!result)
            qFatal("decode failed: %s", qPrintable(result.error().message));
        decoded = std::move(result).value();
    });
    if (!(*decoded == project))
        qFatal("the decoded project differs from the encoded one");
    decoded.reset();
    QByteArray peerImage;
    const double peerReadMs = bestMs(rounds, [&] {
        peerImage.clear();
        auto result = QByteArray::fromBase64Encoding(readFile(peerPath),
                                                     QByteArray::AbortOnBase64DecodingErrors);
        if (!result)
            qFatal("peer decode failed");
        peerImage = std::move(result.decoded);
    });
    if (peerImage != image)
        qFatal("the peer decoded a different image");
    peerImage.clear();

    // Memory of the undo history: 30 snapshots, first as they are, then each followed by an edit
    // of one node (which detaches the node list, but neither the image nor the cables).
    ProjectDocument document(project);
    project = ProjectData{};
    ProjectSession session(&document);
    const qint64 heapBeforeHistory = heapInUse();
    for (int i = 0; i < ProjectSession::maxUndoEntries; ++i)
        session.pushUndoSnapshot();
    const qint64 snapshotsOnly = heapInUse() - heapBeforeHistory;
    for (int i = 0; i < ProjectSession::maxUndoEntries; ++i) {
        session.pushUndoSnapshot();
        document.modify([i](ProjectData& p) { p.nodes[i].x += 30; });
    }
    const qint64 withEdits = heapInUse() - heapBeforeHistory;

    std::printf("project: 5000 nodes, 5000 cables x 3 points, map image %.1f MB (TIFF %dx%d)\n",
                double(image.size()) / 1e6, 4000, 3000);
    std::printf("file size: %.1f MB, best of %d rounds\n", double(encoded.size()) / 1e6, rounds);
    std::printf("encode + write        %8.1f ms\n", encodeMs);
    std::printf("  peer: Base64 + write%8.1f ms   ratio %.2f\n", peerWriteMs,
                encodeMs / peerWriteMs);
    std::printf("read + decode         %8.1f ms\n", decodeMs);
    std::printf("  peer: read + Base64 %8.1f ms   ratio %.2f\n", peerReadMs, decodeMs / peerReadMs);
    std::printf("heap of one project (incl. image)          %7.1f MB\n", double(oneCopy) / 1e6);
    std::printf("+ 30 snapshots                             %7.1f MB   ratio %.3f\n",
                double(snapshotsOnly) / 1e6, double(oneCopy + snapshotsOnly) / double(oneCopy));
    std::printf("+ 30 snapshots, each followed by a node move %5.1f MB   ratio %.3f\n",
                double(withEdits) / 1e6, double(oneCopy + withEdits) / double(oneCopy));
    return 0;
}
