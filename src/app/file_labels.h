// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How window titles and Open Recent name a file: by its name, with its parent folder added
// where another listed file has the same name, so two "p1.velmora" can be told apart.

#include <QString>
#include <QStringList>

namespace velmora {

// "p1.velmora", or "p1.velmora — sub" when another path of `listed` (not `path` itself) ends in
// the same file name.
QString distinctFileLabel(const QString& path, const QStringList& listed);

} // namespace velmora
