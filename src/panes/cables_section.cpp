// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/cables_section.h"

#include "canvas/canvas_interaction.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "panes/pane_icons.h"
#include "panes/pane_style.h"
#include "panes/selection_readouts.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

QString buttonStyle(const QColor& text, const QColor& background, int fontSize)
{
    return QStringLiteral("QPushButton { color: %1; background: %2; border: none;"
                          " border-radius: 4px; padding: 6px; font-size: %3px; }")
        .arg(text.name(), background.name(), QString::number(fontSize));
}

constexpr int symbolSize = 13;

} // namespace

CablesSection::CablesSection(ProjectSession* session, CanvasInteraction* interaction,
                             QWidget* parent)
    : QWidget(parent), m_session(session), m_interaction(interaction),
      m_title(new QLabel(QStringLiteral("Cables"), this)), m_drawButton(new QPushButton(this)),
      m_deleteButton(new QPushButton(QStringLiteral("Delete Cable"), this)),
      m_resetButton(new QPushButton(QStringLiteral("Reset Layout..."), this)),
      m_confirmReset(&CablesSection::confirmResetDialog)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_title);
    layout->addWidget(m_drawButton);
    layout->addWidget(m_deleteButton);
    layout->addWidget(m_resetButton);

    m_deleteButton->setIcon(symbolIcon(PaneSymbol::trash, Qt::white, symbolSize));
    m_deleteButton->setStyleSheet(buttonStyle(Qt::white, rgbColor(0.4, 0.15, 0.15), 11));
    m_resetButton->setStyleSheet(
        buttonStyle(rgbColor(0.5, 0.5, 0.5), rgbColor(0.15, 0.15, 0.15), 10));

    connect(m_drawButton, &QPushButton::clicked, interaction,
            &CanvasInteraction::toggleCableDrawing);
    connect(m_deleteButton, &QPushButton::clicked, session, &ProjectSession::deleteFocusedCable);
    connect(m_resetButton, &QPushButton::clicked, this, &CablesSection::requestReset);
    connect(interaction, &CanvasInteraction::gestureChanged, this, &CablesSection::refresh);
    connect(interaction->view(), &ViewState::appModeChanged, this, &CablesSection::refresh);
    connect(session, &ProjectSession::selectionChanged, this, &CablesSection::refresh);
    refresh();
}

bool CablesSection::confirmResetDialog(QWidget* parent)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QStringLiteral("Reset Layout?"));
    box.setText(QStringLiteral("Reset Layout?"));
    box.setInformativeText(QStringLiteral(
        "This will delete all nodes, cables, and the map image. This cannot be undone."));
    box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    QPushButton* reset =
        box.addButton(QStringLiteral("Reset Everything"), QMessageBox::DestructiveRole);
    box.exec();
    return box.clickedButton() == reset;
}

void CablesSection::requestReset()
{
    if (m_confirmReset && m_confirmReset(this)) {
        if (m_interaction->gesture().isDrawingCable)
            m_interaction->cancelCableDrawing();
        m_session->resetEverything();
    }
}

void CablesSection::refresh()
{
    styleLabel(m_title, modeAccentColor(m_interaction->appMode()), 11, 600);

    const bool drawing = m_interaction->gesture().isDrawingCable;
    m_drawButton->setText(drawing ? QStringLiteral("Cancel") : QStringLiteral("Draw Cable"));
    m_drawButton->setIcon(
        symbolIcon(drawing ? PaneSymbol::xmark : PaneSymbol::cable, Qt::white, symbolSize));
    m_drawButton->setStyleSheet(
        buttonStyle(Qt::white, drawing ? rgbColor(0.5, 0.3, 0.1) : rgbColor(0.29, 0.22, 0.13), 11));

    m_deleteButton->setVisible(m_session->selectedNodes().isEmpty() &&
                               m_session->selectedCable().has_value());
}

} // namespace velmora
