// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/content_view.h"

#include "canvas/cable_geometry.h"
#include "canvas/canvas_interaction.h"
#include "canvas/canvas_widget.h"
#include "canvas/splash_overlay.h"
#include "canvas/view_state.h"
#include "monitor/ping_manager.h"
#include "panes/cables_section.h"
#include "panes/controls_card.h"
#include "panes/csv_import_dialog.h"
#include "panes/left_pane.h"
#include "panes/live_monitoring.h"
#include "panes/mode_switch.h"
#include "panes/nodes_pane.h"
#include "panes/pane_layout_state.h"
#include "panes/pane_slide.h"
#include "panes/pane_style.h"
#include "panes/right_column.h"
#include "panes/search_bar.h"
#include "panes/selection_readouts.h"
#include "panes/type_sheets.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace velmora {

ContentView::ContentView(ProjectDocument* document, QWidget* parent)
    : QWidget(parent), m_document(document), m_session(new ProjectSession(document, this)),
      m_view(new ViewState(m_session, this)), m_layout(new PaneLayoutState(this)),
      m_canvas(new CanvasWidget(m_session, m_view, this)),
      m_left(new LeftPane(m_session, m_view, m_layout, this)),
      m_right(new RightColumn(m_session, m_view, m_layout, this)),
      m_pingManager(new PingManager(this)), m_splash(new SplashOverlay(this)),
      m_searchBar(new SearchBar(m_session, m_canvas->interaction(), this)),
      m_controls(new ControlsCard(this)), m_paneSlide(new PaneSlide(m_left, m_right, this))
{
    setStyleSheet(paneStyleSheet());
    connect(m_left, &LeftPane::collapseAllRequested, this, [this] {
        m_paneSlide->slide(
            [this] { m_layout->setAllPanes(!m_layout->allPanesCollapsed(m_view->appMode())); });
    });
    m_splash->hide();
    m_canvas->setCableStatusFunction([this](qint64 id, const QList<CablePoint>& points) {
        return m_pingManager->cableStatus(id, points);
    });
    connect(m_pingManager, &PingManager::published, this,
            [this] { m_canvas->setNodeStatuses(m_pingManager->nodeStatuses()); });
    connect(m_left->modeSwitch(), &ModeSwitch::modeRequested, this, &ContentView::switchMode);
    connect(m_layout, &PaneLayoutState::changed, this, &ContentView::layoutPanes);
    connect(m_view, &ViewState::appModeChanged, this, &ContentView::layoutPanes);
    // An edit refused before it wrote anything (the project's identifiers ran out): say why.
    connect(m_session, &ProjectSession::editRefused, this, [this](const QString& reason) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Velmora"), reason,
                                    QMessageBox::Ok, window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    });

    // Canvas interaction: the read-outs and the cables section in the left pane, the search bar
    // and the help card over the canvas.
    CanvasInteraction* interaction = m_canvas->interaction();
    m_canvas->setCustomTypeSheetOpener([this] { openCustomTypeSheet(m_session, this); });
    auto* searchButton = new QPushButton(tr("Search Nodes"), m_left);
    searchButton->setToolTip(tr("Find nodes by name, address or type (Ctrl+F)"));
    searchButton->setObjectName(QStringLiteral("searchNodes"));
    connect(searchButton, &QPushButton::clicked, interaction, &CanvasInteraction::toggleSearchBar);
    m_left->readoutsSlot()->addWidget(searchButton);
    m_left->readoutsSlot()->addWidget(new SelectionReadouts(m_session, interaction, m_left));
    m_left->cablesSlot()->addWidget(new CablesSection(m_session, interaction, m_left));
    m_searchBar->setObjectName(QStringLiteral("searchBar"));
    m_searchBar->setAttribute(Qt::WA_StyledBackground);
    m_controls->setCollapsed(m_layout->helpPaneCollapsed());
    connect(m_controls, &ControlsCard::collapseRequested, m_layout,
            &PaneLayoutState::setHelpPaneCollapsed);
    connect(m_layout, &PaneLayoutState::changed, m_controls, [this] {
        m_controls->setCollapsed(m_layout->helpPaneCollapsed());
        layoutPanes();
    });
    connect(interaction, &CanvasInteraction::searchBarShownChanged, this,
            &ContentView::layoutPanes);
    // The nodes pane: CSV buttons, and a click on the canvas commits its in-place editing, as
    // leaving a field does (only Escape throws the typed text away).
    NodesPane* nodesPane = m_right->nodesPane();
    connect(nodesPane, &NodesPane::exportRequested, this, &ContentView::exportNodes);
    connect(nodesPane, &NodesPane::importRequested, this, &ContentView::importNodes);
    // New nodes appear in the middle of what the user sees.
    nodesPane->setAddPosition([this] {
        return m_view->transform().toCanvas(m_view->visibleCentre()) -
               QPointF(nodeWidth, nodeHeight) / 2.0;
    });
    connect(interaction, &CanvasInteraction::canvasClicked, nodesPane, &NodesPane::commitEdit);
    // Live mode: node details and the live section in the left pane, alerts over the canvas.
    m_live = new LiveMonitoring(m_session, m_view, m_pingManager, m_canvas, this,
                                m_left->nodeDetailsSlot(), m_left->liveSlot(), this);
    // Live mode without permission to ping: say once what to run; the nodes stay unknown.
    connect(m_live, &LiveMonitoring::monitoringWarning, this, [this](const QString& message) {
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Live Monitoring"), message,
                                    QMessageBox::Ok, window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    });
    connect(m_live, &LiveMonitoring::activationRequested, this, [this] {
        QWidget* top = window();
        top->show();
        top->raise();
        top->activateWindow();
    });
    createActions();
    // Text fields of this view get the key rules of eventFilter() while they have the focus.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (old)
            old->removeEventFilter(this);
        if (now && isAncestorOf(now) && focusedTextField(now))
            now->installEventFilter(this);
    });
    layoutPanes();
}

