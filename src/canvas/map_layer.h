// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Loading, replacing and clearing the project's background map image.

#include "model/expected.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace velmora {

class ProjectSession;
class ViewState;

// Reads a floor-plan file (see readFloorPlan) and makes it the project's map (as lossless LZW
// TIFF at (100, 50), scale 1), with an undo snapshot; the view frames it 0.1 s later without
// animation. A file that cannot be read or rendered changes nothing; the error says why.
Expected<void> loadMapImage(ProjectSession& session, ViewState& view, const QString& path);
// Removes the map with an undo snapshot; the map opacity and saturation stay.
void clearMapImage(ProjectSession& session);
// The image as LZW TIFF bytes; empty when it cannot be encoded.
QByteArray encodeMapImage(const QImage& image);

} // namespace velmora
