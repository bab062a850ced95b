// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/content_view.h"

#include "canvas/canvas_widget.h"
#include "canvas/splash_overlay.h"
#include "canvas/view_state.h"
#include "monitor/ping_manager.h"
#include "panes/left_pane.h"
#include "panes/mode_switch.h"
#include "panes/pane_layout_state.h"
#include "panes/right_column.h"

#include <QResizeEvent>

namespace velmora {

namespace {

// Dark theme of the panes lying over the canvas.
const QString paneStyleSheet = QStringLiteral(
    "#leftPane, #rightColumn { background: rgba(26, 26, 28, 242);"
    " border: 1px solid rgba(255, 255, 255, 20); }"
    "QLabel { color: rgb(235, 235, 240); }"
    "QToolTip { color: white; background: rgb(40, 40, 40); border: 1px solid rgb(70, 70, 70); }"
    "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"
    "QLineEdit { background: rgb(38, 38, 38); color: white; border: 1px solid rgb(70, 70, 70);"
    " border-radius: 4px; padding: 3px; }"
    "QDialog { background: rgb(30, 30, 32); }");

} // namespace

ContentView::ContentView(ProjectDocument* document, QWidget* parent)
    : QWidget(parent), m_document(document), m_session(new ProjectSession(document, this)),
      m_view(new ViewState(m_session, this)), m_layout(new PaneLayoutState(this)),
      m_canvas(new CanvasWidget(m_session, m_view, this)),
      m_left(new LeftPane(m_session, m_view, m_layout, this)),
      m_right(new RightColumn(m_session, m_view, m_layout, this)),
      m_pingManager(new PingManager(this)), m_splash(new SplashOverlay(this))
{
    setStyleSheet(paneStyleSheet);
    m_splash->hide();
    m_canvas->setCableStatusFunction([this](qint64 id, const QList<CablePoint>& points) {
        return m_pingManager->cableStatus(id, points);
    });
    connect(m_pingManager, &PingManager::published, this,
            [this] { m_canvas->setNodeStatuses(m_pingManager->nodeStatuses()); });
    connect(m_left->modeSwitch(), &ModeSwitch::modeRequested, this, &ContentView::switchMode);
    connect(m_layout, &PaneLayoutState::changed, this, &ContentView::layoutPanes);
    connect(m_view, &ViewState::appModeChanged, this, &ContentView::layoutPanes);
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
    m_view->setAppMode(mode);
    if (mode == AppMode::live) {
        m_pingManager->startMonitoring(m_session->nodes());
        m_canvas->startPulse();
    } else {
        m_pingManager->stopMonitoring();
        m_canvas->stopPulse();
    }
    emit modeSwitched(mode);
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

void ContentView::layoutPanes()
{
    const AppMode mode = m_view->appMode();
    m_view->setPaneWidths(m_layout->widths(mode));
    m_canvas->setGeometry(rect());
    const int leftWidth = m_left->paneWidth();
    const int rightWidth = m_right->paneWidth();
    m_left->setGeometry(0, 0, leftWidth, height());
    m_right->setGeometry(width() - rightWidth, 0, rightWidth, height());
    m_left->raise();
    m_right->raise();
    if (m_splash->showSplash() && m_splash->isVisible()) {
        m_splash->setGeometry(rect());
        m_splash->raise();
    }
}

} // namespace velmora