ContentView::~ContentView() = default;

CanvasInteraction* ContentView::interaction() const
{
    return m_canvas->interaction();
}

void ContentView::createActions()
{
    const auto add = [this](const QString& text, const QString& name,
                            const QList<QKeySequence>& keys, Qt::ShortcutContext context,
                            const std::function<void()>& run) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setShortcuts(keys);
        action->setShortcutContext(context);
        connect(action, &QAction::triggered, this, run);
        addAction(action);
        return action;
    };
    // The desktop's standard keys for a command, plus those Velmora binds on every desktop.
    const auto keys = [](QKeySequence::StandardKey standard, QList<QKeySequence> required = {}) {
        QList<QKeySequence> list = QKeySequence::keyBindings(standard);
        for (const QKeySequence& key : std::as_const(required)) {
            if (!list.contains(key))
                list.append(key);
        }
        return list;
    };
    // Copy, paste and select all go to a focused text field through its slot of that name.
    const auto textFieldOr = [this](const char* slot, const std::function<void()>& command) {
        return [this, slot, command] {
            if (QWidget* field = focusedTextField(window()->focusWidget()))
                QMetaObject::invokeMethod(field, slot);
            else
                command();
        };
    };

    // Edit commands: in the whole window, as menu commands are.
    const Qt::ShortcutContext window = Qt::WindowShortcut;
    m_editActions.undo = add(tr("Undo"), u"actionUndo"_s, keys(QKeySequence::Undo), window,
                             [this] { m_session->undo(); });
    m_editActions.redo = add(tr("Redo"), u"actionRedo"_s,
                             keys(QKeySequence::Redo, {Qt::CTRL | Qt::SHIFT | Qt::Key_Z}), window,
                             [this] { m_session->redo(); });
    m_editActions.copy = add(tr("Copy"), u"actionCopy"_s, keys(QKeySequence::Copy), window,
                             textFieldOr("copy", [this] { m_session->copySelection(); }));
    m_editActions.paste = add(tr("Paste"), u"actionPaste"_s, keys(QKeySequence::Paste), window,
                              textFieldOr("paste", [this] { m_session->pasteClipboard(); }));
    m_editActions.selectAll =
        add(tr("Select All"), u"actionSelectAll"_s, keys(QKeySequence::SelectAll), window,
            textFieldOr("selectAll", [this] { m_session->selectAll(); }));

    // Canvas keys: from any widget of this view, so they work after a click on a pane's
    // button; eventFilter() keeps them out of text fields. Only these sequences are bound: the
    // same letters without Ctrl do nothing.
    const Qt::ShortcutContext view = Qt::WidgetWithChildrenShortcut;
    CanvasInteraction* canvas = interaction();
    m_escapeAction = add(tr("Escape"), u"actionEscape"_s, keys(QKeySequence::Cancel), view,
                         [canvas] { canvas->escape(); });
    m_canvasActions = {
        m_escapeAction,
        add(tr("Delete"), u"actionDelete"_s, {Qt::Key_Backspace, Qt::Key_Delete}, view,
            [this] { m_session->deleteCommand(); }),
        add(tr("Search Nodes"), u"actionFind"_s, keys(QKeySequence::Find), view,
            [canvas] { canvas->toggleSearchBar(); }),
        add(tr("Zoom In"), u"actionZoomIn"_s,
            keys(QKeySequence::ZoomIn, {Qt::CTRL | Qt::Key_Equal}), view,
            [this] { m_view->zoomIn(); }),
        add(tr("Zoom Out"), u"actionZoomOut"_s, keys(QKeySequence::ZoomOut), view,
            [this] { m_view->zoomOut(); }),
        add(tr("Fit to Screen"), u"actionFitToScreen"_s, {Qt::CTRL | Qt::Key_0}, view,
            [this] { m_view->fitToScreen(m_view->viewSize()); }),
        add(tr("Rename"), u"actionRename"_s, {Qt::Key_F2}, view, [this] { renameSelectedNode(); }),
    };
    // Arrow keys nudge the selected nodes by 1 unit, with Shift by 10.
    const struct {
        Qt::Key key;
        QPointF step;
    } arrows[] = {{Qt::Key_Left, {-1, 0}},
                  {Qt::Key_Right, {1, 0}},
                  {Qt::Key_Up, {0, -1}},
                  {Qt::Key_Down, {0, 1}}};
    for (const auto& arrow : arrows) {
        for (const double distance : {1.0, 10.0}) {
            const QKeySequence key(distance > 1 ? Qt::SHIFT | arrow.key
                                                : QKeyCombination(arrow.key));
            m_canvasActions.append(add(tr("Move Selection"), u"actionNudge"_s, {key}, view,
                                       [this, step = arrow.step * distance] {
                                           if (m_view->appMode() == AppMode::edit)
                                               m_nudge.nudge(*m_session, step);
                                       }));
        }
    }
}

