// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The layers pane: node types as layers with their colours, node counts, visibility toggles,
// solo, "Show All" / "Hide All", and the colour picker of each type.

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace velmora {

class PaneLayoutState;
class ProjectSession;
class ViewState;

class LayersPane final : public QWidget {
    Q_OBJECT
public:
    LayersPane(ProjectSession* session, ViewState* view, PaneLayoutState* layout,
               QWidget* parent = nullptr);

    QPushButton* collapseButton() const { return m_collapse; }
    QLabel* visibleCountLabel() const { return m_visibleCount; }
    // The row widgets, one per known type in ascending order of the names.
    QWidget* typeList() const { return m_typeList; }
    // Opens the colour picker sheet for a type.
    void openColorPicker(const QString& type);

private:
    void refresh();
    void rebuildRows();

    ProjectSession* m_session;
    ViewState* m_view;
    PaneLayoutState* m_layout;
    QLabel* m_title;
    QPushButton* m_collapse;
    QWidget* m_body;
    QLabel* m_visibleCount;
    QWidget* m_typeList;
    QVBoxLayout* m_rows;
    QString m_rowsSignature;
};

} // namespace velmora
