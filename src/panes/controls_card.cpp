// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/controls_card.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

QList<QPair<QString, QString>> controlsHelpRows()
{
    return {
        {ControlsCard::tr("Drag node:"), ControlsCard::tr("Move it")},
        {ControlsCard::tr("Drag empty:"), ControlsCard::tr("Pan view")},
        {ControlsCard::tr("Pinch:"), ControlsCard::tr("Zoom in/out")},
        {ControlsCard::tr("Double-click:"), ControlsCard::tr("Open in browser")},
        {ControlsCard::tr("Right-click:"), ControlsCard::tr("Context menu")},
        {ControlsCard::tr("ESC:"), ControlsCard::tr("Clear selection")},
        {ControlsCard::tr("Delete:"), ControlsCard::tr("Remove node/cable")},
        {ControlsCard::tr("Ctrl+C / Ctrl+V:"), ControlsCard::tr("Copy / Paste")},
        {ControlsCard::tr("Ctrl+Z / Ctrl+Shift+Z:"), ControlsCard::tr("Undo / Redo")},
    };
}

ControlsCard::ControlsCard(QWidget* parent)
    : QWidget(parent), m_rows(new QWidget(this)), m_collapse(new QPushButton(this))
{
    setObjectName(QStringLiteral("controlsCard"));
    setAttribute(Qt::WA_StyledBackground);
    auto* column = new QVBoxLayout(this);
    auto* header = new QHBoxLayout;
    auto* title = new QLabel(tr("Controls"), this);
    QFont titleFont = title->font();
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    header->addWidget(title);
    header->addStretch(1);
    m_collapse->setFixedSize(20, 20);
    m_collapse->setFlat(true);
    header->addWidget(m_collapse);
    column->addLayout(header);

    auto* grid = new QGridLayout(m_rows);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    for (const auto& [label, description] : controlsHelpRows()) {
        grid->addWidget(new QLabel(label, m_rows), row, 0);
        grid->addWidget(new QLabel(description, m_rows), row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    column->addWidget(m_rows);

    connect(m_collapse, &QPushButton::clicked, this,
            [this] { emit collapseRequested(!m_collapsed); });
    setCollapsed(false);
}

void ControlsCard::setCollapsed(bool collapsed)
{
    m_collapsed = collapsed;
    m_rows->setVisible(!collapsed);
    m_collapse->setText(collapsed ? QString(QChar(0x25B8)) : QString(QChar(0x25BE)));
    m_collapse->setToolTip(collapsed ? tr("Expand Controls pane") : tr("Collapse Controls pane"));
    adjustSize();
}

} // namespace velmora
