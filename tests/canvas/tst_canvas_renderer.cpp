// SPDX-License-Identifier: GPL-3.0-or-later
// Pixels of rendered frames: selection dimming, live-mode type filtering of nodes and their
// cables, grid alignment, resize handle size, status colours of cables, the glow of each status,
// search and root marks, the rubber band, point dots, the map's saturation filter, decoding the
// map image once, frames drawn on a pool thread matching frames drawn in place, and which cables
// ask for their status.

#include "canvas/cable_geometry.h"
#include "canvas/canvas_renderer.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

#include <cmath>

using namespace velmora;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(velmora::PingStatus)
Q_DECLARE_METATYPE(velmora::Rgb)

namespace {

constexpr QSize frameSize(400, 300);

NodeData makeNode(qint64 id, double x, double y, const QString& type = QStringLiteral("Router"))
{
    NodeData n;
    n.id = id;
    n.type = type;
    n.x = x;
    n.y = y;
    return n;
}

CablePointData nodePoint(qint64 nodeId, double angle)
{
    CablePointData p;
    p.type = cablePointTypeNode;
    p.nodeId = nodeId;
    p.anchorAngle = angle;
    return p;
}

CablePointData freePoint(double x, double y)
{
    CablePointData p;
    p.type = cablePointTypeFree;
    p.x = x;
    p.y = y;
    return p;
}

QImage render(const RenderFrame& frame, CanvasRenderer* renderer = nullptr)
{
    CanvasRenderer local;
    CanvasRenderer& r = renderer ? *renderer : local;
    QImage image(frameSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    r.drawCanvas(painter, frameSize, frame);
    painter.end();
    return image;
}

RenderFrame frameFor(const ProjectData& project)
{
    RenderFrame frame;
    frame.project = &project;
    frame.typeColorMap.insert(QStringLiteral("Router"), colorPalette[3]);
    frame.typeColorMap.insert(QStringLiteral("Switch"), colorPalette[1]);
    frame.visibleTypes = {QStringLiteral("Router"), QStringLiteral("Switch")};
    return frame;
}

QByteArray pngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const int background = qRound(0.04 * 255);                // 10
const int grid = qRound((0.04 * 0.7 + 0.24 * 0.3) * 255); // 26

bool isBackground(QRgb p)
{
    return std::abs(qRed(p) - background) <= 1 && std::abs(qGreen(p) - background) <= 1 &&
           std::abs(qBlue(p) - background) <= 1;
}

bool near(QRgb p, const QColor& expected, int tolerance)
{
    return std::abs(qRed(p) - expected.red()) <= tolerance &&
           std::abs(qGreen(p) - expected.green()) <= tolerance &&
           std::abs(qBlue(p) - expected.blue()) <= tolerance;
}

// `colour` at `opacity` over a background of grey level `under`.
QColor over(const Rgb& colour, double opacity, double under = background)
{
    const auto mix = [&](double c) { return qRound(c * 255 * opacity + under * (1 - opacity)); };
    return QColor(mix(colour.red), mix(colour.green), mix(colour.blue));
}

// A pixel tinted by `colour` over the background, at whatever opacity.
bool tintedBy(QRgb p, const Rgb& colour)
{
    const double strongest = std::max({colour.red, colour.green, colour.blue}) * 255 - background;
    const int lead = std::max({qRed(p), qGreen(p), qBlue(p)}) - background;
    if (lead < 8)
        return false;
    return near(p, over(colour, lead / strongest), 4);
}

} // namespace

class TestCanvasRenderer final : public QObject {
    Q_OBJECT
private slots:
    void selectionDimsOtherNodesAndBackground()
    {
        ProjectData project;
        project.nodes = {makeNode(1, 10, 10), makeNode(2, 210, 10)};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live; // no grid in the way
        frame.liveGlowEnabled = false;
        const QImage plain = render(frame);
        frame.selectedNodes = {1};
        const QImage selected = render(frame);

        // Empty background: darkened by 30 % black.
        QCOMPARE(qRed(plain.pixel(200, 250)), background);
        QCOMPARE(qRed(selected.pixel(200, 250)), qRound(0.04 * 0.7 * 255));
        // The selected node's body keeps its colour (0.15); the other is at 30 % opacity.
        const QPoint bodySpot(30, 70); // inside the box, away from the labels and border
        QCOMPARE(qRed(plain.pixel(bodySpot)), qRound(0.15 * 255));
        QCOMPARE(qRed(selected.pixel(bodySpot)), qRound(0.15 * 255));
        const int dimmed = qRed(selected.pixel(bodySpot + QPoint(200, 0)));
        const double expected = (0.15 * 0.3 + 0.04 * 0.7 * 0.7) * 255;
        QVERIFY2(std::abs(dimmed - expected) <= 2, qPrintable(QString::number(dimmed)));
    }

