// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The project file: one UTF-8 JSON document per project, keys sorted, pretty-printed,
// optional members omitted, the map image in Base64. Written by project_writer.cpp, read by
// project_codec.cpp.

#include "model/expected.h"
#include "model/project_data.h"

#include <QByteArray>

namespace velmora {

// Fails only when a number in the project is not finite (JSON cannot hold it); the message
// names the offending field, for example "nodes[2].x: not a finite number".
Expected<QByteArray> encodeProject(const ProjectData& project);

// Any failure fails the whole read. The message says what was wrong and where, for example
// "nodes[3]: missing key \"scale\"" or "map.imageData: invalid Base64".
Expected<ProjectData> decodeProject(const QByteArray& contents);

} // namespace velmora
