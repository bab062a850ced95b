// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the demo project: a small office network over a floor plan drawn here with QPainter.
// Every address is in 127.0.0.0/8, so live mode works on any Linux machine without touching a
// real network. Usage: velmora-make-demo OUT.velmora

#include "model/project_codec.h"
#include "model/project_data.h"
#include "model/type_colors.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

constexpr int planWidth = 1500;
constexpr int planHeight = 900;

struct Room {
    QRect rect;
    QString label;
};

// Rooms of the floor plan, in image pixels (the map is placed at scale 1, so these are also
// canvas units relative to the map's corner).
const Room rooms[] = {
    {{40, 40, 360, 340}, u"Server Room"_s},    {{400, 40, 700, 500}, u"Open Office"_s},
    {{1100, 40, 360, 340}, u"Meeting Room"_s}, {{40, 380, 360, 480}, u"Reception"_s},
    {{400, 540, 400, 320}, u"Print Corner"_s}, {{800, 540, 300, 320}, u"Kitchen"_s},
    {{1100, 380, 360, 480}, u"Manager"_s},
};

void drawDoor(QPainter& p, QPoint hinge, int width, bool horizontalWall)
{
    // Gap in the wall plus the door leaf's swing arc.
    p.setPen(QPen(QColor(0xf4, 0xf1, 0xea), 10));
    if (horizontalWall)
        p.drawLine(hinge, hinge + QPoint(width, 0));
    else
        p.drawLine(hinge, hinge + QPoint(0, width));
    p.setPen(QPen(QColor(0x8a, 0x84, 0x78), 2));
    const QRect arc(hinge.x() - width, hinge.y() - width, 2 * width, 2 * width);
    p.drawArc(arc, horizontalWall ? 0 : 270 * 16, 90 * 16);
}

QImage drawFloorPlan()
{
    QImage image(planWidth, planHeight, QImage::Format_RGB32);
    image.fill(QColor(0xf4, 0xf1, 0xea));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);

    // Furniture first, walls over it.
    p.setPen(QPen(QColor(0xc9, 0xc2, 0xb4), 2));
    p.setBrush(QColor(0xe6, 0xe0, 0xd3));
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col)
            p.drawRect(460 + col * 160, 200 + row * 100, 120, 50); // desks
    }
    p.drawRoundedRect(1170, 160, 220, 110, 40, 40); // meeting table
    p.drawRect(90, 700, 240, 60);                   // reception desk
    p.drawRect(1160, 620, 200, 80);                 // manager's desk
    p.drawRect(830, 780, 240, 50);                  // kitchen counter
    for (int rack = 0; rack < 4; ++rack)
        p.drawRect(70 + rack * 80, 300, 50, 60); // server racks

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x3c, 0x3a, 0x36), 8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(QRect(40, 40, planWidth - 80, planHeight - 80));
    for (const Room& room : rooms)
        p.drawRect(room.rect);

    drawDoor(p, {300, 380}, 60, true);   // server room -> reception
    drawDoor(p, {400, 420}, 60, false);  // reception -> open office
    drawDoor(p, {1100, 120}, 60, false); // open office -> meeting room
    drawDoor(p, {600, 540}, 60, true);   // open office -> print corner
    drawDoor(p, {900, 540}, 60, true);   // open office -> kitchen
    drawDoor(p, {1100, 440}, 60, false); // open office -> manager
    drawDoor(p, {120, 860}, 80, true);   // entrance

    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x6b, 0x65, 0x5a));
    for (const Room& room : rooms)
        p.drawText(room.rect.adjusted(16, 12, -16, -12), Qt::AlignLeft | Qt::AlignTop, room.label);
    font.setPixelSize(18);
    font.setBold(false);
    p.setFont(font);
    p.drawText(QRect(40, planHeight - 36, planWidth - 80, 30), Qt::AlignRight | Qt::AlignVCenter,
               u"Velmora demo office — ground floor"_s);
    p.end();
    return image;
}

QByteArray encodeTiff(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setCompression(1); // LZW: lossless and many times smaller for a plan
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
        return {};
    return bytes;
}

double anchorAngleTowards(const NodeData& node, QPointF target)
{
    const QPointF centre(node.x + nodeWidth * node.scale / 2, node.y + nodeHeight * node.scale / 2);
    return std::atan2(target.y() - centre.y(), target.x() - centre.x());
}

QPointF centreOf(const NodeData& node)
{
    return {node.x + nodeWidth * node.scale / 2, node.y + nodeHeight * node.scale / 2};
}