    void hiddenTypeDisappearsWithItsCablesInLiveModeOnly()
    {
        ProjectData project;
        project.nodes = {makeNode(1, 10, 100), makeNode(2, 210, 100, QStringLiteral("Switch"))};
        CableData cable;
        cable.id = 1;
        cable.points = {nodePoint(1, 0.0), freePoint(200, 40), nodePoint(2, M_PI)};
        project.cables = {cable};
        RenderFrame frame = frameFor(project);
        frame.visibleTypes = {QStringLiteral("Router")};
        frame.liveGlowEnabled = false;
        const QPoint switchBody(250, 170);
        const QPoint cableSpot(195, 90); // on the first segment, outside both nodes

        frame.appMode = AppMode::edit;
        const QImage edit = render(frame);
        QVERIFY(!isBackground(edit.pixel(switchBody)));
        QVERIFY(!isBackground(edit.pixel(cableSpot)));

        frame.appMode = AppMode::live;
        const QImage live = render(frame);
        QVERIFY(isBackground(live.pixel(switchBody)));
        QVERIFY(isBackground(live.pixel(cableSpot)));
        QVERIFY(!isBackground(live.pixel(QPoint(50, 170)))); // the visible Router stays

        frame.visibleTypes.insert(QStringLiteral("Switch"));
        const QImage allVisible = render(frame);
        QVERIFY(!isBackground(allVisible.pixel(cableSpot)));
    }

    void gridAlignedAtNegativePan_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("pan");
        QTest::newRow("zoom 1") << 1.0 << QPointF(-30, -70);
        QTest::newRow("zoom 0.8") << 0.8 << QPointF(-33, -17);
        QTest::newRow("zoom 2, far negative") << 2.0 << QPointF(-1234, -5678);
        QTest::newRow("positive pan") << 1.0 << QPointF(130, 270);
    }
    void gridAlignedAtNegativePan()
    {
        QFETCH(double, zoom);
        QFETCH(QPointF, pan);
        ProjectData project;
        RenderFrame frame = frameFor(project);
        frame.view = ViewTransform{zoom, pan};
        const QImage image = render(frame);
        // Every column where a vertical line is drawn maps back to a canvas multiple of 50.
        int lines = 0;
        for (int x = 0; x < frameSize.width(); ++x) {
            const QRgb p = image.pixel(x, 5); // row 5 is crossed by no horizontal line here
            if (std::abs(qRed(p) - grid) > 2)
                continue;
            ++lines;
            const double canvasX = (x - pan.x()) / zoom;
            const double offGrid = std::remainder(canvasX, 50.0);
            QVERIFY2(std::abs(offGrid) <= 1.0 / zoom + 1e-9,
                     qPrintable(QStringLiteral("column %1 is canvas x %2").arg(x).arg(canvasX)));
        }
        QCOMPARE(lines, static_cast<int>(std::floor(frameSize.width() / (50 * zoom))) +
                            (lines > frameSize.width() / (50 * zoom) ? 1 : 0));
    }

