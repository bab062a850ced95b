// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading and writing project files for the commands: a project must be a regular, non-empty
// file that decodes; any file a command writes is replaced atomically or left untouched.

#include "model/expected.h"
#include "model/project_data.h"

#include <QByteArray>
#include <QString>

namespace velmora::cli {

// The error is the reason alone (the caller names the file).
Expected<ProjectData> readProjectFile(const QString& path);
Expected<bool> writeFileAtomically(const QString& path, const QByteArray& contents);

} // namespace velmora::cli
