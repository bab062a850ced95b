// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/project_file.h"

#include "model/project_codec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace velmora {

Expected<ProjectData> readProjectFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Error{u"no such file"_s};
    if (info.isDir())
        return Error{u"is a directory, not a project file"_s};
    // Pipes and devices could block forever or never end; only regular files are projects.
    if (!info.isFile())
        return Error{u"not a regular file"_s};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error{u"cannot be read: "_s + file.errorString()};
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Error{u"cannot be read: "_s + file.errorString()};
    if (contents.isEmpty())
        return Error{u"the file is empty, not a project"_s};
    return decodeProject(contents);
}

Expected<void> writeFileAtomically(const QString& path, const QByteArray& contents)
{
    if (QFileInfo(path).isDir())
        return Error{u"is a directory"_s};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error{u"cannot be written: "_s + file.errorString()};
    if (file.write(contents) != contents.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Error{u"cannot be written: "_s + reason};
    }
    if (!file.commit())
        return Error{u"cannot be written: "_s + file.errorString()};
    return {};
}

} // namespace velmora
