// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/left_pane.h"

#include "canvas/view_state.h"
#include "panes/map_layer_section.h"
#include "panes/mode_switch.h"
#include "panes/pane_layout_state.h"
#include "panes/pane_style.h"
#include "panes/zoom_controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace velmora {

namespace {

const QString chevronLeft = QString::fromUtf8("\xE2\x80\xB9");  // U+2039
const QString chevronRight = QString::fromUtf8("\xE2\x80\xBA"); // U+203A
const QString expandAllArrow = QString(QChar(0x25B4));          // up
const QString collapseAllArrow = QString(QChar(0x25BE));        // down

QVBoxLayout* addSlot(QWidget* parent, QVBoxLayout* column)
{
    auto* slot = new QWidget(parent);
    auto* layout = new QVBoxLayout(slot);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    column->addWidget(slot);
    return layout;
}

} // namespace

LeftPane::LeftPane(ProjectSession* session, ViewState* view, PaneLayoutState* layout,
                   QWidget* parent)
    : QWidget(parent), m_view(view), m_layout(layout), m_title(new QLabel(tr("Velmora"), this)),
      m_collapse(new QPushButton(this)), m_collapseAll(new QPushButton(this)),
      m_body(new QWidget(this)), m_modeSwitch(new ModeSwitch(view, m_body)),
      m_zoomControls(new ZoomControls(view, m_body)),
      m_mapLayer(new MapLayerSection(session, view, m_body))
{
    setObjectName(QStringLiteral("leftPane"));
    setAttribute(Qt::WA_StyledBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(10);

    // Header: a row when expanded, a column in the collapsed strip.
    auto* header = new QWidget(this);
    m_headerRow = new QBoxLayout(QBoxLayout::LeftToRight, header);
    m_headerRow->setContentsMargins(0, 0, 0, 0);
    m_headerRow->setSpacing(4);
    m_headerRow->addWidget(m_title);
    m_headerRow->addStretch(1);
    for (QPushButton* button : {m_collapseAll, m_collapse}) {
        button->setFixedSize(20, 20);
        setFlatLook(button, QStringLiteral("leftCollapse"));
        m_headerRow->addWidget(button, 0, Qt::AlignCenter);
    }
    column->addWidget(header);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* body = new QVBoxLayout(m_body);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(14);
    body->addWidget(m_modeSwitch);
    body->addWidget(m_zoomControls);
    m_readoutsSlot = addSlot(m_body, body);
    body->addWidget(m_mapLayer);
    m_nodeDetailsSlot = addSlot(m_body, body);
    m_cablesSlot = addSlot(m_body, body);
    m_liveSlot = addSlot(m_body, body);
    body->addStretch(1);
    scroll->setWidget(m_body);
    scroll->viewport()->setAutoFillBackground(false);
    column->addWidget(scroll, 1);
    m_scroll = scroll;

    connect(m_collapse, &QPushButton::clicked, this,
            [this] { m_layout->setLeftPaneCollapsed(!m_layout->leftPaneCollapsed()); });
    connect(m_collapseAll, &QPushButton::clicked, this, &LeftPane::collapseAllRequested);
    connect(layout, &PaneLayoutState::changed, this, &LeftPane::refresh);
    connect(view, &ViewState::appModeChanged, this, &LeftPane::refresh);
    refresh();
}

int LeftPane::paneWidth() const
{
    return static_cast<int>(m_layout->leftPaneCollapsed() ? collapsedPaneWidth
                                                          : leftPaneExpandedWidth);
}

void LeftPane::refresh()
{
    const bool collapsed = m_layout->leftPaneCollapsed();
    styleLabel(m_title, accentColor(m_view->appMode()), collapsed ? 10 : 16, 700);
    m_collapse->setText(collapsed ? chevronRight : chevronLeft);
    m_collapse->setToolTip(collapsed ? tr("Expand Velmora pane") : tr("Collapse Velmora pane"));
    const bool all = m_layout->allPanesCollapsed(m_view->appMode());
    m_collapseAll->setText(all ? expandAllArrow : collapseAllArrow);
    m_collapseAll->setToolTip(all ? tr("Expand all panes") : tr("Collapse all panes"));
    m_headerRow->setDirection(collapsed ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    m_scroll->setVisible(!collapsed);
    layout()->setContentsMargins(collapsed ? 4 : 10, 10, collapsed ? 4 : 10, 10);
}

} // namespace velmora
