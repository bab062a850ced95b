// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's composition root: creates the editing session, the view state, the canvas, the
// panes and the ping manager, and wires their signals. State lives in those objects; this
// widget lays them out (the canvas fills it, the panes lie over it at the left and right, the
// splash covers everything at first display) and holds every key of the window as an action:
// the Edit menu's commands and the canvas's own keys.

#include "canvas/hit_test.h"
#include "csv/csv_import.h"
#include "model/node_table.h"
#include "model/project_document.h"
#include "model/project_session.h"

#include <QWidget>

class QAction;

namespace velmora {

class CanvasInteraction;
class CanvasWidget;
class ControlsCard;
class LeftPane;
class LiveMonitoring;
class PaneLayoutState;
class PaneSlide;
class PingManager;
class RightColumn;
class SearchBar;
class SplashOverlay;
class ViewState;

class ContentView final : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(ProjectDocument* document, QWidget* parent = nullptr);
    ~ContentView() override;

    ProjectSession* session() const { return m_session; }
    ViewState* viewState() const { return m_view; }
    CanvasWidget* canvas() const { return m_canvas; }
    LeftPane* leftPane() const { return m_left; }
    RightColumn* rightColumn() const { return m_right; }
    PaneLayoutState* paneLayout() const { return m_layout; }
    PingManager* pingManager() const { return m_pingManager; }
    SplashOverlay* splash() const { return m_splash; }
    LiveMonitoring* liveMonitoring() const { return m_live; }
    CanvasInteraction* interaction() const;
    SearchBar* searchBar() const { return m_searchBar; }
    ControlsCard* controlsCard() const { return m_controls; }

    // Called once when the window is first shown: prepares type colours, restores the stored
    // view and frames the content 0.1 s later when the stored pan is exactly (0, 0).
    void windowShown();

    // The mode switch: runs the switch sequence even when the mode is already current.
    void switchMode(AppMode mode);

    // The Edit menu's commands (object names "actionUndo", "actionRedo", "actionCopy",
    // "actionPaste", "actionSelectAll"), with their keys in this window. Undo and redo always
    // act on the project; copy, paste and select all act on a focused text field when there is
    // one, so that text editing keeps working, and otherwise on the project.
    struct EditActions {
        QAction* undo;
        QAction* redo;
        QAction* copy;
        QAction* paste;
        QAction* selectAll;
    };
    const EditActions& editActions() const { return m_editActions; }

signals:
    // After the mode switch sequence ran (alerts and other live parts hook in here).
    void modeSwitched(velmora::AppMode mode);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Installed on a focused text field of this window only.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void layoutPanes();
    // The nodes pane's CSV buttons: export through a save dialog; import through the preview
    // sheet, then the view steps (replace returns to zoom 1 and pan (0, 0); either mode frames
    // the nodes 0.1 s later).
    void exportNodes();
    void importNodes();
    // F2: edits the name of the one selected node in the nodes pane.
    void renameSelectedNode();

    ProjectDocument* m_document;
    ProjectSession* m_session;
    ViewState* m_view;
    PaneLayoutState* m_layout;
    CanvasWidget* m_canvas;
    LeftPane* m_left;
    RightColumn* m_right;
    PingManager* m_pingManager;
    SplashOverlay* m_splash;
    // Alerts, notifications and the live panes.
    LiveMonitoring* m_live = nullptr;
    // Widgets of the canvas interaction.
    SearchBar* m_searchBar;
    ControlsCard* m_controls;
    // The import sheet's mode and skip option, kept for the life of the window.
    CSVImportOptions m_csvOptions;
    NudgeBurst m_nudge;
    // Slides the side panes to new places on a mode switch and on collapsing or expanding all.
    PaneSlide* m_paneSlide;
    EditActions m_editActions{};
    // Escape, Delete, Find, Zoom In, Zoom Out.
    QList<QAction*> m_canvasActions;
    QAction* m_escapeAction = nullptr;
};

// The text widget that owns `focus` (a line edit, text edit, spin box or editable combo box's
// line edit), or nullptr when `focus` is not a text field.
QWidget* focusedTextField(QWidget* focus);

} // namespace velmora
