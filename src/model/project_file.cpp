// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/project_file.h"

#include "model/project_codec.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace velmora {

namespace {
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(velmora::ProjectFile)
};
} // namespace

Expected<ProjectData> readProjectFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Error{Texts::tr("no such file")};
    if (info.isDir())
        return Error{Texts::tr("is a directory, not a project file")};
    // Pipes and devices could block forever or never end; only regular files are projects.
    if (!info.isFile())
        return Error{Texts::tr("not a regular file")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error{Texts::tr("cannot be read: %1").arg(file.errorString())};
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Error{Texts::tr("cannot be read: %1").arg(file.errorString())};
    if (contents.isEmpty())
        return Error{Texts::tr("the file is empty, not a project")};
    return decodeProject(contents);
}

Expected<void> writeFileAtomically(const QString& path, const QByteArray& contents)
{
    if (QFileInfo(path).isDir())
        return Error{Texts::tr("is a directory")};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error{Texts::tr("cannot be written: %1").arg(file.errorString())};
    if (file.write(contents) != contents.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Error{Texts::tr("cannot be written: %1").arg(reason)};
    }
    if (!file.commit())
        return Error{Texts::tr("cannot be written: %1").arg(file.errorString())};
    return {};
}

} // namespace velmora