    void resizeHandleSizeIsConstant_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::newRow("0.5") << 0.5;
        QTest::newRow("1") << 1.0;
        QTest::newRow("1.6") << 1.6;
    }
    void resizeHandleSizeIsConstant()
    {
        QFETCH(double, zoom);
        ProjectData project;
        project.nodes = {makeNode(1, 20, 20)};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.view = ViewTransform{zoom, QPointF(0, 0)};
        frame.selectedNodes = {1};
        // The handle exists only in edit mode.
        frame.appMode = AppMode::edit;
        const QImage image = render(frame);
        const QPoint corner(qRound((20 + 180) * zoom), qRound((20 + 80) * zoom));
        QRect bright;
        for (int y = corner.y() - 24; y <= corner.y() + 4; ++y)
            for (int x = corner.x() - 24; x <= corner.x() + 4; ++x)
                if (qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) > 200 &&
                    qBlue(image.pixel(x, y)) > 200)
                    bright = bright.united(QRect(x, y, 1, 1));
        QVERIFY2(std::abs(bright.width() - 16) <= 1 && std::abs(bright.height() - 16) <= 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(bright.width()).arg(bright.height())));
        QVERIFY(std::abs(bright.right() - corner.x()) <= 1);

        // With two nodes selected there is no handle.
        project.nodes.append(makeNode(2, 300, 300));
        frame.selectedNodes = {1, 2};
        const QImage two = render(frame);
        QVERIFY(qRed(two.pixel(corner - QPoint(4, 8))) < 200);
    }

    void freeEndedCableNeverStatusColoured()
    {
        ProjectData project;
        project.nodes = {makeNode(1, 10, 10), makeNode(2, 10, 200)};
        CableData freeEnded;
        freeEnded.id = 1;
        freeEnded.points = {nodePoint(1, 0.0), freePoint(390, 50)};
        CableData connected;
        connected.id = 2;
        connected.points = {nodePoint(2, 0.0), freePoint(390, 240), nodePoint(2, M_PI / 2)};
        project.cables = {freeEnded, connected};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.liveGlowEnabled = true;
        frame.nodeStatuses = {{1, PingStatus::online}, {2, PingStatus::online}};
        frame.pulsePhase = M_PI / 2; // full intensity
        int asked = 0;
        frame.cableStatus = [&](qint64, const QList<CablePoint>&) {
            ++asked;
            return PingStatus::online;
        };
        const QImage image = render(frame);
        QCOMPARE(asked, 1); // only the connected cable asks for a status

        const QRgb freeSpot = image.pixel(300, 50);
        // (0.24, 0.27, 0.31) at 0.6 over the background: blue above green above red.
        QVERIFY2(qBlue(freeSpot) > qGreen(freeSpot) && qGreen(freeSpot) > qRed(freeSpot) &&
                     qGreen(freeSpot) < 200 * 0.6,
                 qPrintable(QString::number(freeSpot, 16)));
        const QRgb connectedSpot = image.pixel(300, 240);
        QVERIFY2(qGreen(connectedSpot) > 180 && qRed(connectedSpot) < 120,
                 qPrintable(QString::number(connectedSpot, 16)));
    }

    // Reachable nodes breathe with the pulse; offline and unknown nodes glow steadily at 0.7.
    void glowSteadyOrBreathing_data()
    {
        QTest::addColumn<PingStatus>("status");
        QTest::addColumn<bool>("breathes");
        QTest::newRow("online") << PingStatus::online << true;
        QTest::newRow("slow") << PingStatus::slow << true;
        QTest::newRow("offline") << PingStatus::offline << false;
        QTest::newRow("unknown") << PingStatus::unknown << false;
    }
    void glowSteadyOrBreathing()
    {
        QFETCH(PingStatus, status);
        QFETCH(bool, breathes);
        ProjectData project;
        project.nodes = {makeNode(1, 100, 100)};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.nodeStatuses = {{1, status}};
        const QPoint beside(95, 140); // 5 units left of the box, inside the glow's reach
        frame.pulsePhase = 0.3;
        const QImage low = render(frame);
        frame.pulsePhase = M_PI / 2;
        const QImage high = render(frame);
        QVERIFY2(tintedBy(high.pixel(beside), statusColor(status)),
                 qPrintable(QString::number(high.pixel(beside), 16)));
        if (breathes)
            QVERIFY(isBackground(low.pixel(beside))); // |sin 0.3| keeps the glow within 4
        else
            QCOMPARE(low, high);
    }

    // Search matches get an amber outline, the root node a crown above it.
    void nodeMarks_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QRect>("probe");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("tolerance");
        QTest::addColumn<bool>("shown");
        const QRect leftOfBox(96, 125, 2, 30);
        const QColor highlight = over(Rgb{0.98, 0.75, 0.14}, 0.6);
        QTest::newRow("search match") << u"match"_s << leftOfBox << highlight << 4 << true;
        QTest::newRow("no match") << u"miss"_s << leftOfBox << highlight << 4 << false;
        QTest::newRow("match, empty search") << u"empty"_s << leftOfBox << highlight << 4 << false;
        const QRect aboveBox(178, 80, 24, 18);
        const QColor gold = QColor::fromRgbF(0.98f, 0.75f, 0.14f);
        QTest::newRow("root") << u"root"_s << aboveBox << gold << 50 << true;
        QTest::newRow("not root") << u"other root"_s << aboveBox << gold << 50 << false;
    }
    void nodeMarks()
    {
        QFETCH(QString, mark);
        QFETCH(QRect, probe);
        QFETCH(QColor, colour);
        QFETCH(int, tolerance);
        QFETCH(bool, shown);
        ProjectData project;
        project.nodes = {makeNode(1, 100, 100), makeNode(2, 100, 240)};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live; // no grid
        frame.liveGlowEnabled = false;
        frame.searchText = mark == u"empty"_s ? QString() : u"x"_s;
        frame.searchMatches = {mark == u"miss"_s ? 2 : 1};
        frame.rootNodeId = mark == u"root"_s ? 1 : 2;
        const QImage image = render(frame);
        bool found = false;
        for (int y = probe.top(); y <= probe.bottom(); ++y)
            for (int x = probe.left(); x <= probe.right(); ++x)
                found |= near(image.pixel(x, y), colour, tolerance);
        QCOMPARE(found, shown);
    }

    // While a cable is drawn, a dashed grey line (5 on, 5 off) runs from its last point to the
    // pointer.
    void rubberBandIsDashed()
    {
        ProjectData project;
        project.nodes = {makeNode(1, 20, 100)};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        GestureState gesture;
        gesture.isDrawingCable = true;
        gesture.currentCable = Cable{1, {nodePoint(1, 0.0)}}; // (200, 140)
        gesture.cablePreviewPoint = QPointF(390, 140);
        frame.gesture = &gesture;
        const QImage image = render(frame);
        const QColor ink = over(Rgb{0.6, 0.6, 0.6}, 0.5);
        QList<int> dashes;
        int run = 0;
        for (int x = 212; x < 385; ++x) {
            const QRgb p = image.pixel(x, 140);
            if (near(p, ink, 6)) {
                ++run;
                continue;
            }
            QVERIFY2(isBackground(p), qPrintable(QString::number(x)));
            if (run > 0)
                dashes.append(run);
            run = 0;
        }
        QVERIFY2(dashes.size() >= 15, qPrintable(QString::number(dashes.size())));
        dashes = dashes.mid(1, dashes.size() - 2); // the ends may be cut by the probed span
        for (int length : std::as_const(dashes))
            QVERIFY2(length >= 4 && length <= 6, qPrintable(QString::number(length)));
        QVERIFY(isBackground(image.pixel(300, 143))); // 2 units wide
    }

    // Point dots in edit mode: size and colour by the kind of point, at zoom 2.
    void pointDots_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("radius");
        QTest::addColumn<Rgb>("colour");
        QTest::addColumn<double>("opacity");
        const Rgb blue{0.29, 0.56, 0.89};
        const Rgb dark{0.16, 0.35, 0.54};
        QTest::newRow("free point") << u"free"_s << 8 << Rgb{0.24, 0.27, 0.31} << 0.6;
        QTest::newRow("selected cable") << u"selected"_s << 16 << blue << 0.9;
        QTest::newRow("node point, connected") << u"attached"_s << 10 << blue << 0.8;
        QTest::newRow("node point, loose end") << u"loose"_s << 8 << dark << 0.8;
        QTest::newRow("cable being drawn") << u"preview"_s << 8 << dark << 0.7;
    }
    void pointDots()
    {
        QFETCH(QString, kind);
        QFETCH(int, radius);
        QFETCH(Rgb, colour);
        QFETCH(double, opacity);
        // Every dot measured sits at canvas (125, 75), screen (250, 150), on a horizontal cable.
        ProjectData project;
        project.nodes = {makeNode(1, -170, 35), makeNode(2, 240, 35), makeNode(3, 35, -5)};
        const CablePointData left = nodePoint(1, 0.0);     // (10, 75)
        const CablePointData right = nodePoint(2, M_PI);   // (240, 75)
        const CablePointData below = nodePoint(3, M_PI_2); // (125, 75), under node 3
        CableData cable;
        cable.id = 1;
        if (kind == u"attached"_s)
            cable.points = {below, freePoint(190, 75), right};
        else if (kind == u"loose"_s)
            cable.points = {below, freePoint(190, 75)};
        else if (kind != u"preview"_s)
            cable.points = {left, freePoint(125, 75), right};
        project.cables = {cable};
        RenderFrame frame = frameFor(project);
        frame.view = ViewTransform{2.0, QPointF(0, 0)};
        GestureState gesture;
        if (kind == u"preview"_s) {
            gesture.isDrawingCable = true;
            gesture.currentCable = toCable(CableData{2, {left, freePoint(125, 75)}});
            frame.gesture = &gesture;
        }
        if (kind == u"selected"_s)
            frame.selectedCableIds = {1};
        const QImage image = render(frame);
        const QPoint centre(250, 150);
        QCOMPARE(CableGeometry(project, frame.view, {}, {}).screenPosition(freePoint(125, 75)),
                 QPointF(centre));

        const double under = kind == u"selected"_s ? 0.04 * 0.7 * 255 : background;
        const QColor fill = over(colour, opacity, under);
        const QRgb inside = image.pixel(centre + QPoint(0, radius / 2 + 2));
        QVERIFY2(near(inside, fill, 3),
                 qPrintable(QString::number(inside, 16) + u' ' + fill.name()));
        int extent = 0; // below the centre, where only the dot lies
        while (std::abs(qRed(image.pixel(centre + QPoint(0, extent + 1))) - qRound(under)) > 3)
            ++extent;
        QVERIFY2(std::abs(extent - radius) <= 1, qPrintable(QString::number(extent)));
    }

    void mapSaturationZeroIsGrey()
    {
        QImage red(40, 30, QImage::Format_RGB32);
        red.fill(QColor(220, 30, 40));
        ProjectData project;
        MapData map;
        map.imageData = pngOf(red);
        map.positionX = 100;
        map.positionY = 50;
        project.map = map;
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.view = ViewTransform{2.0, QPointF(-100, -50)}; // map at (100, 50) x 2 -> 100..180
        CanvasRenderer renderer;

        const QRgb colour = render(frame, &renderer).pixel(140, 80);
        QVERIFY(qRed(colour) > 200 && qGreen(colour) < 60);
        frame.mapSaturation = 0.0;
        const QRgb grey = render(frame, &renderer).pixel(140, 80);
        QVERIFY2(std::abs(qRed(grey) - qGreen(grey)) <= 1 &&
                     std::abs(qGreen(grey) - qBlue(grey)) <= 1,
                 qPrintable(QString::number(grey, 16)));
        QVERIFY(qRed(grey) > 40 && qRed(grey) < 120);
        frame.mapOpacity = 0.1;
        const QRgb faint = render(frame, &renderer).pixel(140, 80);
        QVERIFY(qRed(faint) < qRed(grey));

        // Decoded once; filtered once per saturation value; not per frame.
        QCOMPARE(renderer.mapCache().decodeCount(), 1);
        QCOMPARE(renderer.mapCache().filterCount(), 2);
        const QByteArray copy = *project.map->imageData; // shares the bytes: still cached
        project.map->imageData = copy;
        render(frame, &renderer);
        QCOMPARE(renderer.mapCache().decodeCount(), 1);
        red.fill(Qt::blue);
        project.map->imageData = pngOf(red);
        render(frame, &renderer);
        QCOMPARE(renderer.mapCache().decodeCount(), 2);
    }

    void saturationFilterEndpoints()
    {
        QImage image(2, 1, QImage::Format_ARGB32);
        image.setPixel(0, 0, qRgba(200, 40, 10, 255));
        image.setPixel(1, 0, qRgba(0, 0, 255, 128));
        QCOMPARE(saturationFiltered(image, 1.0).convertToFormat(QImage::Format_ARGB32).pixel(0, 0),
                 image.pixel(0, 0));
        const QImage grey = saturationFiltered(image, 0.0).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(qRed(grey.pixel(0, 0)), qGreen(grey.pixel(0, 0)));
        QCOMPARE(qGreen(grey.pixel(0, 0)), qBlue(grey.pixel(0, 0)));
        QCOMPARE(qAlpha(grey.pixel(1, 0)), 128);
        QVERIFY(saturationFiltered(QImage(), 0.5).isNull());
    }

    void nothingButBackgroundBeforeContentReady()
    {
        ProjectData project;
        project.nodes = {makeNode(1, 10, 10)};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.isContentReady = false;
        const QImage image = render(frame);
        QVERIFY(isBackground(image.pixel(30, 70)));
    }

    void unknownTypeUsesPaletteColourZero()
    {
        ProjectData project;
        project.nodes = {makeNode(1, 10, 10, QStringLiteral("Mystery"))};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.liveGlowEnabled = false;
        frame.visibleTypes.insert(QStringLiteral("Mystery"));
        const QRgb border = render(frame).pixel(100, 10); // top edge, 2 px wide at zoom 1
        QVERIFY2(qGreen(border) > 180 && qRed(border) < 110,
                 qPrintable(QString::number(border, 16)));
    }

    void degenerateNumbersDoNotBreakTheFrame()
    {
        ProjectData project;
        NodeData bad = makeNode(1, 10, 10);
        bad.scale = std::nan("");
        project.nodes = {bad, makeNode(2, 1e300, -1e300)};
        CableData cable;
        cable.id = 1;
        cable.points = {nodePoint(1, std::nan("")), nodePoint(99, 0.0), freePoint(1e308, 1e308)};
        project.cables = {cable};
        RenderFrame frame = frameFor(project);
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        const QImage image = render(frame);
        QVERIFY(!isBackground(image.pixel(30, 70))); // the NaN-scale node is drawn at scale 1
        // The missing node's point sits at (0, 0); the segment from there towards the far free
        // point is clipped to the frame but still drawn along the diagonal.
        QVERIFY(!isBackground(image.pixel(150, 150)));
        QVERIFY(!isBackground(image.pixel(280, 280)));
    }

    // A frame whose device matches its size is drawn on a pool thread and copied; one on a
    // wider device is drawn in place. Both must give the same pixels.
    void pooledFrameMatchesDirectDrawing_data()
    {
        QTest::addColumn<bool>("live");
        QTest::addColumn<bool>("selectFirst");
        QTest::newRow("edit") << false << false;
        QTest::newRow("edit, dimmed") << false << true;
        QTest::newRow("live glow") << true << false;
        QTest::newRow("live glow, dimmed") << true << true;
    }

    void pooledFrameMatchesDirectDrawing()
    {
        QFETCH(bool, live);
        QFETCH(bool, selectFirst);
        ProjectData project;
        project.nodes = {makeNode(1, 10, 20), makeNode(2, 200, 150, QStringLiteral("Switch"))};
        project.nodes[0].name = QStringLiteral("Core");
        project.nodes[0].ip = QStringLiteral("127.0.0.1");
        CableData cable;
        cable.id = 1;
        cable.points = {nodePoint(1, 0.0), freePoint(300, 60), nodePoint(2, M_PI)};
        project.cables = {cable};
        RenderFrame frame = frameFor(project);
        frame.appMode = live ? AppMode::live : AppMode::edit;
        frame.nodeStatuses = {{1, PingStatus::online}, {2, PingStatus::offline}};
        frame.pulsePhase = 1.0;
        frame.rootNodeId = 1;
        frame.cableStatus = [](qint64, const QList<CablePoint>&) { return PingStatus::slow; };
        if (selectFirst)
            frame.selectedNodes = {1};
        frame.view.zoom = 0.9;
        frame.view.pan = QPointF(3.3, -7.6);

        CanvasRenderer renderer;
        const QImage pooled = render(frame, &renderer);
        QImage wide(frameSize + QSize(1, 0), QImage::Format_ARGB32_Premultiplied);
        wide.fill(Qt::magenta);
        QPainter painter(&wide);
        renderer.drawCanvas(painter, frameSize, frame);
        painter.end();
        QCOMPARE(qRgb(255, 0, 255), wide.pixel(frameSize.width(), 0)); // outside: untouched
        const QImage direct = wide.copy(QRect(QPoint(0, 0), frameSize));
        int differing = 0;
        for (int y = 0; y < frameSize.height(); ++y) {
            for (int x = 0; x < frameSize.width(); ++x) {
                if (qAlpha(pooled.pixel(x, y)) != 255 || pooled.pixel(x, y) != direct.pixel(x, y))
                    ++differing;
            }
        }
        QCOMPARE(differing, 0);
    }

    // Status-coloured cables ask for their status once per frame, in list order, on screen or
    // not; cables drawn in another style do not ask.
    void cableStatusAskedForStatusColouredCables_data()
    {
        QTest::addColumn<bool>("live");
        QTest::addColumn<bool>("glow");
        QTest::addColumn<QList<qint64>>("asked");
        QTest::newRow("live with glow") << true << true << QList<qint64>{2, 1};
        QTest::newRow("live without glow") << true << false << QList<qint64>{};
        QTest::newRow("edit") << false << true << QList<qint64>{};
    }

    void cableStatusAskedForStatusColouredCables()
    {
        QFETCH(bool, live);
        QFETCH(bool, glow);
        QFETCH(QList<qint64>, asked);
        ProjectData project;
        project.nodes = {makeNode(1, 10, 10), makeNode(2, 5000, 10), makeNode(3, 10, 200),
                         makeNode(4, 300, 200, QStringLiteral("Hidden"))};
        const auto connect = [](qint64 id, qint64 a, qint64 b) {
            CableData c;
            c.id = id;
            c.points = {nodePoint(a, 0.0), nodePoint(b, M_PI)};
            return c;
        };
        CableData freeEnded;
        freeEnded.id = 3;
        freeEnded.points = {nodePoint(1, 0.0), freePoint(200, 100)};
        // 2: far off screen; 3: free end; 4: selected; 5: attached to a hidden type.
        project.cables = {connect(2, 1, 2), connect(1, 1, 3), freeEnded, connect(4, 3, 1),
                          connect(5, 3, 4)};
        RenderFrame frame = frameFor(project);
        frame.appMode = live ? AppMode::live : AppMode::edit;
        frame.liveGlowEnabled = glow;
        frame.selectedCableIds = {4};
        QList<qint64> seen;
        frame.cableStatus = [&seen](qint64 id, const QList<CablePoint>& points) {
            seen.append(id);
            return points.size() == 2 ? PingStatus::online : PingStatus::unknown;
        };
        render(frame);
        QCOMPARE(seen, asked);
    }
};

QTEST_MAIN(TestCanvasRenderer)
#include "tst_canvas_renderer.moc"
