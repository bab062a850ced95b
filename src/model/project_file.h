// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading and writing project files: a project is a regular, non-empty file that decodes; a file
// Velmora writes is replaced atomically or left untouched.

#include "model/expected.h"
#include "model/project_data.h"

#include <QByteArray>
#include <QString>

namespace velmora {

// The error is the reason alone ("no such file", "is a directory, ...", the decoder's message);
// callers name the file.
Expected<ProjectData> readProjectFile(const QString& path);

// Writes through QSaveFile: on any failure the file on disk keeps its previous contents.
Expected<void> writeFileAtomically(const QString& path, const QByteArray& contents);

} // namespace velmora
