// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Holds the open project's ProjectData, the single source of truth of a window. Every write goes
// through setProjectData() or modify() and is followed by changed(), so views redraw.

#include "model/project_data.h"

#include <QObject>

#include <utility>

namespace velmora {

class ProjectDocument : public QObject {
    Q_OBJECT
public:
    explicit ProjectDocument(ProjectData data = {}, QObject* parent = nullptr)
        : QObject(parent), m_projectData(std::move(data))
    {
    }

    const ProjectData& projectData() const { return m_projectData; }

    // Replaces the whole project (undo, redo, open).
    void setProjectData(ProjectData data)
    {
        m_projectData = std::move(data);
        emit changed();
    }

    // Edits the project in place; `edit` receives a mutable reference.
    template <typename Edit> void modify(Edit&& edit)
    {
        std::forward<Edit>(edit)(m_projectData);
        emit changed();
    }

signals:
    void changed();

private:
    ProjectData m_projectData;
};

} // namespace velmora