bool ContentView::eventFilter(QObject* watched, QEvent* event)
{
    // A focused text field claims the keys it uses for itself (this is asked before any
    // shortcut runs). Here the project's undo and redo win over the field's own; Escape in the
    // search field is the canvas's (it closes the search); every other canvas key stays with
    // the field, used or not, so that typing never deletes nodes.
    if (event->type() != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    const auto bound = [&pressed](const QAction* action) {
        return action->shortcuts().contains(pressed);
    };
    if (bound(m_editActions.undo) || bound(m_editActions.redo)) {
        key->ignore();
        return true;
    }
    const bool searchEscape = watched == m_searchBar->field() && bound(m_escapeAction);
    if (!searchEscape && std::any_of(m_canvasActions.cbegin(), m_canvasActions.cend(), bound)) {
        key->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::renameSelectedNode()
{
    const QSet<qint64>& selected = m_session->selectedNodes();
    if (m_view->appMode() != AppMode::edit || selected.size() != 1)
        return;
    m_layout->setNodesPaneCollapsed(false); // the name cell must be on screen
    NodesPane* nodes = m_right->nodesPane();
    nodes->startEditing(*selected.cbegin(), NodeField::name);
    if (QLineEdit* editor = nodes->editor())
        editor->setFocus();
}

void ContentView::windowShown()
{
    m_session->ensureTypeColors();
    m_session->loadTypeColors();
    m_view->windowShown(m_canvas->size());
    m_splash->setGeometry(rect());
    m_splash->start();
}

void ContentView::switchMode(AppMode mode)
{
    m_paneSlide->slide([this, mode] { m_view->setAppMode(mode); });
    m_live->applyMode(mode);
    emit modeSwitched(mode);
}

void ContentView::exportNodes()
{
    runCSVExportFlow(window(), *m_session);
}

void ContentView::importNodes()
{
    const std::optional<CSVImportResult> result = runCSVImportFlow(
        window(), *m_session, m_csvOptions, [this] { m_view->setContentReady(false); });
    if (!result)
        return;
    if (!result->hasValue()) {
        // The file could no longer be read: the project is unchanged; draw it again.
        m_view->setContentReady(true);
        return;
    }
    if (m_csvOptions.mode == CSVImportMode::replace)
        m_view->setView(1.0, QPointF(0.0, 0.0));
    m_view->scheduleContentFraming();
}

void ContentView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutPanes();
}

void ContentView::hideEvent(QHideEvent* event)
{
    // A window that disappears stops its view animation and its pulse.
    m_view->stopAnimation();
    m_canvas->stopPulse();
    QWidget::hideEvent(event);
}

void ContentView::showEvent(QShowEvent* event)
{
    // Shown again (restored after minimising): the live glow resumes where it was running.
    QWidget::showEvent(event);
    if (m_view->appMode() == AppMode::live && m_view->liveGlowEnabled() && !m_canvas->isPulsing())
        m_canvas->startPulse();
}

void ContentView::layoutPanes()
{
    const AppMode mode = m_view->appMode();
    m_view->setPaneWidths(m_layout->widths(mode));
    m_canvas->setGeometry(rect());
    const int leftWidth = m_left->paneWidth();
    const int rightWidth = m_right->paneWidth();
    m_paneSlide->place(QRect(0, 0, leftWidth, height()),
                       QRect(width() - rightWidth, 0, rightWidth, height()));
    m_left->raise();
    m_right->raise();
    // The search bar at the top of the free canvas area, the help card at its bottom left.
    const int freeWidth = std::max(0, width() - leftWidth - rightWidth);
    const int barWidth = std::min(520, std::max(0, freeWidth - 24));
    m_searchBar->setGeometry(leftWidth + (freeWidth - barWidth) / 2, 12, barWidth,
                             m_searchBar->sizeHint().height());
    m_searchBar->raise();
    m_controls->adjustSize();
    m_controls->move(leftWidth + 12, height() - m_controls->height() - 12);
    m_controls->raise();
    if (m_live)
        m_live->layoutOverlays(
            QRect(leftWidth, 0, std::max(0, width() - leftWidth - rightWidth), height()));
    if (m_splash->showSplash() && m_splash->isVisible()) {
        m_splash->setGeometry(rect());
        m_splash->raise();
    }
}

QWidget* focusedTextField(QWidget* focus)
{
    for (QWidget* w = focus; w; w = w->parentWidget()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QTextEdit*>(w) ||
            qobject_cast<QPlainTextEdit*>(w))
            return w;
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(w))
            return spin->findChild<QLineEdit*>();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            return combo->isEditable() ? combo->lineEdit() : nullptr;
        // A text field is the focus widget itself or, for compound editors, its owner a step
        // up; stop at the first widget that is neither.
        if (w != focus)
            break;
    }
    return nullptr;
}

} // namespace velmora
