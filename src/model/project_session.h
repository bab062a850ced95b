// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editing session of one window: undo and redo stacks of whole-project snapshots, the
// selection, the window's own clipboard, type colours and visible types, the root node and the
// search text. Every project-changing operation records pushUndoSnapshot() first and then writes
// through the document. Widget-free, so tests drive it directly.

#include "model/editing_types.h"
#include "model/expected.h"
#include "model/project_document.h"
#include "model/type_colors.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>

#include <optional>

namespace velmora {

class ProjectSession : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype maxUndoEntries = 30;
    // Paste and duplicate place copies this far down and to the right, in canvas units.
    static constexpr double pasteOffset = 30.0;

    explicit ProjectSession(ProjectDocument* document, QObject* parent = nullptr);

    ProjectDocument* document() const { return m_document; }
    const ProjectData& project() const { return m_document->projectData(); }
    QList<Node> nodes() const { return deriveNodes(project()); }
    QList<Cable> cables() const { return deriveCables(project()); }

    // Selection (view state: no undo snapshot, never saved).
    const QSet<qint64>& selectedNodes() const { return m_selectedNodes; }
    const QSet<qint64>& selectedCableIds() const { return m_selectedCableIds; }
    const std::optional<Cable>& selectedCable() const { return m_selectedCable; }
    void setSelectedNodes(QSet<qint64> ids);
    void setSelectedCable(std::optional<Cable> cable);
    void setSelection(QSet<qint64> nodes, QSet<qint64> cableIds, std::optional<Cable> cable);
    void clearSelection();
    void selectAll(); // every node of the project; the cable selection is kept

    // Undo history.
    void pushUndoSnapshot();
    void undo();
    void redo();
    const QList<ProjectData>& undoStack() const { return m_undoStack; }
    const QList<ProjectData>& redoStack() const { return m_redoStack; }

    // Identifier allocation: takes the counter and increases it by one. The counter must have
    // room (roomForIds), so that it never passes the largest 64-bit value.
    static qint64 allocateNodeId(ProjectData& project);
    static qint64 allocateCableId(ProjectData& project);
    // Whether `nodes` new node identifiers and `cables` new cable identifiers can all be taken
    // from the project's counters; the error says which ran out, for the user.
    static Expected<void> roomForIds(const ProjectData& project, qsizetype nodes, qsizetype cables);
    // The check every edit that creates nodes or cables makes before it writes anything: when the
    // counters are short, the edit is refused (editRefused) and must write nothing.
    bool hasRoomForIds(qsizetype nodes, qsizetype cables);
    void refuseEdit(const QString& reason) { emit editRefused(reason); }

    // Deletion and reset.
    void deleteSelection();
    void deleteNode(qint64 nodeId);
    void deleteFocusedCable();
    void deleteCommand(); // the Delete key: the focused cable alone if set, else the selection
    void resetEverything();

    // Clipboard and duplication (the window's own clipboard, not the system's).
    const QList<NodeData>& clipboard() const { return m_clipboard; }
    const QList<CableData>& clipboardCables() const { return m_clipboardCables; }
    void copySelection();
    void pasteClipboard();
    void duplicateNode(qint64 nodeId);
    void duplicateSelectedNodes();

    // Type colours and layers.
    const QMap<QString, Rgb>& typeColorMap() const { return m_typeColorMap; }
    const QSet<QString>& visibleTypes() const { return m_visibleTypes; }
    void ensureTypeColors();
    void loadTypeColors();
    void saveTypeColors();
    void clearTypeColorMap();
    void setTypeColor(const QString& type, Rgb color); // then saveTypeColors(); no snapshot
    void applyTypeToSelection(const QString& type);
    void showAllTypes();
    void hideAllTypes();
    void toggleType(const QString& type);
    void soloType(const QString& type);
    bool isNodeVisible(qint64 nodeId) const;

    // Root of the topology (view state).
    std::optional<qint64> rootNodeId() const { return m_rootNodeId; }
    void setRoot(qint64 nodeId);
    void clearRoot();

    // Search text (view state).
    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);

signals:
    void selectionChanged();
    void undoStateChanged();
    void clipboardChanged();
    void typesChanged();
    void rootChanged();
    void searchTextChanged();
    // resetEverything() asks the view to return to zoom 1 and pan (0, 0).
    void viewResetRequested();
    // An edit was refused before it wrote anything; the window tells the user why.
    void editRefused(const QString& reason);

private:
    ProjectDocument* m_document;
    QSet<qint64> m_selectedNodes;
    QSet<qint64> m_selectedCableIds;
    std::optional<Cable> m_selectedCable;
    QList<ProjectData> m_undoStack;
    QList<ProjectData> m_redoStack;
    QList<NodeData> m_clipboard;
    QList<CableData> m_clipboardCables;
    QMap<QString, Rgb> m_typeColorMap;
    QSet<QString> m_visibleTypes;
    std::optional<qint64> m_rootNodeId;
    QString m_searchText;
};

// "Router" -> "Router (copy)", "Router (copy 2)" -> "Router (copy 3)".
QString nextCopyName(const QString& name);
// "192.168.1.10" -> "192.168.1.11"; anything that is not four octets with room is unchanged.
QString nextAddress(const QString& address);

} // namespace velmora
