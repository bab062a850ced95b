// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/controls_card.h"

#include <QFont>
#include <QGridLayout>
#include <QLabel>

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

ControlsCard::ControlsCard(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QGridLayout(this);
    auto* title = new QLabel(QStringLiteral("Controls"), this);
    QFont titleFont = title->font();
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    layout->addWidget(title, 0, 0, 1, 2);
    int row = 1;
    for (const auto& [label, description] : controlsHelpRows()) {
        layout->addWidget(new QLabel(label, this), row, 0);
        layout->addWidget(new QLabel(description, this), row, 1);
        ++row;
    }
    layout->setColumnStretch(1, 1);
}

} // namespace velmora
