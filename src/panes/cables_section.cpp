// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/cables_section.h"

#include "canvas/canvas_interaction.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "panes/pane_icons.h"
#include "panes/pane_style.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

constexpr int symbolSize = 13;

} // namespace

CablesSection::CablesSection(ProjectSession* session, CanvasInteraction* interaction,
                             QWidget* parent)
    : QWidget(parent), m_session(session), m_interaction(interaction),
      m_title(new QLabel(tr("Cables"), this)), m_drawButton(new QPushButton(this)),
      m_deleteButton(new QPushButton(tr("Delete Cable"), this)),
      m_resetButton(new QPushButton(tr("Reset Layout..."), this)),
      m_confirmReset(&CablesSection::confirmResetDialog)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_title);
    layout->addWidget(m_drawButton);
    layout->addWidget(m_deleteButton);
    layout->addWidget(m_resetButton);

    m_drawButton->setObjectName(QStringLiteral("drawCable"));
    m_deleteButton->setObjectName(QStringLiteral("deleteCable"));
    m_resetButton->setObjectName(QStringLiteral("resetLayout"));
    m_deleteButton->setIcon(symbolIcon(PaneSymbol::trash, Qt::white, symbolSize));

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
    box.setWindowTitle(tr("Reset Layout?"));
    box.setText(tr("Reset Layout?"));
    box.setInformativeText(
        tr("This will delete all nodes, cables, and the map image. This cannot be undone."));
    box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    QPushButton* reset = box.addButton(tr("Reset Everything"), QMessageBox::DestructiveRole);
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
    styleLabel(m_title, accentColor(m_interaction->appMode()), 11, 600);

    const bool drawing = m_interaction->gesture().isDrawingCable;
    m_drawButton->setText(drawing ? tr("Cancel") : tr("Draw Cable"));
    m_drawButton->setIcon(
        symbolIcon(drawing ? PaneSymbol::xmark : PaneSymbol::cable, Qt::white, symbolSize));
    setLookState(m_drawButton, "drawing", drawing);

    m_deleteButton->setVisible(m_session->selectedNodes().isEmpty() &&
                               m_session->selectedCable().has_value());
}

} // namespace velmora
