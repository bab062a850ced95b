// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/mode_switch.h"

#include "canvas/view_state.h"
#include "panes/pane_style.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace velmora {

ModeSwitch::ModeSwitch(ViewState* view, QWidget* parent)
    : QWidget(parent), m_view(view), m_edit(new QPushButton(QStringLiteral("Edit"), this)),
      m_live(new QPushButton(QStringLiteral("Live"), this))
{
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
    const bool live = m_view->appMode() == AppMode::live;
    const QColor idleBackground = rgbColor(0.2, 0.2, 0.2);
    styleButton(m_edit, live ? idleBackground : rgbColor(0.29, 0.56, 0.89),
                live ? paneGrey : QColor(Qt::white), 11, 6, !live);
    styleButton(m_live, live ? rgbColor(0.17, 0.42, 0.29) : idleBackground,
                live ? QColor(Qt::white) : paneGrey, 11, 6, live);
}

} // namespace velmora
