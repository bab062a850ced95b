// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/file_labels.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmora {

QString distinctFileLabel(const QString& path, const QStringList& listed)
{
    const QFileInfo info(path);
    QString name = info.fileName();
    const QString absolute = info.absoluteFilePath();
    const bool shared = std::any_of(listed.cbegin(), listed.cend(), [&](const QString& other) {
        const QFileInfo otherInfo(other);
        return otherInfo.fileName() == name && otherInfo.absoluteFilePath() != absolute;
    });
    if (!shared)
        return name;
    return name + u" — "_s + info.absoluteDir().dirName();
}

} // namespace velmora
