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
        {QStringLiteral("Drag node:"), QStringLiteral("Move it")},
        {QStringLiteral("Drag empty:"), QStringLiteral("Pan view")},
        {QStringLiteral("Pinch:"), QStringLiteral("Zoom in/out")},
        {QStringLiteral("Double-click:"), QStringLiteral("Open in browser")},
        {QStringLiteral("Right-click:"), QStringLiteral("Context menu")},
        {QStringLiteral("ESC:"), QStringLiteral("Clear selection")},
        {QStringLiteral("Delete:"), QStringLiteral("Remove node/cable")},
        {QStringLiteral("Ctrl+C / Ctrl+V:"), QStringLiteral("Copy / Paste")},
        {QStringLiteral("Ctrl+Z / Ctrl+Shift+Z:"), QStringLiteral("Undo / Redo")},
    };
}

ControlsCard::ControlsCard(QWidget* parent)
    : QWidget(parent), m_rows(new QWidget(this)), m_collapse(new QPushButton(this))
{
    setObjectName(QStringLiteral("controlsCard"));
    setAttribute(Qt::WA_StyledBackground);
    auto* column = new QVBoxLayout(this);
    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Controls"), this);
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
    m_collapse->setToolTip(collapsed ? QStringLiteral("Expand Controls pane")
                                     : QStringLiteral("Collapse Controls pane"));
    adjustSize();
}

} // namespace velmora
