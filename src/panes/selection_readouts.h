// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The read-outs of the left pane: "Selected:" with the selection's counts, "Nodes:" with the
// project's node count and, when a root node exists, "Root:" with its name.

#include "canvas/hit_test.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace velmora {

class ProjectSession;
class CanvasInteraction;

// The value after "Selected:". Live mode counts nodes only; edit mode shows both counts, and
// "None" when nothing at all is selected.
QString selectedReadout(AppMode mode, qint64 nodeCount, qint64 cableCount);
// The root node's name, when a root is set and a node with that id exists.
std::optional<QString> rootReadout(const ProjectSession& session);

class SelectionReadouts final : public QWidget {
    Q_OBJECT
public:
    SelectionReadouts(ProjectSession* session, CanvasInteraction* interaction,
                      QWidget* parent = nullptr);

    QString selectedText() const;
    QString nodesText() const;
    // Empty while the root row is hidden.
    QString rootText() const;

private:
    void refresh();

    ProjectSession* m_session;
    CanvasInteraction* m_interaction;
    QLabel* m_selectedLabel;
    QLabel* m_selectedValue;
    QLabel* m_nodesLabel;
    QLabel* m_nodesValue;
    QLabel* m_rootLabel;
    QLabel* m_rootValue;
};

} // namespace velmora