ProjectData buildProject(const QByteArray& tiff)
{
    ProjectData project;
    project.projectName = u"Demo Office"_s;

    // Map corner in canvas units; node positions below are given relative to the plan.
    const double mx = defaultMapPositionX;
    const double my = defaultMapPositionY;
    project.map = MapData{tiff, mx, my, 1.0};

    struct Seed {
        const char16_t* name;
        const char16_t* type;
        const char16_t* ip;
        double x, y;
    };
    const Seed seeds[] = {
        {u"Core Router", u"Router", u"127.0.10.1", 60, 90},
        {u"Core Switch", u"Switch", u"127.0.10.2", 60, 190},
        {u"File Server", u"Server", u"127.0.20.10", 700, 90},
        {u"Mail Server", u"Server", u"127.0.20.11", 480, 400},
        {u"Backup Server", u"Server", u"127.0.20.12", 250, 200},
        {u"Office Switch", u"Switch", u"127.0.10.3", 880, 400},
        {u"AP Open Office", u"Access Point", u"127.0.30.1", 700, 270},
        {u"AP Meeting Room", u"Access Point", u"127.0.30.2", 1190, 290},
        {u"AP Reception", u"Access Point", u"127.0.30.3", 110, 440},
        {u"Office Printer", u"Printer", u"127.0.40.1", 500, 640},
        {u"Reception Printer", u"Printer", u"127.0.40.2", 170, 590},
        {u"Manager Laptop Dock", u"Switch", u"127.0.10.4", 1190, 740},
    };
    for (const Seed& s : seeds) {
        NodeData node;
        node.id = project.nextNodeId++;
        node.name = QString::fromUtf16(s.name);
        node.type = QString::fromUtf16(s.type);
        node.ip = QString::fromUtf16(s.ip);
        node.x = mx + s.x;
        node.y = my + s.y;
        node.scale = 1.0;
        project.nodes.append(node);
    }
    // The backup server's box is a little smaller, the core router's a little larger.
    project.nodes[4].scale = 0.8;
    project.nodes[0].scale = 1.15;

    const auto node = [&](qint64 id) -> const NodeData& { return project.nodes[id - 1]; };
    // A cable given as node ids (attached points) and free bends; an attached point's angle
    // points at its neighbour on the path, as drawing a cable would place it.
    struct Step {
        qint64 nodeId; // 0: a free bend at `at`
        QPointF at;
    };
    const auto addCable = [&](std::initializer_list<Step> steps) {
        const QList<Step> path(steps);
        CableData cable;
        cable.id = project.nextCableId++;
        for (qsizetype i = 0; i < path.size(); ++i) {
            const Step& step = path[i];
            CablePointData point;
            if (step.nodeId == 0) {
                point.type = cablePointTypeFree;
                point.x = mx + step.at.x();
                point.y = my + step.at.y();
            } else {
                const Step& neighbour = i + 1 < path.size() ? path[i + 1] : path[i - 1];
                const QPointF target = neighbour.nodeId == 0
                                           ? QPointF(mx + neighbour.at.x(), my + neighbour.at.y())
                                           : centreOf(node(neighbour.nodeId));
                point.type = cablePointTypeNode;
                point.nodeId = step.nodeId;
                point.anchorAngle = anchorAngleTowards(node(step.nodeId), target);
            }
            cable.points.append(point);
        }
        project.cables.append(cable);
    };

    addCable({{1, {}}, {2, {}}});                                   // router - core switch
    addCable({{2, {}}, {0, {560, 230}}, {3, {}}});                  // core switch - file server
    addCable({{2, {}}, {0, {330, 330}}, {0, {620, 330}}, {6, {}}}); // to the office switch
    // One run through the mail server on to the office printer: attached in the middle.
    addCable({{6, {}}, {4, {}}, {0, {570, 600}}, {10, {}}});
    addCable({{6, {}}, {7, {}}});
    addCable({{6, {}}, {0, {1060, 330}}, {8, {}}});
    addCable({{2, {}}, {5, {}}, {9, {}}}); // backup server in the middle of the reception run
    addCable({{9, {}}, {0, {80, 630}}, {11, {}}});
    addCable({{6, {}}, {0, {1060, 500}}, {0, {1060, 780}}, {12, {}}});

    const QString types[] = {u"Router"_s, u"Switch"_s, u"Server"_s, u"Access Point"_s,
                             u"Printer"_s};
    for (std::size_t i = 0; i < std::size(types); ++i) {
        const Rgb& c = colorPalette.at(i);
        project.typeColors.append(TypeColorData{types[i], c.red, c.green, c.blue});
    }
    return project;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: velmora-make-demo OUT.velmora\n";
        return 64;
    }
    const QByteArray tiff = encodeTiff(drawFloorPlan());
    if (tiff.isEmpty()) {
        err << "velmora-make-demo: TIFF encoding failed (is qt6-image-formats-plugins "
               "installed?)\n";
        return 2;
    }
    const Expected<QByteArray> encoded = encodeProject(buildProject(tiff));
    if (!encoded) {
        err << "velmora-make-demo: " << encoded.error().message << '\n';
        return 2;
    }
    QSaveFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(*encoded) != encoded->size() ||
        !out.commit()) {
        err << "velmora-make-demo: " << out.fileName() << ": " << out.errorString() << '\n';
        return 2;
    }
    return 0;
}
