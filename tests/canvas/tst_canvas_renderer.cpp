// SPDX-License-Identifier: GPL-3.0-or-later
// Pixels of rendered frames: live-mode type filtering of nodes and their cables, grid alignment,
// resize handle size, the glow of each status, search and root marks, the rubber band, the
// map's saturation filter, decoding the map image once, frames drawn on a pool thread matching
// frames drawn in place, and which cables ask for their status.

#include "support/builders.h"
#include "support/pixels.h"

#include "canvas/cable_geometry.h"
#include "canvas/canvas_renderer.h"
#include "canvas/glow_sprites.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

#include <cmath>

using namespace velmora;
using namespace velmora::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(velmora::PingStatus)

namespace {

constexpr QSize frameSize(400, 300);

NodeData makeNode(qint64 id, double x, double y, const QString& type = u"Router"_s)
{
    return {.id = id, .type = type, .x = x, .y = y};
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

const int background = qRound(0.04 * 255);                // 10
const int grid = qRound((0.04 * 0.7 + 0.24 * 0.3) * 255); // 26

bool near(QRgb p, const QColor& expected, int tolerance)
{
    return colorsNear(QColor(p), expected, tolerance);
}

bool isBackground(QRgb p)
{
    return near(p, QColor(background, background, background), 1);
}

int differingPixels(const QImage& a, const QImage& b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            differing += qAlpha(a.pixel(x, y)) != 255 || a.pixel(x, y) != b.pixel(x, y);
    }
    return differing;
}

// The largest difference of any channel between two images of one size.
int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

// `colour` at `opacity` over the background.
QColor over(const Rgb& colour, double opacity)
{
    const auto mix = [&](double c) {
        return qRound(c * 255 * opacity + background * (1 - opacity));
    };
    return QColor(mix(colour.red), mix(colour.green), mix(colour.blue));
}

} // namespace

class TestCanvasRenderer final : public QObject {
    Q_OBJECT
private slots:
    void hiddenTypeDisappearsWithItsCablesInLiveModeOnly()
    {
        ProjectData project;
        project.nodes = {makeNode(1, 10, 100), makeNode(2, 210, 100, QStringLiteral("Switch"))};
        project.cables = {
            CableData{1, {nodePoint(1, 0.0), freePoint(200, 40), nodePoint(2, M_PI)}}};
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
        QTest::newRow("1.6") << 1.6;
    }
    void resizeHandleSizeIsConstant()
    {
        QFETCH(double, zoom);
        ProjectData project;
        project.nodes = {makeNode(1, 20, 20)};
        RenderFrame frame = frameFor(project);
        frame.view = ViewTransform{zoom, QPointF(0, 0)};
        frame.selectedNodes = {1};
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

    // Reachable nodes breathe with the pulse; offline and unknown nodes glow steadily at 0.7.
    void glowIntensity()
    {
        QCOMPARE(pulseIntensity(PingStatus::online, M_PI / 2), 1.0);
        QCOMPARE(pulseIntensity(PingStatus::slow, -0.3), std::sin(0.3));
        QCOMPARE(pulseIntensity(PingStatus::offline, M_PI / 2), 0.7);
        QCOMPARE(pulseIntensity(PingStatus::unknown, 0.3), 0.7);
    }

    // Search matches get an amber outline, the root node a crown above it, stale nodes a grey
    // outline.
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
        const QRect topRightOfBox(254, 100, 26, 26);
        const QColor slash(242, 77, 77);
        QTest::newRow("muted") << u"muted"_s << topRightOfBox << slash << 40 << true;
        QTest::newRow("not muted") << u"other muted"_s << topRightOfBox << slash << 40 << false;
        // A status kept but not confirmed (its source is gone) is outlined grey, not green.
        const QRect boxEdge(99, 125, 2, 30);
        const QColor grey = QColor::fromRgbF(0.5f, 0.5f, 0.5f);
        QTest::newRow("stale") << u"stale"_s << boxEdge << grey << 30 << true;
        QTest::newRow("confirmed") << u"confirmed"_s << boxEdge << grey << 30 << false;
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
        const bool status = mark == u"stale"_s || mark == u"confirmed"_s;
        frame.liveGlowEnabled = status;
        frame.nodeStatuses = {{1, PingStatus::online}};
        frame.staleNodes = {mark == u"stale"_s ? 1 : 2};
        frame.searchText = mark == u"empty"_s || status ? QString() : u"x"_s;
        frame.searchMatches = {mark == u"miss"_s ? 2 : 1};
        frame.rootNodeId = mark == u"root"_s ? 1 : 2;
        frame.mutedNodes = {mark == u"muted"_s ? 1 : 2};
        QCOMPARE(countNear(render(frame), colour, tolerance, probe) > 0, shown);
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
        // 170 units of line from x = 212 on: 17 dashes of 5, each followed by a gap of 5.
        const QRect line(212, 140, 170, 1);
        const int inked = countNear(image, over(Rgb{0.6, 0.6, 0.6}, 0.5), 6, line);
        QVERIFY2(inked >= 80 && inked <= 90, qPrintable(QString::number(inked)));
        QCOMPARE(inked + countNear(image, QColor(background, background, background), 1, line),
                 170);
        QVERIFY(isBackground(image.pixel(300, 143))); // 2 units wide
    }

