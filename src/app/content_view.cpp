// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/content_view.h"

#include "canvas/canvas_interaction_handler.h"
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
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {

ContentView::ContentView(ProjectDocument* document, QWidget* parent)
    : QWidget(parent), m_document(document), m_session(new ProjectSession(document, this)),
      m_view(new ViewState(m_session, this)), m_layout(new PaneLayoutState(this)),
      m_canvas(new CanvasWidget(m_session, m_view, this)),
      m_left(new LeftPane(m_session, m_view, m_layout, this)),
      m_right(new RightColumn(m_session, m_view, m_layout, this)),
      m_pingManager(new PingManager(this)), m_splash(new SplashOverlay(this)),
      m_interaction(new CanvasInteractionHandler(m_canvas, m_view, m_session, this)),
      m_searchBar(new SearchBar(m_session, m_interaction->interaction(), this)),
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
        QMessageBox* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Velmora"), reason,
                                           QMessageBox::Ok, window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    });

    // Canvas interaction: the read-outs and the cables section in the left pane, the search bar
    // and the help card over the canvas.
    CanvasInteraction* interaction = m_interaction->interaction();
    m_interaction->setCustomTypeSheetOpener([this] { openCustomTypeSheet(m_session, this); });
    auto* searchButton = new QPushButton(QStringLiteral("Search Nodes"), m_left);
    searchButton->setToolTip(QStringLiteral("Find nodes by name, address or type (Ctrl+F)"));
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
    connect(interaction, &CanvasInteraction::canvasClicked, nodesPane, &NodesPane::commitEdit);
    // Live mode: node details and the live section in the left pane, alerts over the canvas.
    m_live = new LiveMonitoring(m_session, m_view, m_pingManager, m_canvas, this,
                                m_left->nodeDetailsSlot(), m_left->liveSlot(), this);
    // Live mode without permission to ping: say once what to run; the nodes stay unknown.
    connect(m_live, &LiveMonitoring::monitoringWarning, this, [this](const QString& message) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Live Monitoring"),
                                    message, QMessageBox::Ok, window());
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
    layoutPanes();
}

ContentView::~ContentView() = default;

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
    if (!result->isApplied) {
        // The file could no longer be read: the project is unchanged; draw it again.
        m_view->setContentReady(true);
        return;
    }
    if (result->mode == CSVImportMode::replace)
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

void ContentView::keyPressEvent(QKeyEvent* event)
{
    // Keys a text field ignores (Delete in a read-only field, say) stay with it: typing must
    // never delete nodes.
    QWidget* focus = QApplication::focusWidget();
    const bool inTextField = qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
                             qobject_cast<QPlainTextEdit*>(focus) ||
                             qobject_cast<QAbstractSpinBox*>(focus);
    if (!inTextField && focus != m_canvas && m_interaction->keyPress(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
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

} // namespace velmora
