// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The nodes pane: the project's nodes as a sortable table that edits a cell in place, selects in
// step with the canvas, adds, duplicates and deletes nodes, sets one type on several selected
// nodes, and starts the CSV export and import. A table model over one list keeps it quick with
// tens of thousands of nodes (no widget per row).

#include "model/project_data.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QWidget>

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

// Sort keys of the table.
inline const QString sortKeyName = QStringLiteral("name");
inline const QString sortKeyType = QStringLiteral("type");
inline const QString sortKeyIp = QStringLiteral("ip");

// The address order: the address split at every ".", empty pieces dropped, each piece read as a
// decimal integer and pieces that are not integers dropped; lists compare element by element,
// a prefix first. So 10.0.0.9 < 10.0.0.10, 10.0.0 < 10.0.0.1, and a name without digits first.
QList<qint64> addressSortKey(const QString& address);

// The nodes ordered by name or type (lower-cased, then plain string order) or by address;
// stable in both directions, so equal keys keep project order. Any other key keeps project order.
QList<NodeData> sortedNodes(const QList<NodeData>& nodes, const QString& sortColumn,
                            bool ascending);

// "+ Add Node": a node "New Node" of type "Device" at 192.168.1.(k + 100), placed 50 right and 30
// down per existing node from (200, 200), with k the next identifier; selects it. Returns its id,
// or nothing when the identifiers have run out (the session refuses the edit).
std::optional<qint64> addNode(ProjectSession& session);

// Sets one field ("name", "type" or "ip") of a node to `value` as typed, after one undo snapshot;
// a changed type gets its colour. Returns false (and records nothing) when the node is gone or
// the field is unknown.
bool commitNodeEdit(ProjectSession& session, qint64 nodeId, const QString& field,
                    const QString& value);

class NodesPane final : public QWidget {
    Q_OBJECT
public:
    static constexpr int expandedWidth = 410;
    static constexpr int collapsedWidth = 60;
    static constexpr int maxListHeight = 200;
    static constexpr int scrollDurationMs = 250; // the animated scroll to a new selection

    explicit NodesPane(ProjectSession* session, QWidget* parent = nullptr);

    // Collapse state (view state, never saved).
    bool nodesPaneCollapsed() const { return m_collapsed; }
    void setNodesPaneCollapsed(bool collapsed);

    // Blue title while editing, green while live.
    void setLiveMode(bool live);

    // Sorting.
    const QString& sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }
    void toggleSort(const QString& key);
    // The rows as shown, top to bottom.
    const QList<NodeData>& displayedNodes() const;

    // Selection: Shift adds the node, otherwise Ctrl toggles it, otherwise it becomes the
    // selection.
    void selectRow(qint64 nodeId, Qt::KeyboardModifiers modifiers);

    // In-place editing of one cell at a time; starting another edit drops the first uncommitted.
    std::optional<qint64> editingNodeId() const { return m_editingNodeId; }
    std::optional<QString> editingField() const { return m_editingField; }
    QString editingValue() const { return m_editingValue; }
    void startEditing(qint64 nodeId, const QString& field);
    void setEditingValue(const QString& value);
    void commitEdit(); // Return in the edit field
    void cancelEdit(); // Escape in the edit field

    // Parts, for the window's layout and for tests.
    QTableView* tableView() const;
    QLineEdit* editor() const { return m_editor; }
    QPushButton* sortButton(const QString& key) const;
    QPushButton* exportButton() const { return m_exportButton; }
    QPushButton* importButton() const { return m_importButton; }
    QPushButton* addButton() const { return m_addButton; }
    QToolButton* collapseButton() const { return m_collapseButton; }
    QToolButton* expandButton() const { return m_expandButton; }
    QLabel* bulkTypeLabel() const { return m_bulkLabel; }
    QToolButton* setTypeButton() const { return m_setTypeButton; }
    QMenu* setTypeMenu() const { return m_setTypeMenu; }
    bool isBulkTypeRowShown() const;

    // The table cell of a node and field, in the table viewport's coordinates (empty when the
    // node is not listed). Field "delete" and "duplicate" name the two row buttons.
    QRect cellRect(qint64 nodeId, const QString& field) const;
    qint64 nodeIdAtRow(int row) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

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
    void refreshSortButtons();
    void rebuildTypeMenu();
    void placeEditor();
    void scrollToRow(int row);
    void clearEditing();

    ProjectSession* m_session;
    NodesTableModel* m_model = nullptr;
    NodesTableView* m_table = nullptr;
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
    QPushButton* m_sortName = nullptr;
    QPushButton* m_sortType = nullptr;
    QPushButton* m_sortIp = nullptr;
    QLineEdit* m_editor = nullptr;
    QPropertyAnimation* m_scrollAnimation = nullptr;

    bool m_collapsed = false;
    bool m_live = false;
    QString m_sortColumn = sortKeyName;
    bool m_sortAscending = true;
    std::optional<qint64> m_editingNodeId;
    std::optional<QString> m_editingField;
    QString m_editingValue;
    QList<NodeData> m_shownNodes; // the project's node list as last shown
    QSet<qint64> m_shownSelection;
    std::optional<qint64> m_pendingScrollId;
};

} // namespace velmora
