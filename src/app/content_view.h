// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's composition root: creates the editing session, the view state, the canvas, the
// panes and (in live mode) the ping manager, and wires their signals. State lives in those
// objects; this widget only lays them out.

#include "model/project_document.h"
#include "model/project_session.h"

#include <QWidget>

namespace velmora {

class ContentView final : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(ProjectDocument* document, QWidget* parent = nullptr);

    ProjectSession* session() const { return m_session; }

    // Called once when the window is first shown: prepares type colours, restores the stored
    // view and frames the content 0.1 s later when the stored pan is exactly (0, 0).
    void windowShown();

private:
    ProjectDocument* m_document;
    ProjectSession* m_session;
};

} // namespace velmora
