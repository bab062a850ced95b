// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/map_export_flow.h"

#include "app/user_dialogs.h"
#include "canvas/canvas_widget.h"
#include "canvas/map_export.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velmora {

MapExport mapExportOf(const CanvasWidget& canvas)
{
    RenderFrame frame = canvas.renderFrame();
    frame.isContentReady = true;
    frame.gesture = nullptr;
    frame.selectedNodes.clear();
    frame.selectedCableIds.clear();
    frame.searchMatches.clear();
    frame.searchText.clear();
    const ProjectData& project = *frame.project;
    const QSize mapSize =
        project.hasMapImage() ? encodedImageSize(*project.map->imageData) : QSize();
    const QRectF bounds = contentBounds(project, mapSize);
    const QSize size = exportSize(bounds);
    frame.view = framedView(bounds, size, exportMargin, false);
    return MapExport{frame, size};
}

void runMapExportFlow(QWidget* window, const CanvasWidget& canvas, UserDialogs& dialogs,
                      const QString& suggestedPath)
{
    const QString path = dialogs.askExportPath(window, suggestedPath);
    if (path.isEmpty())
        return;
    const MapExport exported = mapExportOf(canvas);
    const Expected<void> written = writeCanvasExport(path, exported.size, exported.frame);
    if (!written)
        dialogs.showError(window,
                          QCoreApplication::translate("velmora::MapExport",
                                                      "The map could not be exported to “%1”.")
                              .arg(QFileInfo(path).fileName()),
                          written.error().message);
}

} // namespace velmora
