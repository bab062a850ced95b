// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File › Export Map…: the whole content of a window's project, framed with a margin, drawn in
// the window's current look (edit, or live with the statuses of the moment) into a PNG, SVG or
// PDF file chosen in a save dialog.

#include "canvas/canvas_renderer.h"
#include "model/expected.h"

#include <QSize>

class QWidget;

namespace velmora {

class CanvasWidget;
class UserDialogs;

struct MapExport {
    RenderFrame frame;
    QSize size;
};

// The canvas's frame without what belongs to the moment's interaction (selection, gestures,
// search highlight), framing the whole content at zoom 1 with the export margin.
MapExport mapExportOf(const CanvasWidget& canvas);

// Asks where to export and writes the file; a failure is shown in an error dialog.
void runMapExportFlow(QWidget* window, const CanvasWidget& canvas, UserDialogs& dialogs,
                      const QString& suggestedPath);

} // namespace velmora
