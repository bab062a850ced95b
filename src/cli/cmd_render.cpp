// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-cli render FILE OUT.(png|svg|pdf) [--size WxH] [--live]: draws the project as the
// canvas does, with its stored view (framed to the image when the stored pan is exactly (0, 0)),
// into a PNG image or a vector SVG or PDF chosen by OUT's extension.

#include "canvas/canvas_renderer.h"
#include "canvas/map_export.h"
#include "canvas/map_image.h"
#include "canvas/view_framing.h"
#include "cli/command_registry.h"
#include "model/project_file.h"
#include "model/project_session.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

using namespace Qt::StringLiterals;

namespace velmora::cli {
namespace {

constexpr int maxSide = 16384;

const QString name = u"render"_s;

int runRender(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption sizeOption(u"size"_s, QString(), u"WxH"_s);
    const QCommandLineOption liveOption(u"live"_s);
    parser.addOptions({sizeOption, liveOption});
    if (const Expected<void, int> parsed = parseCommandLine(parser, name, arguments); !parsed)
        return parsed.error();
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return usageError(name, Cli::tr("expected FILE and OUT.png, OUT.svg or OUT.pdf"));
    QSize size(1600, 1000);
    if (parser.isSet(sizeOption)) {
        const QString value = parser.value(sizeOption);
        static const QRegularExpression pattern(u"^(\\d{1,5})x(\\d{1,5})$"_s);
        const QRegularExpressionMatch match = pattern.match(value);
        const int w = match.hasMatch() ? match.captured(1).toInt() : 0;
        const int h = match.hasMatch() ? match.captured(2).toInt() : 0;
        if (w < 1 || h < 1 || w > maxSide || h > maxSide)
            return usageError(
                name, Cli::tr("bad size \"%1\" (WxH, each 1 to %2)").arg(value).arg(maxSide));
        size = QSize(w, h);
    }
    const bool live = parser.isSet(liveOption);
    const QString& file = files.at(0);
    const QString& out = files.at(1);
    if (!exportFormatFor(out))
        return usageError(name, Cli::tr("unknown output type \"%1\" (use %2)")
                                    .arg(QFileInfo(out).suffix(), exportFormatList()));

    const Expected<ProjectData> read = readProjectFile(file);
    if (!read)
        return fail(file, read.error().message);
    ProjectDocument document(*read);
    ProjectSession session(&document);
    session.ensureTypeColors();
    session.loadTypeColors();
    const ProjectData& project = document.projectData();

    // The image has no panes over it: a framed view centres in the whole image.
    ViewTransform view;
    const ViewSettings& stored = project.viewSettings;
    if (stored.panX == 0.0 && stored.panY == 0.0) {
        const QSize mapSize =
            project.hasMapImage() ? encodedImageSize(*project.map->imageData) : QSize();
        const Framing framing = fitFraming(project, mapSize, size, PaneWidths{0, 0});
        view = ViewTransform{framing.zoom, framing.pan};
    } else {
        const bool usable = std::isfinite(stored.zoom) && stored.zoom > 0 &&
                            std::isfinite(stored.panX) && std::isfinite(stored.panY);
        view = usable ? ViewTransform{stored.zoom, QPointF(stored.panX, stored.panY)}
                      : ViewTransform{};
    }

    RenderFrame frame;
    frame.project = &project;
    frame.view = view;
    frame.appMode = live ? AppMode::live : AppMode::edit;
    frame.typeColorMap = session.typeColorMap();
    frame.visibleTypes = session.visibleTypes();
    frame.liveGlowEnabled = true; // every node has no status yet: the steady unknown glow
    frame.mapOpacity = stored.mapOpacity;
    frame.mapSaturation = stored.mapSaturation;

    const Expected<void> written = writeCanvasExport(out, size, frame);
    if (!written)
        return fail(out, written.error().message);
    return exitOk;
}

const CommandRegistrar registrar(Command{
    name,
    QT_TRANSLATE_NOOP("velmora::cli", "render FILE OUT.(png|svg|pdf) [--size WxH] [--live]"),
    QT_TRANSLATE_NOOP("velmora::cli",
                      "Draw the project into a PNG image or an SVG or PDF drawing (by OUT's "
                      "extension;\ndefault 1600x1000) with its stored view, framed when the "
                      "stored pan is (0, 0);\n--live draws every node in live style, status "
                      "unknown."),
    true,
    runRender,
});

} // namespace
} // namespace velmora::cli