    void mapSaturationZeroIsGrey()
    {
        QImage red(40, 30, QImage::Format_RGB32);
        red.fill(QColor(220, 30, 40));
        ProjectData project{.map = MapData{.imageData = pngOf(red)}}; // at (100, 50)
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.view = ViewTransform{2.0, QPointF(-100, -50)}; // map at (100, 50) x 2 -> 100..180
        CanvasRenderer renderer;

        const QRgb colour = render(frame, &renderer).pixel(140, 80);
        QVERIFY(qRed(colour) > 200 && qGreen(colour) < 60);
        frame.mapSaturation = 0.0;
        const QRgb grey = render(frame, &renderer).pixel(140, 80);
        QVERIFY(near(grey, QColor(qGreen(grey), qGreen(grey), qGreen(grey)), 1));
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

    // A type without a colour is drawn in palette colour 0; nothing but the background is
    // drawn until the content is ready.
    void unknownTypeAndContentNotReady()
    {
        const ProjectData project{.nodes = {makeNode(1, 10, 10, QStringLiteral("Mystery"))}};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.liveGlowEnabled = false;
        frame.visibleTypes.insert(QStringLiteral("Mystery"));
        const QRgb border = render(frame).pixel(100, 10); // top edge, 2 px wide at zoom 1
        QVERIFY2(qGreen(border) > 180 && qRed(border) < 110,
                 qPrintable(QString::number(border, 16)));
        frame.isContentReady = false;
        QVERIFY(isBackground(render(frame).pixel(100, 10)));
    }

    // A long name or type is cut to the box: nothing is drawn beside the box, at any zoom.
    void longLabelsStayInTheBox_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<double>("zoom");
        const QString longText = QString(90, u'W');
        QTest::newRow("name") << longText << u"Router"_s << 1.0;
        QTest::newRow("type") << u"A"_s << longText << 1.0;
        QTest::newRow("name zoomed in") << longText << u"Router"_s << 1.6;
    }
    void longLabelsStayInTheBox()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(double, zoom);
        ProjectData project{.nodes = {makeNode(1, 110, 60, type)}};
        project.nodes[0].name = name;
        RenderFrame frame = frameFor(project);
        frame.view = {zoom, QPointF(110 - 110 * zoom, 60 - 60 * zoom)};
        const QImage image = render(frame);
        int inside = 0;
        int beside = 0;
        for (int y = 64; y < 60 + int(nodeHeight * zoom) - 4; ++y) {
            for (int x = 0; x < frameSize.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 70) // background, grid and body: not text
                    continue;
                (x > 104 && x < 116 + nodeWidth * zoom ? inside : beside) += 1;
            }
        }
        QVERIFY(inside > 100);
        QCOMPARE(beside, 0);
    }

    // Numbers and bytes no drawing can use (hand-edited files) draw what they can, warn nothing.
    void degenerateNumbersDoNotBreakTheFrame()
    {
        ProjectData project;
        NodeData bad = makeNode(1, 10, 10);
        bad.scale = std::nan("");
        project.nodes = {bad, makeNode(2, 1e300, -1e300)};
        project.cables = {CableData{
            1, {nodePoint(1, std::nan("")), nodePoint(99, 0.0), freePoint(1e308, 1e308)}}};
        project.map = MapData{.imageData = QByteArray("not an image")};
        RenderFrame frame = frameFor(project);
        frame.mapSaturation = 0.5; // an image that does not decode is not filtered either
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
        project.cables = {
            CableData{1, {nodePoint(1, 0.0), freePoint(300, 60), nodePoint(2, M_PI)}}};
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
        QCOMPARE(differingPixels(pooled, wide.copy(QRect(QPoint(0, 0), frameSize))), 0);
    }

    // A glow copied from a sprite lies within a quarter pixel of the glow drawn directly, so no
    // channel differs by more than a few levels; a sprite copied to the wrong pixel would.
    // Glows too large for a sprite are left to the caller.
    void glowSpritesMatchDirectGlows_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("topLeft");
        QTest::addColumn<double>("intensity");
        QTest::addColumn<bool>("sprite");
        QTest::newRow("zoom 1") << 1.0 << QPointF(40.3, 30.9) << 1.0 << true;
        QTest::newRow("zoom 1, faint") << 1.0 << QPointF(40.13, 30.62) << 0.2 << true;
        QTest::newRow("framed") << 0.15 << QPointF(40.6, 30.2) << 0.8 << true;
        QTest::newRow("zoom 1.3") << 1.3 << QPointF(40.74, 30.49) << 0.9 << true;
        QTest::newRow("zoom 2: too large") << 2.0 << QPointF(40.0, 30.0) << 1.0 << false;
    }
    void glowSpritesMatchDirectGlows()
    {
        QFETCH(double, zoom);
        QFETCH(QPointF, topLeft);
        QFETCH(double, intensity);
        QFETCH(bool, sprite);
        const QRectF box(topLeft, QSizeF(180 * zoom, 80 * zoom));
        const QColor colour = toColor(statusColor(PingStatus::online));
        QImage copied(500, 260, QImage::Format_RGB32);
        copied.fill(QColor(background, background, background));
        QImage direct = copied;
        GlowSprites sprites;
        QPainter painter(&copied);
        QCOMPARE(sprites.draw(painter, box, 8 * zoom, colour, intensity, zoom), sprite);
        painter.end();
        painter.begin(&direct);
        painter.setRenderHint(QPainter::Antialiasing, true);
        if (sprite)
            GlowSprites::paintLayers(painter, box, 8 * zoom, colour, intensity, zoom);
        painter.end();
        QCOMPARE(sprites.count(), sprite ? 1 : 0);
        QVERIFY(largestDifference(copied, direct) <= 16); // of 255, on soft edge pixels only
    }

    // A pulse tick draws only the region of what breathes over the frame before, and a renderer
    // that keeps cached layers follows every change of view and content: either way the result
    // is the frame a fresh renderer draws whole.
    void partialAndCachedFramesMatchWholeFrames_data()
    {
        QTest::addColumn<QString>("change");
        for (const char* change : {"pulse", "pan", "zoom", "node moved", "map opacity",
                                   "map saturation", "selection", "edit mode", "status", "muted"})
            QTest::newRow(change) << QString::fromLatin1(change);
    }
    void partialAndCachedFramesMatchWholeFrames()
    {
        QFETCH(QString, change);
        ProjectData project;
        project.nodes = {makeNode(1, 10, 10), makeNode(2, 210, 200), makeNode(3, 10, 200)};
        project.cables = {cableBetween(1, 1, 3), cableBetween(2, 2, 3)};
        QImage plan(40, 30, QImage::Format_RGB32);
        plan.fill(QColor(200, 40, 90));
        project.map = MapData{.imageData = pngOf(plan), .positionX = 150, .positionY = 20};
        RenderFrame frame = frameFor(project);
        frame.appMode = AppMode::live;
        frame.nodeStatuses = {
            {1, PingStatus::online}, {2, PingStatus::offline}, {3, PingStatus::slow}};
        frame.cableStatus = [&frame](qint64, const QList<CablePoint>& points) {
            return frame.nodeStatuses.value(*points.constFirst().nodeId);
        };
        frame.pulsePhase = 0.4;
        CanvasRenderer cached;
        QImage image = render(frame, &cached);

        QRegion region;
        if (change == u"pulse"_s) {
            frame.pulsePhase += 0.1;
            region = cached.pulseRegion(frameSize, frame);
            QVERIFY(region.contains(QPoint(100, 50)));   // the online node
            QVERIFY(region.contains(QPoint(95, 150)));   // its cable to the slow node
            QVERIFY(!region.contains(QPoint(330, 250))); // the steady offline node
        } else if (change == u"pan"_s) {
            frame.view.pan = QPointF(17.5, -9.25);
        } else if (change == u"zoom"_s) {
            frame.view.zoom = 1.3;
        } else if (change == u"node moved"_s) {
            project.nodes[0].x += 60;
        } else if (change == u"map opacity"_s) {
            frame.mapOpacity = 0.4;
        } else if (change == u"map saturation"_s) {
            frame.mapSaturation = 0.0;
        } else if (change == u"selection"_s) {
            frame.selectedNodes = {2};
        } else if (change == u"edit mode"_s) {
            frame.appMode = AppMode::edit;
        } else if (change == u"muted"_s) {
            frame.mutedNodes = {3};
        } else {
            frame.nodeStatuses[2] = PingStatus::online;
        }
        QPainter painter(&image);
        cached.drawCanvas(painter, frameSize, frame, region);
        painter.end();
        QCOMPARE(differingPixels(image, render(frame)), 0);
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
        // 2: far off screen; 3: free end; 4: selected; 5: attached to a hidden type.
        project.cables = {cableBetween(2, 1, 2), cableBetween(1, 1, 3),
                          CableData{3, {nodePoint(1, 0.0), freePoint(200, 100)}},
                          cableBetween(4, 3, 1), cableBetween(5, 3, 4)};
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
