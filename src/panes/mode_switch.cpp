// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/mode_switch.h"

#include "canvas/view_state.h"
#include "panes/pane_style.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace velmora {

ModeSwitch::ModeSwitch(ViewState* view, QWidget* parent)
    : QWidget(parent), m_view(view), m_edit(new QPushButton(tr("Edit"), this)),
      m_live(new QPushButton(tr("Live"), this))
{
    setFlatLook(m_edit, QStringLiteral("editMode"));
    setFlatLook(m_live, QStringLiteral("liveMode"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_live, 1);
    connect(m_edit, &QPushButton::clicked, this, [this] { emit modeRequested(AppMode::edit); });
    connect(m_live, &QPushButton::clicked, this, [this] { emit modeRequested(AppMode::live); });
    connect(view, &ViewState::appModeChanged, this, &ModeSwitch::refresh);
    refresh();
}

void ModeSwitch::refresh()
{
    // The current mode's button is filled with its colour, the other one quiet.
    const bool live = m_view->appMode() == AppMode::live;
    setLookState(m_edit, "current", !live);
    setLookState(m_live, "current", live);
}

} // namespace velmora
