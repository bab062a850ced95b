// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The nodes pane: the project's nodes as a sortable table that edits a cell in place, selects in
// step with the canvas, adds, duplicates and deletes nodes, sets one type on several selected
// nodes, and starts the CSV export and import. A table model over one list keeps it quick with
// tens of thousands of nodes (no widget per row); a cell is edited through the model by a line
// editor of the table's delegate.

#include "model/node_table.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QMenu;
class QPropertyAnimation;
class QPushButton;
class QTableView;
class QToolButton;

namespace velmora {

class ProjectSession;
class NodesTableModel;
class NodesTableView;
class CellEditorDelegate;

class NodesPane final : public QWidget {
    Q_OBJECT
public:
    static constexpr int expandedWidth = 410;
    static constexpr int collapsedWidth = 60;
    static constexpr int maxListHeight = 200;
    static constexpr int scrollDurationMs = 250; // the animated scroll to a new selection

    // The table's columns: the three fields (in NodeField order), then the two row buttons.
    enum Column { nameColumn, typeColumn, ipColumn, deleteColumn, duplicateColumn, columnCount };
    static constexpr int columnOf(NodeField field) { return static_cast<int>(field); }

    explicit NodesPane(ProjectSession* session, QWidget* parent = nullptr);

    // Collapse state (view state, never saved).
    bool nodesPaneCollapsed() const { return m_collapsed; }
    void setNodesPaneCollapsed(bool collapsed);
    // Where "+ Add Node" puts a node (canvas units, the box's top-left); the window gives the
    // visible centre. Unset, the node goes where addNode() places it by itself.
    void setAddPosition(std::function<QPointF()> position) { m_addPosition = std::move(position); }

    // Blue title while editing, green while live.
    void setLiveMode(bool live);

    // Sorting.
    NodeField sortColumn() const { return m_sortColumn; }
    void toggleSort(NodeField key);
    // The rows as shown, top to bottom.
    const QList<NodeData>& displayedNodes() const;

    // Selection: Shift adds the node, otherwise Ctrl toggles it, otherwise it becomes the
    // selection.
    void selectRow(qint64 nodeId, Qt::KeyboardModifiers modifiers);

    // In-place editing of one cell at a time; starting another edit drops the first uncommitted.
    // While the edited node is not listed (deleted, until an undo brings it back) there is no
    // field, and a commit does nothing.
    // Up / Down in the table: selects the row above or below the selection (Shift adds).
    void moveSelection(int step, Qt::KeyboardModifiers modifiers);
    // Tab in a cell editor: commits and edits the next field (Shift+Tab: the previous one).
    void editNextField(bool forward);
    std::optional<qint64> editingNodeId() const { return m_editingNodeId; }
    std::optional<NodeField> editingField() const { return m_editingField; }
    void startEditing(qint64 nodeId, NodeField field);
    void commitEdit(); // Return, Tab, or a click elsewhere; Escape cancels

    // Parts, for the window's layout and for tests.
    QTableView* tableView() const;
    QLineEdit* editor() const; // the open edit field, or null
    QPushButton* sortButton(NodeField key) const;
    QPushButton* exportButton() const { return m_exportButton; }
    QPushButton* importButton() const { return m_importButton; }
    QPushButton* addButton() const { return m_addButton; }
    QToolButton* collapseButton() const { return m_collapseButton; }
    QToolButton* expandButton() const { return m_expandButton; }
    QLabel* bulkTypeLabel() const { return m_bulkLabel; }
    QToolButton* setTypeButton() const { return m_setTypeButton; }
    QMenu* setTypeMenu() const { return m_setTypeMenu; }
    bool isBulkTypeRowShown() const;

    // The table cell of a node, in the table viewport's coordinates (empty when the node is not
    // listed).
    QRect cellRect(qint64 nodeId, int column) const;
    qint64 nodeIdAtRow(int row) const;

signals:
    void exportRequested();
    void importRequested();
    void customTypeRequested(); // "Custom..." in the "Set Type" menu
    void nodesPaneCollapsedChanged(bool collapsed);

private:
    void buildExpanded();
    void buildCollapsed();
    void refreshNodes();
    void refreshNodesIfChanged();
    void refreshSelection();
    void showSelectionInTable();
    void refreshSortButtons();
    void rebuildTypeMenu();
    // Opens the field of the edited cell, if its node is listed, with the editing value and the
    // cursor there (at the end when negative).
    void openEditor(int cursor = -1);
    void finishEditing(bool commit);
    void scrollToRow(int row);

    ProjectSession* m_session;
    NodesTableModel* m_model = nullptr;
    NodesTableView* m_table = nullptr;
    CellEditorDelegate* m_delegate = nullptr;
    QWidget* m_expanded = nullptr;
    QWidget* m_collapsedStrip = nullptr;
    QLabel* m_title = nullptr;
    QToolButton* m_collapseButton = nullptr;
    QToolButton* m_expandButton = nullptr;
    QWidget* m_bulkRow = nullptr;
    QLabel* m_bulkLabel = nullptr;
    QToolButton* m_setTypeButton = nullptr;
    QMenu* m_setTypeMenu = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_importButton = nullptr;
    QPushButton* m_addButton = nullptr;
    QList<QPushButton*> m_sortButtons; // in NodeField order
    QPropertyAnimation* m_scrollAnimation = nullptr;

    bool m_collapsed = false;
    NodeField m_sortColumn = NodeField::name;
    bool m_sortAscending = true;
    std::optional<qint64> m_editingNodeId;
    std::optional<NodeField> m_editingField;
    QString m_editingValue;
    QList<NodeData> m_shownNodes; // the project's node list as last shown
    QSet<qint64> m_shownSelection;
    std::optional<qint64> m_pendingScrollId;
    std::function<QPointF()> m_addPosition;
};

} // namespace velmora
