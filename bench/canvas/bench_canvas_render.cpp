// SPDX-License-Identifier: GPL-3.0-or-later
// Frame time of the canvas renderer into a 1600 x 1000 image: median of 50 frames for networks
// of 300, 1000 and 5000 nodes with as many three-point cables, in edit mode and in live mode
// with the glow, with the whole network framed and at zoom 1. "live pulse" is the live frame as
// the window draws it while the glow breathes: the phase advances one tick a frame and only the
// pulse region is drawn (framed view; the region's computation is included).

#include "canvas/canvas_renderer.h"
#include "canvas/view_framing.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

using namespace velmora;

namespace {

constexpr QSize frameSize(1600, 1000);
int frames = 50;        // "--frames N" for a quick profile run
double closeZoom = 1.0; // "--zoom Z": the zoom of the "zoom1" columns (2 for a 200 % view)
QString dumpDir;        // "--dump DIR": compare frames before and after a renderer change

ProjectData makeNetwork(int count)
{
    static const QString types[] = {QStringLiteral("Router"), QStringLiteral("Switch"),
                                    QStringLiteral("Access Point"), QStringLiteral("Server"),
                                    QStringLiteral("Printer")};
    ProjectData project;
    const int columns = static_cast<int>(std::ceil(std::sqrt(count * 1.6)));
    for (int i = 0; i < count; ++i) {
        NodeData node;
        node.id = i + 1;
        node.name = QStringLiteral("Node %1").arg(i + 1);
        node.type = types[i % 5];
        node.ip = QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg((i / 256) % 256).arg(i % 256);
        node.x = (i % columns) * 260.0;
        node.y = (i / columns) * 160.0;
        project.nodes.append(node);
    }
    for (int i = 0; i < count; ++i) {
        CableData cable;
        cable.id = i + 1;
        const NodeData& a = project.nodes.at(i);
        const NodeData& b = project.nodes.at((i + 1) % count);
        CablePointData start;
        start.type = cablePointTypeNode;
        start.nodeId = a.id;
        start.anchorAngle = 0.0;
        CablePointData bend;
        bend.type = cablePointTypeFree;
        bend.x = (a.x + b.x) / 2 + 200;
        bend.y = (a.y + b.y) / 2 + 40;
        CablePointData end;
        end.type = cablePointTypeNode;
        end.nodeId = b.id;
        end.anchorAngle = M_PI;
        cable.points = {start, bend, end};
        project.cables.append(cable);
    }
    project.nextNodeId = count + 1;
    project.nextCableId = count + 1;
    return project;
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Median wall time and median process CPU time (all threads; robust when the machine is busy).
struct FrameTimes {
    double wall = 0;
    double cpu = 0;
};

FrameTimes medianFrameMs(CanvasRenderer& renderer, RenderFrame frame, QImage& image,
                         bool pulse = false)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = -3; i < frames; ++i) { // three warm-up frames
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = processCpuMs();
        QPainter painter(&image);
        if (pulse) {
            frame.pulsePhase = std::fmod(frame.pulsePhase + 0.1, 2 * M_PI);
            renderer.drawCanvas(painter, frameSize, frame, renderer.pulseRegion(frameSize, frame));
        } else {
            renderer.drawCanvas(painter, frameSize, frame);
        }
        painter.end();
        const double cpuMs = processCpuMs() - cpuStart;
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (i >= 0) {
            wall.push_back(ms);
            cpu.push_back(cpuMs);
        }
    }
    return {median(wall), median(cpu)};
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QList<int> counts{300, 1000, 5000};
    int only = -1;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == QStringLiteral("--frames"))
            frames = std::max(2, arguments.at(i + 1).toInt());
        if (arguments.at(i) == QStringLiteral("--only")) // 0 edit framed ... 4 live pulse
            only = arguments.at(i + 1).toInt();
        if (arguments.at(i) == QStringLiteral("--dump")) // last frame of each case as PNG
            dumpDir = arguments.at(i + 1);
        if (arguments.at(i) == QStringLiteral("--zoom"))
            closeZoom = arguments.at(i + 1).toDouble();
        if (arguments.at(i) == QStringLiteral("--nodes"))
            counts = {std::max(1, arguments.at(i + 1).toInt())};
    }
    QTextStream out(stdout);
    out << "canvas frame time, 1600x1000 ARGB32 premultiplied, median of " << frames
        << " frames, wall ms / process CPU ms\n";
    out << qSetFieldWidth(8) << "nodes" << qSetFieldWidth(14) << "edit framed"
        << "edit zoom1"
        << "live framed"
        << "live zoom1"
        << "live pulse" << qSetFieldWidth(10) << "zoom" << qSetFieldWidth(0) << '\n';
    QImage image(frameSize, QImage::Format_ARGB32_Premultiplied);
    for (const int count : counts) {
        const ProjectData project = makeNetwork(count);
        RenderFrame frame;
        frame.project = &project;
        for (int t = 0; t < 5; ++t)
            frame.typeColorMap.insert(project.nodes.at(t % count).type, colorPalette[t]);
        frame.visibleTypes =
            QSet<QString>(frame.typeColorMap.keyBegin(), frame.typeColorMap.keyEnd());
        QHash<qint64, PingStatus> statuses;
        for (const NodeData& node : project.nodes)
            statuses.insert(node.id, static_cast<PingStatus>(node.id % 4));
        const Framing framed = fitFraming(project, QSize(), frameSize, PaneWidths{220, 410});
        CanvasRenderer renderer;
        FrameTimes results[5];
        int k = 0;
        for (const bool live : {false, true}) {
            frame.appMode = live ? AppMode::live : AppMode::edit;
            frame.liveGlowEnabled = true;
            frame.pulsePhase = 1.0;
            frame.nodeStatuses = live ? statuses : QHash<qint64, PingStatus>();
            frame.cableStatus = [&statuses](qint64, const QList<CablePoint>& points) {
                return statuses.value(points.constFirst().nodeId.value_or(0), PingStatus::unknown);
            };
            for (const bool atFrame : {true, false}) {
                frame.view = atFrame ? ViewTransform{framed.zoom, framed.pan}
                                     : ViewTransform{closeZoom, QPointF(0, 0)};
                if (only < 0 || only == k) {
                    results[k] = medianFrameMs(renderer, frame, image);
                    if (!dumpDir.isEmpty())
                        image.save(
                            QStringLiteral("%1/frame_%2_%3.png").arg(dumpDir).arg(count).arg(k));
                }
                ++k;
            }
        }
        // Live, framed, as the window draws while the glow breathes (k is 4).
        frame.view = ViewTransform{framed.zoom, framed.pan};
        if (only < 0 || only == k) {
            {
                QPainter painter(&image); // the full frame the pulse frames are drawn over
                renderer.drawCanvas(painter, frameSize, frame);
            }
            results[k] = medianFrameMs(renderer, frame, image, true);
            if (!dumpDir.isEmpty())
                image.save(QStringLiteral("%1/frame_%2_%3.png").arg(dumpDir).arg(count).arg(k));
        }
        out << qSetFieldWidth(8) << count;
        for (const FrameTimes& r : results)
            out << qSetFieldWidth(14)
                << (QString::number(r.wall, 'f', 1) + QStringLiteral("/") +
                    QString::number(r.cpu, 'f', 1));
        out << qSetFieldWidth(10) << QString::number(framed.zoom, 'g', 3) << qSetFieldWidth(0)
            << '\n';
        out.flush();
    }
    return 0;
}
