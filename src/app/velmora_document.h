// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One open project: its ProjectData, the file it came from (none while untitled) and the project
// as last opened or saved, which decides whether the window shows unsaved changes.

#include "model/expected.h"
#include "model/project_document.h"

#include <QString>

namespace velmora {

class VelmoraDocument final : public ProjectDocument {
    Q_OBJECT
public:
    // A new, untitled project.
    explicit VelmoraDocument(QObject* parent = nullptr);

    // Reads `path`: it must be a regular file with contents, and its contents must decode. The
    // error says what was wrong (the decoder's message for a broken project), without the path.
    static Expected<ProjectData> readFile(const QString& path);
    // Encodes `project` and replaces `path` atomically; on failure the file on disk is untouched.
    static Expected<void> writeFile(const QString& path, const ProjectData& project);

    // Opens `path` as a document; no document is created when reading fails.
    static Expected<VelmoraDocument*> open(const QString& path, QObject* parent = nullptr);

    // Absolute path of the file, empty while untitled.
    const QString& filePath() const { return m_filePath; }
    bool isUntitled() const { return m_filePath.isEmpty(); }
    // The file name shown in the window title, "Untitled" without a file.
    QString displayName() const;

    // True when the project differs from the one last opened or saved in anything but zoom and
    // pan: moving around the drawing asks for no save, while the map's opacity and saturation
    // are settings the user chose and do.
    bool isModified() const { return m_modified; }

    // Writes the current project (its view settings included) to `path`. On success the document
    // takes `path` as its file and is no longer modified; on failure nothing changes.
    Expected<void> saveAs(const QString& path);
    Expected<void> save() { return saveAs(m_filePath); }
    // Save As from the user: a project still named "Untitled" takes the file's base name
    // ("site.velmora" names it "site"), so it is not listed as "Untitled" for ever.
    Expected<void> saveAsNamingUntitled(const QString& path);

signals:
    void modifiedChanged(bool modified);
    void filePathChanged(const QString& path);

private:
    void updateModified();

    QString m_filePath;
    ProjectData m_savedProject;
    bool m_modified = false;
};

// Whether two projects are equal apart from the zoom and pan of their view settings.
bool sameIgnoringZoomAndPan(const ProjectData& a, const ProjectData& b);

} // namespace velmora
