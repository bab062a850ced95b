// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/velmora_document.h"

#include "model/project_codec.h"
#include "model/project_file.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velmora {

VelmoraDocument::VelmoraDocument(QObject* parent) : ProjectDocument(ProjectData{}, parent)
{
    m_savedProject = projectData();
    connect(this, &ProjectDocument::changed, this, &VelmoraDocument::updateModified);
}

Expected<ProjectData> VelmoraDocument::readFile(const QString& path)
{
    return readProjectFile(path);
}

Expected<void> VelmoraDocument::writeFile(const QString& path, const ProjectData& project)
{
    if (path.isEmpty())
        return Error{tr("no file name")};
    const Expected<QByteArray> encoded = encodeProject(project);
    if (!encoded)
        return Error{encoded.error()};
    return writeFileAtomically(path, *encoded);
}

Expected<VelmoraDocument*> VelmoraDocument::open(const QString& path, QObject* parent)
{
    Expected<ProjectData> project = readFile(path);
    if (!project)
        return Error{project.error()};
    auto* document = new VelmoraDocument(parent);
    document->m_filePath = QFileInfo(path).absoluteFilePath();
    document->m_savedProject = project.value();
    document->setProjectData(std::move(project).value());
    return document;
}

QString VelmoraDocument::displayName() const
{
    return isUntitled() ? tr("Untitled") : QFileInfo(m_filePath).fileName();
}

Expected<void> VelmoraDocument::saveAs(const QString& path)
{
    const ProjectData snapshot = projectData();
    const Expected<void> written = writeFile(path, snapshot);
    if (!written)
        return written;
    m_savedProject = snapshot;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute != m_filePath) {
        m_filePath = absolute;
        emit filePathChanged(m_filePath);
    }
    updateModified();
    return {};
}

Expected<void> VelmoraDocument::saveAsNamingUntitled(const QString& path)
{
    const QString name = projectData().projectName;
    if (name != ProjectData{}.projectName)
        return saveAs(path);
    modify([&path](ProjectData& p) { p.projectName = QFileInfo(path).completeBaseName(); });
    const Expected<void> saved = saveAs(path);
    if (!saved) // nothing was written: the project keeps its name
        modify([&name](ProjectData& p) { p.projectName = name; });
    return saved;
}

void VelmoraDocument::updateModified()
{
    const bool modified = !sameIgnoringZoomAndPan(projectData(), m_savedProject);
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(m_modified);
}

bool sameIgnoringZoomAndPan(const ProjectData& a, const ProjectData& b)
{
    // Cheap fields first; QList compares shared storage by pointer before comparing elements,
    // so the common case (an undo snapshot or a view change) costs almost nothing.
    if (a.schemaVersion != b.schemaVersion || a.projectName != b.projectName ||
        a.nextNodeId != b.nextNodeId || a.nextCableId != b.nextCableId ||
        a.viewSettings.mapOpacity != b.viewSettings.mapOpacity ||
        a.viewSettings.mapSaturation != b.viewSettings.mapSaturation)
        return false;
    if (a.nodes != b.nodes || a.cables != b.cables || a.typeColors != b.typeColors)
        return false;
    if (a.map.has_value() != b.map.has_value())
        return false;
    if (!a.map)
        return true;
    const MapData& ma = *a.map;
    const MapData& mb = *b.map;
    if (ma.positionX != mb.positionX || ma.positionY != mb.positionY || ma.scale != mb.scale)
        return false;
    if (ma.imageData.has_value() != mb.imageData.has_value())
        return false;
    if (!ma.imageData)
        return true;
    // Shared image bytes are equal without looking at them.
    if (ma.imageData->constData() == mb.imageData->constData() &&
        ma.imageData->size() == mb.imageData->size())
        return true;
    return *ma.imageData == *mb.imageData;
}

} // namespace velmora
